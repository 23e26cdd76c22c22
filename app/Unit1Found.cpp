// The transponders found, for the window's other tools: the analysis
// window's table (each found one beside the entry of the transponder table
// or of the named satellite's plan it most likely is) and the level the
// aiming tone follows. The finding itself is PanoramaSky's.
#include "app/AnalysisWindow.h"
#include "app/FoundTable.h"
#include "app/Unit1.h"
#include "app/Unit1Sky.h"
#include "app/Unit1Tools.h"
#include "sky/Matching.h"

#include <QAction>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

// The table changes at most this often, however fast the sweeps come.
constexpr std::int64_t kFoundEveryMs = 250;

QString Mhz(double v) { return QString::number(v, 'f', 1); }

}  // namespace

std::optional<float> PanoramaTools::StrongestFoundLevel() const {
    if (!Sky->ActionFind->isChecked()) return std::nullopt;
    return sky::StrongestLevel(Sky->Finding());
}

void PanoramaTools::ShowFound(std::int64_t nowMs, bool force) {
    if (!Found || !Analysis || !Analysis->isVisible()) return;
    // The plan column follows the label at once when the position shown changes.
    const sky::NamingResult& naming = Sky->Naming();
    const sky::Satellite* named = naming.named && !naming.best.empty() ? naming.best[0].satellite : nullptr;
    if (!force && named == foundNamed_ && nowMs >= foundShownMs_ && nowMs - foundShownMs_ < kFoundEveryMs) return;
    foundShownMs_ = nowMs;
    foundNamed_ = named;

    std::vector<QStringList> rows;
    if (!Sky->ActionFind->isChecked()) {
        Found->Show(QStringLiteral("Найденные транспондеры показываются, когда в меню графика включено "
                                   "«Найти транспондеры» (Shift+F3)."),
                    {}, rows);
        return;
    }
    const panorama::SampleMeaning& m = Sky->FindingMeaning();
    const bool horizontal = (m.flags & panorama::kPolarisationBit) != 0;
    // The table's entries where the chart marks them: on the frequency axis.
    std::vector<sky::Known> table;
    for (const panorama::TransponderMark& mark :
         panorama::TransponderMarks(form_.GridRows(), -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::infinity(), horizontal))
        table.push_back({mark.frequency, mark.name + " " + std::to_string(std::lround(mark.frequency))});
    // The plan of the satellite named, its frequencies seen through the
    // oscillator's estimated offset.
    std::vector<sky::Known> plan;
    int offset = 0;
    QString note;
    if (Sky->ActionName->isChecked() && named) {
        plan = sky::PlanKnown(*named, horizontal);
        offset = naming.best[0].offset;
        note = QStringLiteral("План спутника: ") + QString::fromStdString(naming.text);
    } else {
        note = QStringLiteral("План спутника сравнивается, когда спутник определён («Определить спутник», Shift+F5).");
    }
    for (const sky::Found& f : Sky->Finding().found) {
        const double tolerance = sky::MatchTolerance(f);
        const auto inTable = sky::NearestKnown(table, m.axisMin + (f.centreIf - m.shift), tolerance);
        const auto inPlan = sky::NearestKnown(plan, f.centreRf + offset, tolerance);
        const QString width = Mhz(f.width) + (f.partial ? QStringLiteral(" (край)") : QString());
        rows.push_back({Mhz(f.centreRf), Mhz(f.centreIf), width,
                        QString::number(f.level, 'f', 1), QString::number(f.height, 'f', 1),
                        inTable ? QString::fromStdString(table[*inTable].text) : QString(),
                        inPlan ? QString::fromStdString(plan[*inPlan].text) : QString()});
    }
    if (rows.empty()) note = QStringLiteral("Транспондеры не найдены. ") + note;
    Found->Show(note, QString::fromStdString(tools_.shown().unitLabel), rows);
}
