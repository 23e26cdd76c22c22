#include "app/modules/Found.h"

#include "app/modules/FoundTable.h"
#include "live/Pipeline.h"
#include "sky/Matching.h"

#include <QDateTime>
#include <QEvent>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

// The table changes at most this often, however fast the sweeps come.
constexpr std::int64_t kFoundEveryMs = 250;

QString Mhz(double v) { return QString::number(v, 'f', 1); }

}  // namespace

FoundFeature::FoundFeature() = default;
FoundFeature::~FoundFeature() {
    // A panel never laid out in the analysis window has no parent.
    if (Table && !Table->parent()) delete Table;
}

void FoundFeature::Attach(FeatureHost& host) {
    host_ = &host;
    Table = new FoundTable;
    host.AddPanel(Table);
    // Shown with what there is at once when the window opens.
    Table->installEventFilter(this);
}

void FoundFeature::Take(const live::Sweep& sweep) { Show(sweep, !sweep.tick); }

bool FoundFeature::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Table && event->type() == QEvent::Show) Show(host_->Pipeline().Last(), true);
    return Feature::eventFilter(watched, event);
}

void FoundFeature::Show(const live::Sweep& sweep, bool force) {
    if (!Table->isVisible()) return;
    const std::int64_t nowMs = sweep.tick ? sweep.in.nowMs : QDateTime::currentMSecsSinceEpoch();
    // The plan column follows the label at once when the position shown changes.
    const sky::NamingResult* naming = sweep.naming;
    const sky::Satellite* named = naming && naming->named && !naming->best.empty() ? naming->best[0].satellite : nullptr;
    if (!force && named == named_ && nowMs >= shownMs_ && nowMs - shownMs_ < kFoundEveryMs) return;
    shownMs_ = nowMs;
    named_ = named;

    std::vector<QStringList> rows;
    if (!sweep.findingOn) {
        Table->Show(QStringLiteral("Найденные транспондеры показываются, когда в меню графика включено "
                                   "«Найти транспондеры» (Shift+F3)."),
                    {}, rows);
        return;
    }
    const panorama::SampleMeaning m = sweep.findingMeaning ? *sweep.findingMeaning : sweep.shown->meaning;
    const bool horizontal = (m.flags & panorama::kPolarisationBit) != 0;
    // The table's entries where the chart marks them: on the frequency axis.
    std::vector<sky::Known> table;
    for (const panorama::TransponderMark& mark :
         panorama::TransponderMarks(host_->Window().GridRows(), -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::infinity(), horizontal))
        table.push_back({mark.frequency, mark.name + " " + std::to_string(std::lround(mark.frequency))});
    // The plan of the satellite named, its frequencies seen through the
    // oscillator's estimated offset.
    std::vector<sky::Known> plan;
    int offset = 0;
    QString note;
    if (named) {
        plan = sky::PlanKnown(*named, horizontal);
        offset = naming->best[0].offset;
        note = QStringLiteral("План спутника: ") + QString::fromStdString(naming->text);
    } else {
        note = QStringLiteral("План спутника сравнивается, когда спутник определён («Определить спутник», Shift+F5).");
    }
    if (sweep.finding)
        for (const sky::Found& f : sweep.finding->found) {
            const double tolerance = sky::MatchTolerance(f);
            const auto inTable = sky::NearestKnown(table, panorama::IfOnAxis(m, f.centreIf), tolerance);
            const auto inPlan = sky::NearestKnown(plan, f.centreRf + offset, tolerance);
            const QString width = Mhz(f.width) + (f.partial ? QStringLiteral(" (край)") : QString());
            rows.push_back({Mhz(f.centreRf), Mhz(f.centreIf), width, QString::number(f.level, 'f', 1),
                            QString::number(f.height, 'f', 1),
                            inTable ? QString::fromStdString(table[*inTable].text) : QString(),
                            inPlan ? QString::fromStdString(plan[*inPlan].text) : QString()});
        }
    if (rows.empty()) note = QStringLiteral("Транспондеры не найдены. ") + note;
    Table->Show(note, QString::fromStdString(sweep.shown->unitLabel), rows);
}
