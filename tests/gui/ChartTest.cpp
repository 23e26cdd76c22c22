// The chart on its own: axes and their ticks, series, what is drawn where,
// what a trace change repaints, and the pointer's position.
#include "toolkit/Chart.h"

#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using toolkit::Chart;
using toolkit::ChartAxis;
using toolkit::ChartSeries;
using Plot = common::PlotArea;

namespace {

const QColor kTrace(255, 255, 128);

bool IsTrace(const QImage& image, int x, int y) { return image.pixelColor(x, y) == kTrace; }

// 128 samples at x = min + (i - 1) * step, as the sweep places them.
QList<QPointF> Samples(const ChartAxis& bottom, double step, const std::vector<double>& levels) {
    QList<QPointF> out;
    for (size_t i = 0; i < levels.size(); ++i) out << QPointF(bottom.minimum() + (double(i) - 1) * step, levels[i]);
    return out;
}

// A chart as the window sets it up: 673 x 425, frequency axis over 128
// steps, level axis from `levelMin` over `levelSpan`.
struct WindowChart {
    Chart chart;
    ChartSeries* line;
    ChartSeries* area;
    double step;
    WindowChart(double start, double step_, double levelMin, double levelSpan) : step(step_) {
        chart.resize(673, 425);
        chart.bottomAxis().setRangeFromFloor(0, start + Plot::kSteps * step, start);
        chart.leftAxis().setRangeFromFloor(-1000, levelMin + levelSpan, levelMin);
        line = chart.addSeries(ChartSeries::Style::Line, kTrace);
        area = chart.addSeries(ChartSeries::Style::Area, kTrace);
    }
    // The row at which a level lies, by the read-out's own mapping.
    double Row(double level) const { return chart.mapping().Y(level); }
    QImage Image() { return chart.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

}  // namespace

TEST(ToolkitChartAxis, TicksKeepLabelsApartAtRoundValues) {
    struct Case {
        double min, max;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        {45, 125, {50, 60, 70, 80, 90, 100, 110, 120}},                              // dBuV at start
        {-75, 5, {-70, -60, -50, -40, -30, -20, -10, 0}},                             // dBm
        {70, 90, {70, 72, 74, 76, 78, 80, 82, 84, 86, 88, 90}},                       // narrowest level span
        {11550, 12830, {11600, 11800, 12000, 12200, 12400, 12600, 12800}},           // step 10
        {11550, 11678, {11560, 11580, 11600, 11620, 11640, 11660}},                  // step 1
        {0, 255, {0, 50, 100, 150, 200, 250}},                                       // design values
    };
    for (const Case& c : cases) {
        ChartAxis axis(c.min, c.max);
        EXPECT_EQ(axis.ticks(), c.ticks) << c.min << ".." << c.max;
    }
    // An empty range has no ticks; a range of one value refuses nothing.
    ChartAxis point(5, 5);
    EXPECT_TRUE(point.ticks().empty());
    EXPECT_THROW(ChartAxis(6, 5), std::exception);
}

TEST(ToolkitChart, SeriesReplaceKeepsXAscendingAndEqualXInOrder) {
    Chart chart;
    ChartSeries* s = chart.addSeries(ChartSeries::Style::Line, kTrace);
    s->replace({{3, 1}, {1, 2}, {2, 3}, {1, 4}});
    ASSERT_EQ(s->count(), 4);
    EXPECT_EQ(s->points(), (QList<QPointF>{{1, 2}, {1, 4}, {2, 3}, {3, 1}}));
    EXPECT_EQ(s->at(3), QPointF(3, 1));
    s->replace({{5, 5}});
    EXPECT_EQ(s->points(), QList<QPointF>{QPointF(5, 5)});
    s->clear();
    EXPECT_EQ(s->count(), 0);
    // Series are kept in the order they were added.
    ChartSeries* t = chart.addSeries(ChartSeries::Style::Area, Qt::red);
    ASSERT_EQ(chart.seriesCount(), 2);
    EXPECT_EQ(chart.series(0), s);
    EXPECT_EQ(chart.series(1), t);
    EXPECT_EQ(t->colour(), QColor(Qt::red));
}

// Sample i at x = 33 + 5 (i - 1), at the row its level gives on the level
// axis, in both styles and over both units' ranges.
TEST(ToolkitChart, SamplesAreDrawnWhereTheReadoutPutsThem) {
    for (double levelMin : {45.0, -75.0}) {
        for (int i : {1, 2, 40, 64, 127}) {
            WindowChart s(11550, 10, levelMin, 80);
            std::vector<double> levels(128, levelMin + 20);
            const double spike = levelMin + 60;
            levels[size_t(i)] = spike;
            const int x = Plot::kLeft + Plot::kPixelsPerStep * (i - 1);
            const int spikeRow = int(std::floor(s.Row(spike)));
            const int flatRow = int(std::floor(s.Row(levelMin + 20)));

            s.line->replace(Samples(s.chart.bottomAxis(), s.step, levels));
            QImage img = s.Image();
            // The apex: the highest lit pixel, in the sample's column.
            int top = 425, topX = -1;
            for (int y = Plot::kTop; y < Plot::kBottom && topX < 0; ++y)
                for (int c = Plot::kLeft; c < Plot::kRight; ++c)
                    if (IsTrace(img, c, y)) { top = y, topX = c; break; }
            EXPECT_EQ(topX, x) << "line, sample " << i << ", levels from " << levelMin;
            EXPECT_NEAR(top, spikeRow, 1) << i;
            // The flat part lies on its row, away from the spike.
            EXPECT_TRUE(IsTrace(img, i < 64 ? Plot::kLeft + Plot::kPixelsPerStep * 100 : Plot::kLeft + Plot::kPixelsPerStep * 10, flatRow)) << i;
            for (int y = Plot::kTop; y < Plot::kBottom; ++y) ASSERT_FALSE(IsTrace(img, 665, y)) << "nothing beyond the last sample";

            s.line->clear();
            s.area->replace(Samples(s.chart.bottomAxis(), s.step, levels));
            img = s.Image();
            // The fill reaches the plot's bottom under the trace, and not below it.
            for (int c = Plot::kLeft; c < 663; ++c) {
                ASSERT_TRUE(IsTrace(img, c, 394)) << c;
                ASSERT_FALSE(IsTrace(img, c, 396)) << c;
            }
            EXPECT_FALSE(IsTrace(img, 664, 394)) << "nothing beyond the last sample";
            // Around the spike the columns either side of its x are the highest.
            const auto columnTop = [&](int c) {
                for (int y = Plot::kTop; y < Plot::kBottom; ++y)
                    if (IsTrace(img, c, y)) return y;
                return Plot::kBottom;
            };
            // Pixel centres lie half a pixel either side of the sample: a
            // tenth of the way down its 5-pixel slopes.
            const int apex = std::min(columnTop(std::max(Plot::kLeft, x - 1)), columnTop(x));
            EXPECT_NEAR(apex, spikeRow + (flatRow - spikeRow) / 10.0, 1) << i;
            EXPECT_NEAR(columnTop(x + 30 < 663 ? x + 30 : x - 30), s.Row(levelMin + 20), 1) << i;
        }
    }
}

// The area is the aliased fill of the polygon under the line: the same pixels
// as a polygon fill, but for rare rounding where an edge passes within a hair
// of a pixel centre, and then only on the column's top edge.
TEST(ToolkitChart, AreaMatchesAPolygonFill) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> level(30, 140);  // also beyond both ends of 45..125
    for (int run = 0; run < 10; ++run) {
        WindowChart s(11550, 1 + run % 10, 45, 80);
        std::vector<double> levels(128);
        for (double& l : levels) l = level(rng);
        s.area->replace(Samples(s.chart.bottomAxis(), s.step, levels));
        const QImage drawn = s.Image();

        s.area->clear();
        QImage expected = s.Image();
        QPainter p(&expected);
        p.setClipRect(Chart::kPlotRect);
        p.setPen(Qt::NoPen);
        p.setBrush(kTrace);
        QPolygonF poly;
        for (const QPointF& v : Samples(s.chart.bottomAxis(), s.step, levels)) poly << s.chart.mapToPosition(v);
        poly << QPointF(poly.last().x(), 400) << QPointF(poly.first().x(), 400);
        p.drawPolygon(poly);
        p.end();

        int differ = 0, filled = 0;
        for (int y = Plot::kTop; y < Plot::kBottom; ++y)
            for (int x = Plot::kLeft; x < Plot::kRight; ++x) {
                filled += IsTrace(expected, x, y);
                if (IsTrace(expected, x, y) == IsTrace(drawn, x, y)) continue;
                ++differ;
                const bool above = y > 35 && IsTrace(expected, x, y - 1);
                const bool below = y == 394 || IsTrace(expected, x, y + 1);
                ASSERT_TRUE(!above && below) << x << "," << y;
            }
        EXPECT_GT(filled, 20000);
        EXPECT_LE(differ, filled / 1000) << "run " << run;
    }
}

namespace {

// A chart that records the rectangle of every repaint.
class Recording : public Chart {
public:
    QList<QRect> painted;
protected:
    void paintEvent(QPaintEvent* e) override {
        painted << e->rect();
        Chart::paintEvent(e);
    }
};

}  // namespace

// A trace change repaints the plot area only and leaves the cached layers;
// a limit change redraws them.
TEST(ToolkitChart, ATraceChangeRepaintsOnlyThePlotOverTheCachedLayers) {
    Recording chart;
    chart.resize(673, 425);
    ChartSeries* s = chart.addSeries(ChartSeries::Style::Line, kTrace);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    QCoreApplication::processEvents();
    const qint64 layer = chart.staticLayer().cacheKey();
    chart.painted.clear();

    s->replace({{120, 100}, {200, 150}});
    QCoreApplication::processEvents();
    ASSERT_FALSE(chart.painted.isEmpty());
    for (const QRect& r : chart.painted) EXPECT_TRUE(Chart::kPlotRect.contains(r)) << r.x() << "," << r.y();
    EXPECT_EQ(chart.staticLayer().cacheKey(), layer);

    chart.leftAxis().setMaximum(300);
    EXPECT_NE(chart.staticLayer().cacheKey(), layer);
}

// A tick repaints only the band the trace covered before and covers now; what
// is on screen after each change must still be exactly a fresh rendering:
// no pixels of a trace that moved up, down or sideways, of a hidden or
// cleared series, or of a marker and its label that moved, stay behind.
TEST(ToolkitChart, MovingTracesLeaveNothingStaleOnScreen) {
    const auto levels = [](double base, double swing, unsigned seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> noise(-swing, swing);
        QList<QPointF> out;
        for (int i = 0; i < 128; ++i) out << QPointF(100 + i, base + noise(rng));
        return out;
    };
    for (bool tools : {false, true}) {
        for (ChartSeries::Style style : {ChartSeries::Style::Line, ChartSeries::Style::Area}) {
            SCOPED_TRACE(testing::Message() << "tools " << tools << " area " << (style == ChartSeries::Style::Area));
            Recording chart;
            chart.resize(673, 425);
            chart.setTitle(QStringLiteral("Панорама"));
            ChartSeries* live = chart.addSeries(style, kTrace);
            ChartSeries* maxHold = tools ? chart.addSeries(ChartSeries::Style::Line, QColor(255, 0, 0)) : nullptr;
            ChartSeries* minHold = tools ? chart.addSeries(ChartSeries::Style::Line, QColor(0, 128, 255)) : nullptr;
            if (tools) chart.setMarks({{130, QStringLiteral("11700 H")}, {190, QStringLiteral("12100 V")}}, QColor(0, 200, 0));
            chart.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
            const auto onScreen = [&] {
                return chart.screen()->grabWindow(chart.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            };
            const auto fresh = [&] { return chart.grab().toImage().convertToFormat(QImage::Format_RGB32); };
            struct Step { double base, swing, maxBase, minBase; std::optional<toolkit::ChartMarker> marker; };
            const std::vector<Step> steps = {
                {200, 20, 240, 150, toolkit::ChartMarker{{180, 230}, QStringLiteral("12 000 МГц 230")}},
                {40, 10, 240, 20, toolkit::ChartMarker{{102, 50}, QStringLiteral("11 000 МГц")}},   // down, marker to the left edge
                {45, 5, 60, 30, toolkit::ChartMarker{{226, 250}, QStringLiteral("12 700 МГц 250")}},  // holds drop, marker top right
                {45, 5, 60, 30, std::nullopt},                                                      // marker gone
                {250, 3, 255, 248, toolkit::ChartMarker{{150, 255}, QString()}},                   // up to the top
                {2, 2, 5, 0, toolkit::ChartMarker{{150, 0}, QStringLiteral("низ")}},                 // down to the bottom
            };
            unsigned seed = 1;
            for (const Step& st : steps) {
                live->replace(levels(st.base, st.swing, seed++));
                if (tools) {
                    maxHold->replace(levels(st.maxBase, 3, seed++));
                    minHold->replace(levels(st.minBase, 3, seed++));
                    chart.setMarker(st.marker, QColor(255, 255, 255));
                }
                QCoreApplication::processEvents();
                ASSERT_EQ(onScreen(), fresh()) << "after the step at " << st.base;
            }
            // A narrow trace that stays put repaints a band, not the plot.
            live->replace(levels(45, 5, 98));
            QCoreApplication::processEvents();
            chart.painted.clear();
            live->replace(levels(45, 5, 99));
            QCoreApplication::processEvents();
            ASSERT_FALSE(chart.painted.isEmpty());
            EXPECT_LT(chart.painted.back().height(), Chart::kPlotRect.height());
            // Not below its lower line, an area's neither (the holds lie low).
            if (!tools) EXPECT_LT(chart.painted.back().bottom(), Chart::kPlotRect.bottom() - 20);
            for (const QRect& r : chart.painted) EXPECT_TRUE(Chart::kPlotRect.contains(r));
            // A new colour, then the same line over other columns.
            live->setColour(QColor(0, 255, 255));
            QCoreApplication::processEvents();
            ASSERT_EQ(onScreen(), fresh());
            QList<QPointF> moved = levels(45, 5, 99);
            for (QPointF& p : moved) p.rx() += 40;
            live->replace(moved);
            QCoreApplication::processEvents();
            ASSERT_EQ(onScreen(), fresh());
            live->setColour(kTrace);
            // Hidden, then cleared: the trace goes from the screen.
            live->replace(levels(200, 30, 7));
            QCoreApplication::processEvents();
            live->setVisible(false);
            QCoreApplication::processEvents();
            ASSERT_EQ(onScreen(), fresh());
            live->setVisible(true);
            QCoreApplication::processEvents();
            ASSERT_EQ(onScreen(), fresh());
            live->clear();
            if (tools) {
                maxHold->clear();
                minHold->clear();
                chart.setMarker(std::nullopt, QColor(255, 255, 255));
            }
            QCoreApplication::processEvents();
            const QImage cleared = onScreen();
            ASSERT_EQ(cleared, fresh());
            EXPECT_EQ(cleared.copy(Chart::kPlotRect), chart.staticLayer().toImage().convertToFormat(QImage::Format_RGB32).copy(Chart::kPlotRect));
        }
    }
}

// Labels lying on the chart look the same painted from their pictures as
// painted by themselves, over a trace that changes beneath them, after
// their text changes and after they move; and the changes of a batch are
// painted once, at its end, with nothing left for the event loop.
TEST(ToolkitChart, CachedLabelsAndBatchedChangesPaintWhatThePlainChartPaints) {
    struct Shown {
        Recording chart;
        ChartSeries* line = chart.addSeries(ChartSeries::Style::Line, kTrace);
        ChartSeries* area = chart.addSeries(ChartSeries::Style::Area, kTrace);
        QLabel* test = new QLabel(QStringLiteral("TEST"), &chart);
        QLabel* unit = new QLabel(QStringLiteral("dBuV"), &chart);
        explicit Shown(bool cached) {
            chart.resize(673, 425);
            test->setStyleSheet(QStringLiteral("QLabel { color: white; font-size: 12pt; }"));
            unit->setStyleSheet(QStringLiteral("QLabel { color: white; background: black; font-weight: bold; }"));
            test->move(300, 200);
            unit->move(250, 190);
            for (QLabel* l : {test, unit}) {
                l->adjustSize();
                if (cached) chart.cacheLabel(l);
            }
            chart.show();
        }
        QImage OnScreen() {
            return chart.screen()->grabWindow(chart.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        }
    };
    Shown plain(false), cached(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain.chart) && QTest::qWaitForWindowExposed(&cached.chart));
    const auto trace = [](double base) {
        QList<QPointF> out;
        for (int i = 0; i < 128; ++i) out << QPointF(100 + i, base + (i % 7) * 9);
        return out;
    };
    for (double base : {150.0, 170.0, 110.0}) {
        for (Shown* s : {&plain, &cached}) {
            const Chart::UpdateBatch batch(s->chart);
            s->chart.painted.clear();
            s->line->replace(trace(base));
            s->area->replace(trace(base - 60));
            EXPECT_TRUE(s->chart.painted.isEmpty());
        }
        EXPECT_EQ(cached.chart.painted.size(), 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(cached.chart.painted.size(), 1) << "nothing left for the event loop";
        ASSERT_EQ(cached.OnScreen(), plain.OnScreen()) << base;
        for (Shown* s : {&plain, &cached}) {
            s->test->setText(base > 160 ? QStringLiteral("ТЕСТ") : QStringLiteral("TEST"));
            s->test->move(s->test->pos() + QPoint(7, 5));
        }
        QCoreApplication::processEvents();
        ASSERT_EQ(cached.OnScreen(), plain.OnScreen()) << base;
    }
}

TEST(ToolkitChart, PointerMovesAreReportedInChartPixels) {
    Chart chart;
    chart.resize(673, 425);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    QSignalSpy moves(&chart, &Chart::mouseMoved);
    QTest::mouseMove(&chart, QPoint(133, 215));
    QTest::mouseMove(&chart, QPoint(5, 420));
    ASSERT_EQ(moves.count(), 2);
    EXPECT_EQ(moves[0][1].toInt(), 133);
    EXPECT_EQ(moves[0][2].toInt(), 215);
    EXPECT_EQ(moves[1][1].toInt(), 5);
    EXPECT_EQ(moves[1][2].toInt(), 420);
    // Value and position map both ways over the plot area.
    const QPointF v = chart.mapToValue(QPointF(Plot::kLeft + Plot::kWidth / 2, Plot::kTop + Plot::kHeight / 2));
    EXPECT_DOUBLE_EQ(v.x(), (100 + 228) / 2.0);
    EXPECT_DOUBLE_EQ(v.y(), 255 / 2.0);
    EXPECT_EQ(chart.mapToPosition(v), QPointF(353, 215));
}

// Values no sweep produces (no number, infinities, far outside the axes, a
// single point, equal x) are drawn as far as they can be, and never crash.
TEST(ToolkitChart, OddPointsAreDrawnAsFarAsTheyGo) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    WindowChart s(11550, 10, 45, 80);
    EXPECT_THROW(s.chart.leftAxis().setMaximum(nan), std::exception);
    EXPECT_THROW(s.chart.bottomAxis().setMinimum(-inf), std::exception);
    EXPECT_EQ(s.chart.leftAxis().maximum(), 125);
    EXPECT_EQ(s.chart.bottomAxis().minimum(), 11550);

    const QList<QList<QPointF>> odd = {
        {{11600, nan}, {11700, 85}, {11800, 85}, {nan, 90}},
        {{11600, inf}, {11700, -inf}, {11800, 1e300}, {11900, 85}, {12000, 85}},
        {{11600, 85}},
        {{11600, 60}, {11600, 100}, {11600, 70}},
        {{-1e300, 85}, {1e300, 85}},
    };
    for (ChartSeries* series : {s.line, s.area}) {
        for (const QList<QPointF>& pts : odd) {
            series->replace(pts);
            ASSERT_EQ(series->count(), pts.size());
            const QImage img = s.Image();
            EXPECT_EQ(img.size(), QSize(673, 425));
        }
        // A point without a number breaks the line, the rest is drawn.
        series->replace(odd[0]);
        const QImage img = s.Image();
        const int row = int(std::floor(s.Row(85)));
        bool seen = false;
        for (int y = row - 1; y <= row + 1; ++y) seen = seen || IsTrace(img, 133, y);  // 11750 MHz
        EXPECT_TRUE(seen) << (series == s.line ? "line" : "area");
        series->clear();
    }
}
