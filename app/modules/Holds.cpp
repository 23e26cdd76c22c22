#include "app/modules/Holds.h"

#include "live/Pipeline.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QActionGroup>

namespace {
const QColor kMaxHoldColour(255, 96, 96);   // red
const QColor kMinHoldColour(96, 176, 255);  // blue
}  // namespace

void HoldsFeature::Attach(FeatureHost& host) {
    host_ = &host;
    MaxSeries = host.Chart().addSeries(toolkit::ChartSeries::Style::Line, kMaxHoldColour);
    MinSeries = host.Chart().addSeries(toolkit::ChartSeries::Style::Line, kMinHoldColour);
    ActionMaxHold = host.AddItem({2, 1, QStringLiteral("Удержание максимума"), Qt::Key_F2, true, "ActionMaxHold"});
    ActionMinHold = host.AddItem({2, 2, QStringLiteral("Удержание минимума"), Qt::Key_F3, true, "ActionMinHold"});
    AverageGroup = new QActionGroup(this);
    // Choosing the depth in use again switches the average off.
    AverageGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const Qt::Key depthKeys[] = {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8};
    for (std::size_t k = 0; k < ActionAverage.size(); ++k) {
        const int depth = panorama::kAverageDepths[k];
        ActionAverage[k] = host.AddItem({2, 3 + static_cast<int>(k), QString::number(depth), depthKeys[k], true,
                                         QStringLiteral("ActionAverage%1").arg(depth), QStringLiteral("Усреднение")});
        AverageGroup->addAction(ActionAverage[k]);
    }
    ActionReset = host.AddItem({2, 9, QStringLiteral("Сбросить"), Qt::Key_F9, false, "ActionReset"});
    ActionFreeze = host.AddItem({3, 2, QStringLiteral("Стоп-кадр"), Qt::Key_F12, true, "ActionFreeze"});

    auto on = [this](QAction* a, auto body) {
        connect(a, &QAction::toggled, this, [body](bool checked) { toolkit::guarded([&] { body(checked); }); });
    };
    panorama::TraceTools& traces = host.Pipeline().Traces();
    on(ActionMaxHold, [this, &traces](bool on) {
        traces.SetMaxHold(on);
        Show(host_->Pipeline().Current());
    });
    on(ActionMinHold, [this, &traces](bool on) {
        traces.SetMinHold(on);
        Show(host_->Pipeline().Current());
    });
    for (std::size_t k = 0; k < ActionAverage.size(); ++k)
        on(ActionAverage[k], [this, k, &traces](bool) {
            // The group unchecks one item as it checks another: the depth
            // is whichever item is checked once it settles.
            const int depth = ActionAverage[k]->isChecked() ? panorama::kAverageDepths[k] : 0;
            if (depth || traces.Average() == panorama::kAverageDepths[k]) traces.SetAverage(depth);
        });
    connect(ActionReset, &QAction::triggered, this, [this] { toolkit::guarded([this] { host_->ResetAll(); }); });
    on(ActionFreeze, [&traces](bool on) { traces.SetFrozen(on); });
}

void HoldsFeature::Take(const live::Sweep& sweep) {
    if (sweep.holdsChanged || !sweep.tick) Show(sweep);
}

// Holds are drawn where the sweep they belong to put its points.
void HoldsFeature::Show(const live::Sweep& sweep) {
    const panorama::TraceTools::Shown& s = *sweep.shown;
    auto show = [&s](toolkit::ChartSeries* series, const std::optional<panorama::Levels>& levels) {
        if (!levels) {
            series->clear();
            return;
        }
        series->setLevels(panorama::SampleX(s.meaning.axisMin, 0, s.meaning.step), s.meaning.step, levels->data(),
                          panorama::kSamples);
    };
    show(MaxSeries, s.max);
    show(MinSeries, s.min);
}
