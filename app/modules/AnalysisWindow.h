// The analysis window: the sweeps over time beside the live main window. A
// waterfall of the last minutes, the level of one frequency over the last
// minute, recording the sweeps to a file and replaying such a file (with a
// trace drawn as the main chart draws it), exporting a recording to CSV.
// It shows the pipeline's history and recording, and takes each tick's
// record; closing it only hides it (recording goes on), and nothing is kept
// between runs.
#pragma once

#include "panorama/Tools.h"
#include "recording/Player.h"
#include "recording/Recording.h"

#include <QList>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace live {
class Pipeline;
struct Sweep;
}  // namespace live
namespace toolkit {
class Chart;
class ChartSeries;
class LevelStrip;
class Waterfall;
}  // namespace toolkit

class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    // `loCaption` names an oscillator item as the main window shows it.
    AnalysisWindow(const live::Pipeline& pipeline, std::function<QString(int)> loCaption, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    // One tick's record: its sweep (already in the pipeline's history) into
    // the waterfall, the replay's clock, the strip and the recording's label.
    void Take(const live::Sweep& sweep);

    // Controls.
    QPushButton* ButtonRecord;   // "Запись"
    QLabel* LabelRecord;         // time and size recorded
    QPushButton* ButtonOpen;     // "Открыть запись…"
    QPushButton* ButtonLive;     // "Прибор": back to the live sweeps
    QPushButton* ButtonPause;    // "Пауза"
    QComboBox* ComboSpeed;       // ×1, ×4, ×16
    QSlider* SliderTime;         // the replay's position, a sweep a step
    QLabel* LabelTime;
    QPushButton* ButtonMarkStart;  // "Начало отрезка"
    QPushButton* ButtonExport;     // "Экспорт CSV…"
    QCheckBox* CheckMax;
    QCheckBox* CheckMin;
    QLabel* LabelProblems;         // what a recording could not be read of
    QLabel* LabelHover;            // time, frequency and level under the mouse
    toolkit::Chart* Chart;         // the replayed trace (shown while replaying)
    toolkit::ChartSeries* Trace;
    toolkit::ChartSeries* MaxTrace;
    toolkit::ChartSeries* MinTrace;
    toolkit::Waterfall* Waterfall;
    toolkit::LevelStrip* Strip;
    // The table of transponders found in the sweep goes into this slot
    // (between the level strip and the bottom of the window).
    QVBoxLayout* FoundSlot;

    // The pipeline's recording as it is now, on the button and its label.
    void ShowRecording();
    // Replay.
    bool OpenRecording(const QString& file);
    // Replays bytes already read (the file's whole contents).
    void Replay(const std::string& bytes);
    bool Replaying() const { return player_.has_value(); }
    void BackToLive();
    void Seek(std::size_t index);  // shows the recording up to this sweep
    void SetSpeed(int factor);     // 1, 4 or 16
    void SetPaused(bool paused);
    // The sweeps of the waterfall: the live ones, or the replay's so far.
    const recording::History& Shown() const { return player_ ? player_->Shown() : live_; }
    const recording::History& LiveHistory() const { return live_; }
    // The frequency the level strip follows, if any.
    std::optional<double> StripFrequency() const { return stripFrequency_; }
    void SetStripFrequency(double mhz);
    // A left click on this chart's plot (the main window's, or this
    // window's own) picks the frequency the level strip follows.
    void WatchChart(toolkit::Chart* chart);
    std::string ExportCsv(std::size_t first, std::size_t last) const;

signals:
    // "Запись" pressed: start (true) or stop a recording.
    void recordToggled(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void ShowSweep(const recording::Sweep& sweep, bool toWaterfall);
    void ShowAll();  // the waterfall and the strip from the shown history
    void UpdateStrip();
    void UpdateRecordLabel(std::int64_t nowMs);
    void UpdateReplayControls();
    void SetView(const recording::Meaning& m);
    void Hover(std::uint64_t serial, double frequency);
    void ExportClicked();
    bool RowAt(std::uint64_t serial, const float*& levels, double& x0, double& dx, double& levelMin,
               double& levelMax);

    const live::Pipeline& pipeline_;
    const recording::History& live_;
    std::function<QString(int)> loCaption_;
    QList<toolkit::Chart*> watched_;
    bool peakOn_ = false;
    std::optional<double> livePeakRf_;
    std::optional<double> stripFrequency_;
    std::optional<recording::Meaning> viewMeaning_;
    std::optional<recording::Meaning> lastShownMeaning_;
    panorama::Levels rowLevels_{};
    int stripCountdown_ = 0;
    std::int64_t lastNowMs_ = 0;
    std::int64_t labelSeconds_ = -1, labelTenths_ = -1;  // what the recording's label says

    // Replay.
    std::optional<recording::Player> player_;
    int speed_ = 1;  // as chosen, also before a replay
    panorama::TraceTools holds_;
};
