// A timed run of the whole window on its own timers, shared by the benchmarks
// that measure the program as it runs (ticks a second, CPU a tick).
#pragma once

#include "Timing.h"
#include "app/Unit1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace bench {

struct WindowRun {
    double seconds = 0;     // wall time of the run
    double cpuSeconds = 0;  // the process's CPU time in it
};

// Starts both of the window's timers, runs the event loop for `seconds` and
// stops them again. The caller counts its ticks by its own connection. An
// event loop of its own, ended by its own quit: the application's quit
// closes every window, which would leave the runs after the first timing a
// window that no longer paints.
inline WindowRun RunWindow(TForm1& form, int seconds) {
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    form.Timer1->start();
    form.Timer2->start();
    loop.exec();
    form.Timer1->stop();
    form.Timer2->stop();
    return {static_cast<double>(wall.nsecsElapsed()) * 1e-9, CpuSeconds() - cpu0};
}

}  // namespace bench
