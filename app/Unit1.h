// The program's one window: every control, the window's data and the event
// handlers. Handlers stay thin: they read controls, call the subsystems'
// logic, write controls and show messages.
#pragma once

#include "common/UserPrompt.h"
#include "live/Sweep.h"
#include "panorama/Panorama.h"
#include "pointing/Pointing.h"
#include "settings/Editor.h"
#include "settings/SettingsBlock.h"

#include <QRect>
#include <QSize>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QToolButton;
class FeatureSet;
class FormReader;

namespace device {
enum class LinkState;
}

namespace toolkit {
class Chart;
class ChartAxis;
class ChartSeries;
class MaskEdit;
class RadioGroup;
class SpinEdit;
class StringGrid;
struct DrawState;
}  // namespace toolkit

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* Owner = nullptr);
    ~TForm1() override;

    // Group A: the panorama area.
    toolkit::Chart* Chart1;
    toolkit::ChartSeries* Series1;  // line trace
    toolkit::ChartSeries* Series2;  // filled trace
    toolkit::ChartAxis* LeftAxis;    // level, owned by Chart1
    toolkit::ChartAxis* BottomAxis;  // frequency, owned by Chart1
    QLabel* Label10;
    QLabel* Label9;
    QLabel* LabelDEMO;
    QScrollBar* ScrollBar1;
    QScrollBar* ScrollBar2;
    QToolButton* SpeedButton1;
    QScrollBar* ScrollBar3;
    toolkit::RadioGroup* RadioGroupStyle;
    toolkit::RadioGroup* RadioGroupEdin;
    toolkit::RadioGroup* RadioGroupFL0;
    toolkit::MaskEdit* MaskEdit1;
    toolkit::RadioGroup* RadioGroupDiap;
    QLabel* LabelStep;
    QSlider* TrackBarStep;
    toolkit::RadioGroup* RadioGroupPol;
    QLabel* Label6;
    QScrollBar* ScrollBar_Koef;
    QScrollBar* ScrollBar_Opor;
    QLabel* LabelKoef;
    QLabel* LabelOpor;

    // Group B: below the client area.
    QPushButton* Button2;
    QCheckBox* CheckBox_20;
    QLabel* Label7;
    QLabel* LabelStartPanoFrec;
    QLabel* Label8;
    QCheckBox* CheckBoxAP4;
    QPushButton* Button1;

    // Group C: right of the client area, the settings editor.
    toolkit::StringGrid* StringGrid1;
    QComboBox* ComboBoxName;
    toolkit::SpinEdit* CSpinEdit1;
    QComboBox* ComboBoxPol;
    QComboBox* ComboBoxDs;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label3;
    toolkit::MaskEdit* MaskEditLati;
    QLabel* Label2;
    QLabel* Label4;
    toolkit::MaskEdit* MaskEditLongi;
    toolkit::RadioGroup* RadioGroup1;
    QLabel* Label5;
    toolkit::SpinEdit* ZenderEdit;
    QPushButton* ButtOpen;
    QPushButton* ButtSave;
    QPushButton* ButtonRead;
    QPushButton* ButtonWrite;

    // Group D: components without a place on screen.
    QTimer* Timer1;
    QTimer* Timer2;

    // The panorama's features (holds, peak, marks, sky, tone, analysis,
    // saves, report): the live pipeline, the chart's menu and its keys.
    std::unique_ptr<FeatureSet> Features;

    // The window's own data.
    settings::SettingsBlock SettingsBuf{};
    std::int32_t PanoOpor = 0;
    float PanoKoef = 0;
    std::uint32_t PanoStep = 0;
    std::uint32_t PanoFlags = 0;
    std::int32_t PanoShift = 0;
    std::int32_t StartPanoFrec = 0;

    // Event handlers.
    void ButtOpenClick(QObject* Sender = nullptr);
    void ButtSaveClick(QObject* Sender = nullptr);
    void ButtonReadClick(QObject* Sender = nullptr);
    void ButtonWriteClick(QObject* Sender = nullptr);
    void StringGrid1DrawCell(QObject* Sender, int ACol, int ARow, QRect Rect, toolkit::DrawState State);
    void ComboBoxNameChange(QObject* Sender = nullptr);
    void ComboBoxPolChange(QObject* Sender = nullptr);
    void ComboBoxDsChange(QObject* Sender = nullptr);
    void CSpinEdit1Change(QObject* Sender = nullptr);
    void ButtonRead_PANOClick(QObject* Sender = nullptr);
    void CheckBoxAP4Click(QObject* Sender = nullptr);
    void TrackBarStepChange(QObject* Sender = nullptr);
    void RadioGroupDiapClick(QObject* Sender = nullptr);
    void RadioGroupFL0Click(QObject* Sender = nullptr);
    void RadioGroupEdinClick(QObject* Sender = nullptr);
    void ScrollBar1Change(QObject* Sender = nullptr);
    void ScrollBar2Change(QObject* Sender = nullptr);
    void ScrollBar3Change(QObject* Sender = nullptr);
    void Chart1MouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void Button1Click(QObject* Sender = nullptr);
    void Button2Click(QObject* Sender = nullptr);

    // The tick's part after the exchange with the meter: the features take
    // its record (the pipeline works it out first). Its `fresh`: the live
    // trace is to be drawn again.
    const live::Sweep& TakeSweep(panorama::TickResult result, const panorama::SweepFrame& frame,
                                 const panorama::LevelScale& scale);
    // The live trace (the last sweep's levels, or their running mean) on the
    // series the style selects (the second half of a panorama tick, after the
    // exchange with the meter and the features).
    void DrawSweep();

    // Controls to SettingsBuf and back.
    void GatherSettings();
    void ApplySettings();
    // The transponder grid's data rows as the settings logic takes them.
    std::array<settings::RowTexts, settings::kEntryCount> GridRows() const;
    // The site the coordinate fields give (none when they hold no
    // coordinates); and the same only once the site is known: read from the
    // meter, opened from a file or typed in by the user. The design values
    // the fields start with are no site.
    std::optional<pointing::Site> FieldSite() const;
    std::optional<pointing::Site> KnownSite() const;
    // Counts every change of the coordinate fields and of whether the site is
    // known, so that a change is seen without reading the fields.
    int SiteRevision() const { return siteRevision_; }

    // The message boxes of the operations, for the subsystems' logic.
    common::UserPrompt& Prompt();

    // The client area: 729 x 550 as designed, or grown to show the controls
    // laid out right of and below it (the meter's settings, the firmware
    // button, the +9 dB / -20 dB switches) where they stand. Nothing moves.
    static constexpr QSize kClientSize{729, 550};
    static constexpr QSize kWideClientSize{1097, 625};
    void ShowDeviceSettings(bool on);

    // The meter's state as the last tick met it, in a corner of the chart
    // (from the first tick on).
    QLabel* LabelState = nullptr;
    void ShowMeterState(device::LinkState state);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void CreateControls();
    void CreateChart();
    void CreateSettingsEditor();
    void CreateFeatures();
    void NameControls();
    void BindEvents();
    void StartUp();
    void ApplyOscillatorRule();
    void EditorChanged(const QString& text);
    void UpdateFrequencyAxis();
    void SetLevelAxis();
    double FrequencyAxisMaximum() const;
    static constexpr double kFrequencyFloor = 0;
    static constexpr double kLevelFloor = -1000;

    panorama::SweepFrame frame_{};
    std::unique_ptr<FormReader> reader_;  // the controls, read for the features
    bool centred_ = false;
    QPoint grownShift_;  // how far the grown window moved to stay on screen
    bool siteKnown_ = false;
    int siteRevision_ = 0;
    void SiteIsKnown() {
        siteKnown_ = true;
        ++siteRevision_;
    }
};

