#include "app/modules/Peak.h"

#include "live/Pipeline.h"
#include "toolkit/Accessibility.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>

namespace {
const QColor kPeakColour(255, 255, 255);
}  // namespace

void PeakFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionPeak = host.AddItem({3, 1, QStringLiteral("Маркер пика"), Qt::Key_F11, true, "ActionPeak"});
    connect(ActionPeak, &QAction::toggled, this, [this](bool on) {
        toolkit::guarded([&] {
            host_->Pipeline().SetPeakMarker(on);
            host_->Refresh();
        });
    });
}

void PeakFeature::Take(const live::Sweep& sweep) {
    if (sweep.fresh || !sweep.tick) Show(sweep);
}

void PeakFeature::Show(const live::Sweep& sweep) {
    toolkit::Chart& chart = host_->Chart();
    if (!sweep.peakMarker || !sweep.peak) {
        chart.setMarker(std::nullopt, kPeakColour);
        toolkit::announceMarker(&chart);
        return;
    }
    const panorama::Peak& p = *sweep.peak;
    const panorama::SampleMeaning& m = sweep.shown->meaning;
    toolkit::ChartMarker marker;
    marker.value = QPointF(panorama::SampleX(m.axisMin, p.index, m.step), p.level);
    marker.label = QString::fromStdString(panorama::PeakText(p, sweep.shown->unitLabel));
    chart.setMarker(marker, kPeakColour);
    toolkit::announceMarker(&chart);
}
