// The 25 ms panorama tick against the simulated meter, in CPU time per tick:
// the USB cycle alone (rescan, open, sweep, close), the level conversion and
// chart update alone, the repaint that follows, and the whole tick, for the
// line and for the area style, each plain and with every panorama tool on
// (max and min hold, a 32-sweep average, the peak marker and six transponder
// marks), and with the aiming tone on; then, for each style, the CPU used and the
// ticks per second reached under the window's own 25 ms timer in the real
// event loop (the least loaded of several runs).
//   bench_panorama [seconds of a timed run, default 10] [ticks per measurement, default 1000]
//                  [timed runs per style, default 3]
#include "app/Unit1.h"
#include "app/modules/AimingSound.h"
#include "app/modules/Tone.h"
#include "app/Features.h"
#include "panorama/Panorama.h"
#include "sim/Sim.h"
#include "toolkit/Application.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StringGrid.h"

#include "Timing.h"
#include "WindowRun.h"

#include <QAction>
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
    const int timedRuns = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
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

    // Six stored entries on the default axis, all horizontal, for the marks.
    const int freqs[] = {11600, 11766, 11900, 12100, 12400, 12700};
    for (int r = 0; r < 6; ++r) {
        const QStringList cells{"Ast 19E", QString::number(freqs[r]), "H", "27500", "1"};
        for (int c = 0; c < 5; ++c) form.StringGrid1->setCell(c, r + 1, cells[c]);
    }
    auto setTools = [&form](bool on) {
        FeatureSet& t = *form.Features;
        for (const char* name : {"ActionMaxHold", "ActionMinHold", "ActionAverage32", "ActionPeak", "ActionMarks"})
            if (QAction* a = t.Item(QString::fromLatin1(name)); a->isChecked() != on) a->trigger();
    };
    const panorama::LevelScale scale = panorama::ComputeLevelScale(9, 4300, 0);

    for (bool tools : {false, true}) {
        setTools(tools);
        for (int style : {0, 1}) {
            form.RadioGroupStyle->setItemIndex(style);
            std::printf(" %s style%s:\n", style == 0 ? "line" : "area",
                        tools ? ", every tool on (holds, average of 32, peak, 6 marks)" : "");
            // Conversion and chart update: the frame to levels (taken in by
            // the tools, which update holds and marker) and the series
            // refilled, and nothing else; the repaint runs untimed in between.
            double draw = 1e9, paint = 1e9, whole = 1e9;
            for (int r = 0; r < kRepeats; ++r) {
                double inDraw = 0, inPaint = 0;
                for (int i = 0; i < kTicks; ++i) {
                    const double t0 = CpuSeconds();
                    if (form.TakeSweep(panorama::TickResult::Swept, frame, scale).fresh) form.DrawSweep();
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
            Row("level conversion and chart update", draw);
            Row("repaint of the window that follows", paint);
            Row("whole tick with its repaint", whole, style == 0 ? "  (target <= 100 us)" : "  (target <= 300 us)");
        }
    }
    setTools(false);

    // The aiming tone on, line style: through the system's sound output
    // where there is one, otherwise through a device that takes each pitch
    // and plays nothing (the tick's own part: level, pitch, best so far).
    {
        struct NullOutput : ToneOutput {
            bool on = false;
            std::string Unavailable() override { return {}; }
            bool Start() override { return on = true; }
            void Stop() override { on = false; }
            bool Playing() const override { return on; }
            void Set(std::optional<double>) override {}
            void Beep() override {}
        };
        FeatureSet& t = *form.Features;
        QAction* tone = t.Item("ActionAimingSound");
        const bool real = tone->isEnabled();
        if (!real) t.Find<ToneFeature>()->UseOutput(std::make_unique<NullOutput>());
        form.RadioGroupStyle->setItemIndex(0);
        const double plain = PerCall(kTicks, kRepeats, [&] {
            form.ButtonRead_PANOClick();
            QCoreApplication::processEvents();
            sim::ClearLog();
        });
        tone->trigger();
        const double toned = PerCall(kTicks, kRepeats, [&] {
            form.ButtonRead_PANOClick();
            QCoreApplication::processEvents();
            sim::ClearLog();
        });
        tone->trigger();
        std::printf(" line style, aiming tone %s:\n",
                    real ? "on, through the system's sound output" : "on (no sound output here: a silent device)");
        Row("whole tick with its repaint, tone off", plain);
        Row("whole tick with its repaint, tone on", toned);
    }

    // The window's own timer under the real event loop, the panorama on, in
    // each style; the run with the least CPU is the least disturbed by the
    // rest of the machine.
    long ticks = 0;
    QObject::connect(form.Timer1, &QTimer::timeout, [&ticks] { ++ticks; });
    QObject::connect(form.Timer1, &QTimer::timeout, [] { sim::ClearLog(); });
    for (int style : {0, 1}) {
        form.RadioGroupStyle->setItemIndex(style);
        double bestCpu = 1e9, bestRate = 0, lowestRate = 1e9, bestPerTick = 0;
        for (int run = 0; run < timedRuns; ++run) {
            ticks = 0;
            const bench::WindowRun timed = bench::RunWindow(form, timedSeconds);
            const double seconds = timed.seconds;
            const double cpu = timed.cpuSeconds / seconds;
            const double rate = static_cast<double>(ticks) / seconds;
            lowestRate = std::min(lowestRate, rate);
            if (cpu < bestCpu) {
                bestCpu = cpu;
                bestRate = rate;
                bestPerTick = ticks > 0 ? cpu * seconds * 1e6 / static_cast<double>(ticks) : 0.0;
            }
        }
        std::printf("window timer (%d ms), %s style, best of %d runs of %d s: CPU %.2f %% of a core "
                    "(target <= 2 %%), %.0f us a tick with the loop's own work\n"
                    "  %.2f ticks/s in that run, %.2f the lowest of all runs (target >= 39.5, ceiling 40)\n",
                    form.Timer1->interval(), style == 0 ? "line" : "area", timedRuns, timedSeconds,
                    100.0 * bestCpu, bestPerTick, bestRate, lowestRate);
    }
    return 0;
}
