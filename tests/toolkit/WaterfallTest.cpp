// The waterfall alone: the picture it keeps as a ring of lines reads, and
// paints, as the rows drawn afresh from the source; and new rows are repainted
// a few times a second, the last one always.
#include "toolkit/Waterfall.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using toolkit::Waterfall;

// A waterfall whose row `serial` is one colour (serial % 50 of 0..49) across
// the plot, of which the source keeps the newest `kept`.
struct Rows {
    static constexpr int kKept = 30;
    std::array<float, 128> levels[50];
    std::uint64_t newest = 0;

    Rows() {
        for (int c = 0; c < 50; ++c) levels[c].fill(static_cast<float>(c));
    }
    std::unique_ptr<Waterfall> make(int shownRows) {
        auto w = std::make_unique<Waterfall>();
        w->setFrequencyAxis(0, 640, 12);
        w->setLevelRange(0, 49, QStringLiteral("dB"));
        w->setKeptRows(kKept);
        w->setRowSource([this](std::uint64_t serial, Waterfall::Row& row) {
            if (serial > newest || serial + kKept <= newest) return false;
            row = {0, 5, levels[serial % 50].data(), 128};
            return true;
        });
        w->resize(Waterfall::kPlotLeft + Waterfall::kPlotWidth + Waterfall::kLegendWidth + 16,
                  Waterfall::kHeader + shownRows);
        return w;
    }
};

// The plot as painted.
QImage PaintedPlot(Waterfall& w) {
    return w.grab(QRect(Waterfall::kPlotLeft, Waterfall::kHeader, Waterfall::kPlotWidth, w.visibleRows()))
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(ToolkitWaterfall, TheRingReadsAndPaintsAsTheRowsDrawnAfresh) {
    Rows rows;
    auto w = rows.make(12), fresh = rows.make(12);
    w->show();
    fresh->show();
    std::uint64_t count = 0;
    // What setRows draws from the source, row by row, at the same scroll.
    auto expectSame = [&](const char* what) {
        fresh->setRows(rows.newest, count);
        fresh->setScrollBack(w->scrollBack());
        EXPECT_EQ(fresh->scrollBack(), w->scrollBack()) << what;
        const QImage picture = w->picture();
        EXPECT_EQ(picture, fresh->picture()) << what << ", " << count << " rows";
        EXPECT_EQ(PaintedPlot(*w), picture) << what << ", " << count << " rows";
    };
    auto add = [&](int n) {
        for (int i = 0; i < n; ++i) {
            rows.newest = count++;
            w->addRow(rows.newest);
        }
    };
    // Round the ring and more, checked at every top line.
    for (int i = 0; i < 27; ++i) {
        add(1);
        expectSame("live");
    }
    // Looking back, the picture stands still; then it scrolls back to live.
    w->setScrollBack(5);
    add(3);
    EXPECT_EQ(w->scrollBack(), 8);
    expectSame("looking back");
    // From the oldest row kept, rows move on and the oldest fall away below.
    w->setScrollBack(Rows::kKept);
    EXPECT_EQ(w->scrollBack(), Rows::kKept - 1);
    add(7);
    expectSame("from the oldest row");
    w->setScrollBack(0);
    add(5);
    w->resize(w->width(), Waterfall::kHeader + 17);
    fresh->resize(w->size());
    expectSame("resized");
    add(9);
    expectSame("resized, on");
}

TEST(ToolkitWaterfall, NewRowsRepaintAFewTimesASecondAndTheLastAlways) {
    Rows rows;
    auto w = rows.make(40);
    // Counts the plot's repaints.
    struct Counter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    w->installEventFilter(&counter);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTest::qWait(Waterfall::kRepaintMs + 10);
    counter.paints = 0;
    // A row every few milliseconds, each followed by the event loop's turn.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 60; ++i) {
        rows.newest = static_cast<std::uint64_t>(i);
        w->addRow(rows.newest);
        QTest::qWait(5);
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(counter.paints, 1) << "the first row shows at once";
    EXPECT_LE(counter.paints, elapsed / Waterfall::kRepaintMs + 1) << elapsed << " ms";
    // A row right after a repaint, and then none: it is shown all the same.
    QTest::qWait(2 * Waterfall::kRepaintMs);
    const int settled = counter.paints;
    w->addRow(++rows.newest);
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.paints > settled; }, 1000));
    const int afterIt = counter.paints;
    w->addRow(++rows.newest);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > afterIt; }, 1000));
}
