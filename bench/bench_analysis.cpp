// The analysis window's cost: a waterfall row taken in (its line drawn into
// the picture's ring), the repaint of the plot, and a row with its share of
// the repaints (one every fourth row, as at 40 rows a second) and with one of
// its own, offscreen; the memory of the sweep history; and the whole program
// ticking under its own 25 ms timer with the analysis window open and
// recording on (ticks a second and CPU a tick). Under Xvfb:
// QT_QPA_PLATFORM=xcb (analysis_under_x.sh runs it so, beside the floors).
//   bench_analysis [seconds of the timed run, default 10]
#include "app/modules/Analysis.h"
#include "app/modules/AnalysisWindow.h"
#include "app/Unit1.h"
#include "app/Features.h"
#include "recording/Recording.h"
#include "sim/Sim.h"
#include "toolkit/Application.h"
#include "toolkit/Waterfall.h"

#include "WindowRun.h"

#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

using bench::PerCall;
using bench::Row;

namespace {

// The analysis window opened from the main window's tools, recording to
// `file`; false when the recording cannot start.
bool OpenAnalysisAndRecord(TForm1& form, const QString& file) {
    AnalysisFeature& analysis = *form.Features->Find<AnalysisFeature>();
    analysis.ShowWindow();
    return analysis.StartRecording(file);
}

// The recording stopped (its file complete) and the window closed.
void StopRecordingAndClose(TForm1& form) {
    AnalysisFeature& analysis = *form.Features->Find<AnalysisFeature>();
    analysis.StopRecording();
    analysis.Window->close();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const int timedSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    toolkit::Application app(argc, argv);

    std::printf("analysis window, platform %s, CPU time (best of 5 runs):\n", qgetenv("QT_QPA_PLATFORM").constData());
    toolkit::Waterfall w;
    w.resize(751, 418);
    float levels[128];
    for (int i = 0; i < 128; ++i) levels[i] = 45.0f + static_cast<float>((i * 7) % 80);
    w.setRowSource([&](std::uint64_t, toolkit::Waterfall::Row& row) {
        row = {11540, 10, levels, 128};
        return true;
    });
    w.setFrequencyAxis(11550, 12830, 12);
    w.setLevelRange(45, 125, QStringLiteral("dBuV"));
    w.setKeptRows(30000);
    w.show();
    QCoreApplication::processEvents();
    std::uint64_t serial = 0;
    Row("waterfall row taken in, 400 rows shown (draw its line)", PerCall(1000, 5, [&] { w.addRow(serial++); }));
    // What new rows repaint: the plot (the picture and the lines over it).
    const QRect plot(toolkit::Waterfall::kPlotLeft, toolkit::Waterfall::kHeader, toolkit::Waterfall::kPlotWidth,
                     w.visibleRows());
    Row("waterfall repaint of the plot", PerCall(1000, 5, [&] { w.repaint(plot); }));
    // Rows 25 ms apart, a repaint once kRepaintMs has passed: every fourth.
    const int rowsARepaint = toolkit::Waterfall::kRepaintMs / 25 + 1;
    int rows = 0;
    Row("waterfall row with its share of the repaints", PerCall(1000, 5, [&] {
            w.addRow(serial++);
            if (++rows % rowsARepaint == 0) w.repaint(plot);
        }));
    Row("waterfall row with a repaint of its own", PerCall(1000, 5, [&] {
            w.addRow(serial++);
            w.repaint(plot);
        }));
    const recording::History history;
    std::printf("  sweep history: %zu sweeps (%.1f minutes at 40 a second), %.1f MB\n", history.Capacity(),
                history.Capacity() / 40.0 / 60.0, history.MemoryBytes() / 1e6);

    sim::ResetToDemo();
    TForm1 form;
    form.Timer1->stop();
    form.Timer2->stop();
    form.show();
    form.SpeedButton1->setChecked(true);
    long ticks = 0;
    QObject::connect(form.Timer1, &QTimer::timeout, [&ticks] {
        ++ticks;
        sim::ClearLog();
    });
    auto timedRun = [&](const char* what) {
        ticks = 0;
        const bench::WindowRun run = bench::RunWindow(form, timedSeconds);
        const double seconds = run.seconds;
        const double cpu = run.cpuSeconds;
        std::printf("whole program, %s, %d s: %.2f ticks/s (target >= 39.5), %.0f us CPU a tick (target <= 1000)\n",
                    what, timedSeconds, ticks / seconds, ticks ? cpu * 1e6 / ticks : 0.0);
        return seconds;
    };
    timedRun("main window only");
    const auto file = std::filesystem::temp_directory_path() / "bench_analysis.vk3rec";
    std::filesystem::remove(file);
    if (!OpenAnalysisAndRecord(form, QString::fromStdString(file.string()))) {
        std::printf("cannot record to %s\n", file.string().c_str());
        return 1;
    }
    const double seconds = timedRun("analysis window open and recording");
    StopRecordingAndClose(form);
    const auto size = std::filesystem::file_size(file);
    std::filesystem::remove(file);
    std::printf("  recording: %.1f MB an hour (target <= 40)\n", size / seconds * 3600 / 1e6);
    return 0;
}
