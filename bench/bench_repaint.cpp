// The floors under the windows' ticks: bare Qt windows that do, every 25 ms,
// only what any picture moving that often needs. Nothing of the program runs
// in them: no meter, no labels, no tools.
//
// The main window's floor (the default): a window of the main window's size
// whose only work is what any moving trace on the chart needs: a line of 127
// segments that moves within 100 of the plot's rows (about the band the demo's
// sky makes the chart repaint), the band it covered and now covers repainted
// from a cached layer, and the flush to the window system.
//
// The waterfall's floor (--waterfall): a window of the size of the analysis
// window's waterfall that scrolls it the plain way: every 25 ms the picture
// (640 columns by 316 rows, as the waterfall has them in the analysis
// window's default size) moves down by one line in memory, a new line of
// colours goes on top, and the whole plot is repainted and flushed.
//
// tick_under_x.sh and analysis_under_x.sh run them beside the program, each
// on an X server of its own, and measure all in the same windows, so that the
// program's figure can be read against what Qt and the X server cost on the
// same machine at the same minute. Run alone, each prints its own CPU time a
// tick.
// Usage: bench_repaint [--waterfall] [seconds]   (10; 0 runs until it is closed)
#include "common/PlotArea.h"

#include "Timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

using common::PlotArea;

class Plot : public QWidget {
public:
    explicit Plot(QWidget* parent) : QWidget(parent), layer_(673, 425) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(56, 0, 673, 425);
        layer_.fill(Qt::black);
        QPainter p(&layer_);
        p.setPen(QPen(QColor(128, 128, 128), 1, Qt::DashLine));
        for (int x = PlotArea::kLeft; x < PlotArea::kRight; x += 64) p.drawLine(x, PlotArea::kTop, x, PlotArea::kBottom);
    }

    void tick() {
        ++phase_;
        QPointF previous;
        double top = PlotArea::kBottom, bottom = PlotArea::kTop;
        for (int i = 0; i < PlotArea::kSteps; ++i) {
            const double x = PlotArea::kLeft + i * PlotArea::kPixelsPerStep;
            const double y = PlotArea::kBottom - 60 - 100 * std::abs(std::sin((i + phase_) * 0.07));
            if (i > 0) {
                segments_[2 * (i - 1)] = previous;
                segments_[2 * (i - 1) + 1] = QPointF(x, y);
            }
            previous = QPointF(x, y);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
        const QRect now(QPoint(PlotArea::kLeft, static_cast<int>(top) - 2),
                        QPoint(PlotArea::kRight - 1, static_cast<int>(bottom) + 2));
        repaint(now | drawn_);
        drawn_ = now;
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        const QRect r = event->rect();
        p.drawPixmap(r, layer_, r);
        p.setPen(QPen(Qt::yellow, 1));
        p.drawLines(segments_, PlotArea::kSteps - 1);
    }

private:
    QPixmap layer_;
    QRect drawn_;
    QPointF segments_[2 * (PlotArea::kSteps - 1)];
    int phase_ = 0;
};

// The waterfall's plot, scrolled by moving the whole picture a line down and
// repainted whole, placed where the waterfall has it (below the band of the
// frequency labels, at the chart's plot left edge).
class ScrollingPlot : public QWidget {
public:
    static constexpr int kLeft = 33, kTop = 18, kWidth = 640, kRows = 316;

    explicit ScrollingPlot(QWidget* parent) : QWidget(parent), image_(kWidth, kRows, QImage::Format_RGB32) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(kLeft, kTop, kWidth, kRows);
        image_.fill(Qt::black);
    }

    void tick() {
        ++phase_;
        const qsizetype stride = image_.bytesPerLine();
        uchar* bits = image_.bits();
        std::memmove(bits + stride, bits, static_cast<std::size_t>(stride * (kRows - 1)));
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(0));
        for (int x = 0; x < kWidth; ++x) {
            const int v = static_cast<int>(127 + 127 * std::sin((x / 5 + phase_) * 0.07));
            line[x] = qRgb(v / 2, v, 255 - v);
        }
        repaint();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        const QRect r = event->rect();
        p.drawImage(r, image_, r);
    }

private:
    QImage image_;
    int phase_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool waterfall = argc > 1 && std::strcmp(argv[1], "--waterfall") == 0;
    const int seconds = argc > 1 + waterfall ? std::atoi(argv[1 + waterfall]) : 10;
    QWidget window;
    std::function<void()> tick;
    if (waterfall) {
        window.setWindowTitle(QStringLiteral("Velkarn3 waterfall floor"));
        // The waterfall's widget: the plot, the legend beside it, its scroll bar.
        window.setFixedSize(767, ScrollingPlot::kTop + ScrollingPlot::kRows);
        auto* plot = new ScrollingPlot(&window);
        tick = [plot] { plot->tick(); };
    } else {
        window.setWindowTitle(QStringLiteral("Velkarn3 repaint floor"));
        window.setFixedSize(729, 550);
        auto* plot = new Plot(&window);
        tick = [plot] { plot->tick(); };
    }
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &window, [&] {
        tick();
        ++ticks;
    });
    timer.start(25);
    window.show();
    if (seconds <= 0) return QApplication::exec();

    QElapsedTimer wall;
    double cpu0 = 0;
    int ticks0 = 0;
    // Measured after the first second, once the window is up and painted.
    QTimer::singleShot(1000, &app, [&] {
        cpu0 = bench::CpuSeconds();
        ticks0 = ticks;
        wall.start();
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    });
    QApplication::exec();
    const double cpu = bench::CpuSeconds() - cpu0;
    const int n = ticks - ticks0;
    std::printf("%s floor: %d ticks in %.1f s, %.0f us of CPU a tick (%s)\n", waterfall ? "waterfall" : "repaint", n,
                wall.nsecsElapsed() * 1e-9, n > 0 ? cpu / n * 1e6 : 0.0, qPrintable(QGuiApplication::platformName()));
    return 0;
}