// The one reader of the window's controls for the features: what the
// samples stand for, the frequency axis, the polarisation switch, the
// transponder grid's rows, the site and the captions (Unit1Reader.cpp).
// Nothing else of the panorama's features touches TForm1's controls.
class FormReader : public QObject, public live::Window {
    Q_OBJECT
public:
    explicit FormReader(TForm1& form);

    // What the samples of the next sweep stand for: step, shift, axis,
    // oscillator, control word, unit and both calibration bars.
    panorama::SampleMeaning Meaning() const;

    // live::Window.
    const std::array<settings::RowTexts, settings::kEntryCount>& GridRows() const override;
    int GridRevision() const override { return gridRevision_; }
    std::optional<pointing::Site> FieldSite() const override;
    std::optional<pointing::Site> KnownSite() const override;
    int SiteRevision() const override;
    std::string CoordinateTexts() const override;
    std::string LevelUnit() const override;
    double AxisMin() const override;
    double AxisMax() const override;
    int PolarisationIndex() const override;
    std::string LoCaption(int loIndex) const override;

private:
    TForm1& form_;
    int gridRevision_ = 0;
    // The rows as read at a revision: read again only after the grid changed.
    mutable std::array<settings::RowTexts, settings::kEntryCount> rows_{};
    mutable int rowsRevision_ = -1;
};

extern TForm1* Form1;
