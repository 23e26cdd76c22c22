// The floor under the window's tick: a bare Qt window of the main window's
// size whose only work is what any moving trace on the chart needs, every
// 25 ms: a line of 127 segments that moves within 100 of the plot's rows
// (about the band the demo's sky makes the chart repaint), the band it covered
// and now covers repainted from a cached layer, and the flush to the window
// system. Nothing of the program runs in it: no meter, no labels, no tools.
//
// tick_under_x.sh runs it beside the program on an X server of its own and
// measures both in the same windows, so that the program's figure can be read
// against what Qt and the X server cost on the same machine at the same
// minute. Run alone it prints its own CPU time a tick.
// Usage: bench_repaint [seconds]   (10; 0 runs until it is closed)
#include "common/PlotArea.h"

#include "Timing.h"

#include <QApplication>
#include <QElapsedTimer>
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Velkarn3 repaint floor"));
    window.setFixedSize(729, 550);
    Plot plot(&window);
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &plot, [&] {
        plot.tick();
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
    std::printf("repaint floor: %d ticks in %.1f s, %.0f us of CPU a tick (%s)\n", n, wall.nsecsElapsed() * 1e-9,
                n > 0 ? cpu / n * 1e6 : 0.0, qPrintable(QGuiApplication::platformName()));
    return 0;
}
