// What the dish sees, on the chart: the transponders found in the live trace
// (a bracket over each one's width with its centre frequency) and the
// orbital position named from them (a label on the chart, the best three
// candidates in its tooltip, a name shown only once it holds for about a
// second); and loading a satellites.xml for this run.
// The work is sky/'s; this moves it between the tools' menu, the tick and
// the chart. Both are off when the window opens.
#pragma once

#include "panorama/Tools.h"
#include "sky/Finder.h"
#include "sky/Naming.h"
#include "sky/Plans.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class TForm1;

class PanoramaSky : public QObject {
    Q_OBJECT
public:
    PanoramaSky(TForm1& form, QMenu& menu);
    ~PanoramaSky() override;

    QAction* ActionFind;   // "Найти транспондеры", Shift+F3
    QAction* ActionName;   // "Определить спутник", Shift+F5
    QAction* ActionLoad;   // "Загрузить список спутников…", Shift+F6
    // The named satellite, on the chart: made when naming is first switched
    // on (null before), hidden while it is off.
    QLabel* LabelSat = nullptr;

    // The tick's part: the shown sweep changed (`fresh`) or not. Finds the
    // transponders of the live trace on every fresh sweep while either item
    // is on, and names the satellite every few sweeps while naming is on.
    void TakeIn(const panorama::TraceTools::Shown& shown, bool fresh);

    // Seconds on a steady clock, which the namings are held by (tests put
    // their own here).
    std::function<double()> Clock;

    // What was found in the shown trace, and the naming the label shows
    // (a name only once it has held), for the window's other tools: none of
    // them acts on a name the label does not show. Empty while the items
    // are off.
    const sky::Finding& Finding() const { return finding_; }
    const sky::NamingResult& Naming() const { return hold_.Shown(); }
    // The shown trace's meaning the finding belongs to.
    const panorama::SampleMeaning& FindingMeaning() const { return meaning_; }
    // The plans the naming uses (loaded when naming is first switched on).
    const std::vector<sky::Satellite>& Plans() const { return plans_; }

    // Lines for the installation report: the satellite named and the
    // transponders found, where those items are on (none otherwise).
    QStringList ReportLines() const;

    // Loads a satellites.xml as the plans for this run and tells in a
    // message box what was loaded and skipped; a file refused is told there
    // too and changes nothing. True when loaded.
    bool LoadSatellites(const QString& file);

private:
    class Brackets;
    void EnsurePlans();
    void Find(const panorama::TraceTools::Shown& shown);
    void Name(const panorama::TraceTools::Shown& shown);
    void ShowNaming();
    void Switched();

    TForm1& form_;
    Brackets* brackets_ = nullptr;  // made when finding is first switched on
    std::vector<sky::Satellite> plans_;
    bool plansLoaded_ = false;
    std::string plansNote_;  // why there are no plans, for the tooltip
    sky::Finding finding_;
    sky::NamingResult naming_;  // the latest, which the hold takes in
    sky::NameHold hold_;
    int siteRevision_ = -1;  // of the site the latest naming was made for
    panorama::SampleMeaning meaning_;
    panorama::Levels levels_{};  // the trace the finding was made from
    bool haveTrace_ = false;
    int sinceNaming_ = 0;
    std::vector<int> drawn_;  // the brackets as last drawn, rounded
};
