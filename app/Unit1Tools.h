// The installer's tools on the panorama chart: the chart's context menu and
// its shortcuts, the hold traces, the peak marker, freezing, the transponder
// marks and saving the chart as a picture or the trace as a spreadsheet file.
// The processing lives in panorama/Tools; this moves it between the window's
// controls, the tick and the chart. Everything is off when the window opens.
#pragma once

#include "panorama/Tools.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class AimingSound;
class AnalysisWindow;
class FoundTable;
class QAction;
class QActionGroup;
class PanoramaSky;
class QDateTime;
class QMenu;
class QPoint;
class TForm1;

namespace sky {
struct Satellite;
}
namespace toolkit {
class ChartSeries;
}

class PanoramaTools : public QObject {
    Q_OBJECT
public:
    explicit PanoramaTools(TForm1& form);
    ~PanoramaTools() override;

    // The chart's context menu and its items; each item also answers its
    // shortcut anywhere in the window. The shortcuts are function keys (with
    // Shift for the last three), which no edit, combo box or spin box of the
    // window takes as typing; F1 (help), F4 (opens a combo box's list) and
    // F10 (the window menu on Windows) are left alone.
    QMenu* Menu;
    QAction* ActionDeviceSettings;  // Shift+F2: the window shows the meter's settings and firmware
    QAction* ActionMaxHold;   // F2
    QAction* ActionMinHold;   // F3
    QMenu* AverageMenu;
    std::array<QAction*, 4> ActionAverage;  // 4, 8, 16, 32 sweeps: F5..F8
    QActionGroup* AverageGroup;
    QAction* ActionReset;     // F9
    QAction* ActionPeak;      // F11
    QAction* ActionFreeze;    // F12
    QAction* ActionMarks;     // Shift+F9
    QAction* ActionAimingSound;  // Shift+F8
    QAction* ActionSaveSnapshot;  // Shift+F11
    QAction* ActionSaveTrace;     // Shift+F12
    QAction* ActionAnalysis;      // Shift+F7: opens the analysis window

    // The analysis window, made when first opened; closing only hides it,
    // and the tick goes on feeding it.
    std::unique_ptr<AnalysisWindow> Analysis;
    void ShowAnalysis();

    // The installation report (Unit1Report.cpp): job fields, site, the
    // table with where to point the dish, and the chart, as one PDF.
    QAction* ActionReport;    // Ctrl+F12
    struct ReportJob {
        QString name, address, installer;
    };
    // Asks for the job's fields; none when cancelled. A real dialog unless
    // replaced (tests put a scripted answer here).
    std::function<std::optional<ReportJob>()> AskReportJob;
    // More lines for the report below the peak's, e.g. the transponders
    // found and the satellite named, where those features are on.
    std::function<QStringList()> ReportLines;
    // The report as PDF bytes: the window as it is now, dated `when`. The
    // same window and time give the same bytes.
    QByteArray ReportPdf(const ReportJob& job, const QDateTime& when);
    void SaveReport();

    // Transponders found and the satellite named (Shift+F3, Shift+F5, Shift+F6).
    PanoramaSky* Sky;

    // The hold traces, drawn over the live trace.
    toolkit::ChartSeries* MaxSeries;
    toolkit::ChartSeries* MinSeries;

    // The tick's part after the exchange with the meter: notes what the
    // samples stand for (a change resets holds and average), takes a sweep in
    // and shows the tools. True when the live trace is to be redrawn from
    // Live(); false while frozen or when nothing was swept.
    bool TakeIn(panorama::TickResult result, const panorama::SweepFrame& frame, const panorama::LevelScale& scale);
    // The live trace: the last sweep's levels, or their running mean.
    const panorama::Levels& Live() const { return tools_.shown().live; }
    const panorama::TraceTools& State() const { return tools_; }

    // The aiming tone, fed by every tick.
    std::unique_ptr<AimingSound> Aiming;
    // The level of the strongest transponder found, while finding
    // transponders is on: the aiming tone follows it when the peak marker
    // is off. Absent while there is no finding.
    std::optional<float> StrongestFoundLevel() const;

    // The analysis window's table of the transponders found (made with the
    // window): refreshed from the tick a few times a second while the window
    // is shown, at once when `force`.
    FoundTable* Found = nullptr;
    void ShowFound(std::int64_t nowMs, bool force = false);

    // The two saves of the menu.
    void SaveSnapshot();
    void SaveTrace();

private:
    panorama::SampleMeaning CurrentMeaning() const;
    void ShowHolds();
    void ShowPeak();
    void ShowMarks(bool force = false);
    void ShowMenu(const QPoint& at);
    void CreateReport();  // the report's item and the table's pointing tips
    // The chart as shown now, recorded as drawing commands (vector), with
    // the unit and the peak's values; and the report drawn with it.
    struct ChartShot;
    ChartShot ShootChart() const;
    QByteArray ReportPdf(const ReportJob& job, const QDateTime& when, const ChartShot& shot);
    void FeedAiming(panorama::TickResult result);
    // Writes a file through a temporary one, after asking before replacing
    // an existing file; a failure is told in a plain message box.
    void SaveFile(const QString& file, const QByteArray& bytes);

    TForm1& form_;
    panorama::TraceTools tools_;
    QList<QPointF> points_;
    // What the shown marks were worked out from.
    int gridRevision_ = 0;
    int marksRevision_ = -1;
    double marksMin_ = 0, marksMax_ = 0;
    bool marksHorizontal_ = false;
    std::int64_t foundShownMs_ = 0;
    const sky::Satellite* foundNamed_ = nullptr;  // the plan the table was shown with
};
