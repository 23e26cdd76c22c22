#include "app/modules/Marks.h"

#include "live/Pipeline.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>

namespace {
const QColor kMarksColour(96, 224, 96);  // green
}  // namespace

void MarksFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionMarks =
        host.AddItem({3, 3, QStringLiteral("Метки транспондеров"), Qt::SHIFT | Qt::Key_F9, true, "ActionMarks"});
    connect(ActionMarks, &QAction::toggled, this, [this] {
        toolkit::guarded([this] { Show(true, host_->Pipeline().Last().in.meaning.flags); });
    });
}

void MarksFeature::Take(const live::Sweep& sweep) {
    // Switched off, the marks went when the item was.
    if (ActionMarks->isChecked()) Show(false, sweep.in.meaning.flags);
}

// Worked out again only when the table, the axis or the polarisation changed.
void MarksFeature::Show(bool force, std::uint32_t flags) {
    toolkit::Chart& chart = host_->Chart();
    if (!ActionMarks->isChecked()) {
        chart.setMarks({}, kMarksColour);
        return;
    }
    const live::Window& w = host_->Window();
    const double min = w.AxisMin(), max = w.AxisMax();
    // The polarisation switch as it stands; with nothing selected, the one
    // the sweep keeps asking for.
    const int pol = w.PolarisationIndex();
    const bool horizontal =
        pol == 0 || (pol != 1 && (flags & panorama::kPolarisationBit) != 0);
    if (!force && revision_ == w.GridRevision() && min == min_ && max == max_ && horizontal == horizontal_) return;
    revision_ = w.GridRevision();
    min_ = min;
    max_ = max;
    horizontal_ = horizontal;
    QList<toolkit::ChartMark> marks;
    for (const panorama::TransponderMark& m : panorama::TransponderMarks(w.GridRows(), min, max, horizontal))
        marks.append({m.frequency, QString::fromStdString(m.name)});
    chart.setMarks(marks, kMarksColour);
}
