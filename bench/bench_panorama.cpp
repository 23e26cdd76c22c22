// The 25 ms panorama tick against the simulated meter, in CPU time per tick:
// the USB cycle alone (rescan, open, sweep, close), the level conversion and
// chart update alone, the repaint that follows, and the whole tick, for the
// line and for the area style; then the ticks per second that the window's
// own 25 ms timer reaches under the real event loop.
//   bench_panorama [seconds of the timed run, default 10] [ticks per run, default 1000]
#include "app/Unit1.h"
#include "panorama/Panorama.h"
#include "sim/Sim.h"
#include "toolkit/Application.h"
#include "toolkit/RadioGroup.h"

#include "Timing.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using bench::CpuSeconds;
using bench::PerCall;
using bench::Row;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const int timedSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    toolkit::Application app(argc, argv);
    const int kTicks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    constexpr int kRepeats = 5;

    sim::ResetToDemo();
    std::printf("panorama tick against the simulated meter, CPU time per tick (best of %d runs of %d):\n",
                kRepeats, kTicks);
    panorama::SweepFrame frame{};
    settings::SettingsBlock buf{};
    const double usb = PerCall(kTicks, kRepeats, [&] {
        panorama::ExchangeTick(true, 0xE000, 950, 10, frame, buf);
        sim::ClearLog();
    });
    Row("USB cycle (rescan, open, sweep, close)", usb);

    TForm1 form;
    form.Timer1->stop();
    form.Timer2->stop();
    form.show();
    form.SpeedButton1->setChecked(true);
    form.ButtonRead_PANOClick();  // a frame to draw
    QCoreApplication::processEvents();

    for (int style : {0, 1}) {
        form.RadioGroupStyle->setItemIndex(style);
        std::printf(" %s style:\n", style == 0 ? "line" : "area");
        // Conversion and chart update: the frame to levels and the series
        // refilled, and nothing else; the repaint runs untimed in between.
        double draw = 1e9, paint = 1e9, whole = 1e9;
        for (int r = 0; r < kRepeats; ++r) {
            double inDraw = 0, inPaint = 0;
            for (int i = 0; i < kTicks; ++i) {
                const double t0 = CpuSeconds();
                form.DrawSweep();
                const double t1 = CpuSeconds();
                QCoreApplication::processEvents();  // the repaint the new trace causes
                inPaint += CpuSeconds() - t1;
                inDraw += t1 - t0;
            }
            draw = std::min(draw, inDraw / kTicks);
            paint = std::min(paint, inPaint / kTicks);
        }
        // The whole tick as the timer runs it, with the repaint it causes.
        whole = PerCall(kTicks, kRepeats, [&] {
            form.ButtonRead_PANOClick();
            QCoreApplication::processEvents();
            sim::ClearLog();
        });
        Row("level conversion and chart update", draw, "  (target < 1000 us)");
        Row("repaint of the window that follows", paint);
        Row("whole tick with its repaint", whole, "  (the timer's period is 25000 us)");
    }

    // The window's own timer under the real event loop, area style (the
    // start-up style), the panorama on.
    form.RadioGroupStyle->setItemIndex(1);
    long ticks = 0;
    QObject::connect(form.Timer1, &QTimer::timeout, [&ticks] { ++ticks; });
    QObject::connect(form.Timer1, &QTimer::timeout, [] { sim::ClearLog(); });
    QTimer::singleShot(timedSeconds * 1000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    form.Timer1->start();
    form.Timer2->start();
    QCoreApplication::exec();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
    const double cpu = CpuSeconds() - cpu0;
    std::printf("window timer (%d ms) under the event loop for %.1f s: %ld ticks, %.2f ticks/s "
                "(target >= 39, ceiling 40)\n  CPU %.1f %% of the time, %.0f us per tick with the loop's own work\n",
                form.Timer1->interval(), seconds, ticks, static_cast<double>(ticks) / seconds,
                100.0 * cpu / seconds, ticks > 0 ? cpu * 1e6 / static_cast<double>(ticks) : 0.0);
    return 0;
}
