// CPU time of the 25 ms panorama tick against the simulated meter, split into
// the USB cycle (rescan, open, sweep, close) and the rest (control word,
// labels, level conversion, the series update and the repaint it causes).
#include "app/Unit1.h"
#include "panorama/Panorama.h"
#include "sim/Sim.h"
#include "toolkit/Application.h"

#include <QToolButton>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    toolkit::Application app(argc, argv);
    const int ticks = 3000;

    sim::ResetToDemo();
    panorama::SweepFrame frame{};
    settings::SettingsBlock buf{};
    double t0 = CpuSeconds();
    for (int i = 0; i < ticks; ++i) panorama::ExchangeTick(true, 0xE000, 950, 10, frame, buf);
    const double usb = (CpuSeconds() - t0) / ticks;

    TForm1 form;
    form.Timer1->stop();
    form.Timer2->stop();
    form.show();
    form.SpeedButton1->setChecked(true);
    QCoreApplication::processEvents();
    t0 = CpuSeconds();
    for (int i = 0; i < ticks; ++i) {
        form.ButtonRead_PANOClick();
        QCoreApplication::processEvents();  // the repaint the new trace causes
    }
    const double whole = (CpuSeconds() - t0) / ticks;

    std::printf("panorama tick, %d ticks against the simulated meter (CPU time per tick):\n", ticks);
    std::printf("  USB cycle (rescan, open, sweep, close): %8.1f us\n", usb * 1e6);
    std::printf("  conversion, series update and repaint:  %8.1f us\n", (whole - usb) * 1e6);
    std::printf("  whole tick:                             %8.1f us  (budget 25000 us)\n", whole * 1e6);
    return 0;
}
