#include "app/Unit1.h"

#include "app/Features.h"
#include "device/UsbLink.h"

#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"
#include "toolkit/DropDownOnKey.h"
#include "toolkit/Fonts.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"
#include "toolkit/ToggleButton.h"

#include <QAnyStringView>
#include <QCheckBox>
#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUtf8StringView>

#include <cstdlib>

TForm1* Form1 = nullptr;

namespace {

const QColor kTraceColour(255, 255, 128);  // pale yellow
const QColor kChartBackground(0, 0, 0);

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

// Labels size themselves to their text, as the classic auto-sized label does.
QLabel* MakeLabel(const QString& text, int x, int y, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

void SetCaption(QLabel* label, const QString& text) {
    if (label->text() == text) return;
    label->setText(text);
    label->adjustSize();
}

// A caption in UTF-8 is compared as it stands and converted only when it
// differs: the tick sets three of them, nearly always to what they show.
void SetCaption(QLabel* label, const std::string& utf8) {
    if (QAnyStringView::equal(label->text(), QUtf8StringView(utf8))) return;
    SetCaption(label, QString::fromStdString(utf8));
}

QScrollBar* MakeScrollBar(Qt::Orientation o, QRect place, int min, int max, int pos, QWidget* parent) {
    auto* s = new QScrollBar(o, parent);
    s->setGeometry(place);
    s->setRange(min, max);
    s->setValue(pos);
    s->setSingleStep(1);
    s->setPageStep(1);
    return s;
}

class WindowPrompt : public common::UserPrompt {
public:
    void Message(const std::string& text) override { toolkit::dialogs().message(U(text)); }
    bool Ask(const std::string& text, const std::string& caption) override {
        return toolkit::dialogs().question(U(text), U(caption));
    }
};

}  // namespace

TForm1::TForm1(QWidget* Owner) : QWidget(Owner) {
    Form1 = this;
    toolkit::setDialogParent(this);
    CreateControls();  // design values: no handler runs while they load
    BindEvents();
    CreateFeatures();
    StartUp();
    NameControls();
    Timer1->start();
    Timer2->start();
}

TForm1::~TForm1() {
    Features.reset();  // before the controls its features read
    if (Form1 == this) Form1 = nullptr;
}

common::UserPrompt& TForm1::Prompt() {
    static WindowPrompt prompt;
    return prompt;
}

void TForm1::CreateControls() {
    setWindowTitle(QStringLiteral("Velkarn3 Pano 01"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientSize);
    // Arial, or the metric-compatible Liberation Sans, keeps the captions and
    // the digits of the narrow fields within the design sizes; DejaVu Sans
    // (wider) is the last resort.
    QFont f = toolkit::WithProgramFamilies(font());
    f.setPixelSize(11);
    f.setBold(true);
    setFont(f);

    // Group A: the panorama area. Controls are created in tab order.
    CreateChart();

    ScrollBar1 = MakeScrollBar(Qt::Vertical, {8, 40, 17, 329}, 10, 110, 40, this);
    ScrollBar2 = MakeScrollBar(Qt::Vertical, {32, 40, 17, 329}, 20, 80, 80, this);

    SpeedButton1 = new toolkit::ToggleButton(QStringLiteral("PANO"), this);
    SpeedButton1->setGeometry(8, 392, 49, 33);
    SpeedButton1->setStyleSheet(QStringLiteral("QToolButton { color: red; font-weight: bold; }"));

    ScrollBar3 = MakeScrollBar(Qt::Horizontal, {88, 432, 617, 17}, 0, 1200, 1200, this);
    ScrollBar3->setSingleStep(10);
    ScrollBar3->setPageStep(10);

    RadioGroupStyle = new toolkit::RadioGroup(QStringLiteral("Стиль"), {QStringLiteral("Линия"), QStringLiteral("Залив")}, this);
    RadioGroupStyle->setGeometry(8, 440, 73, 49);
    RadioGroupEdin = new toolkit::RadioGroup(QStringLiteral("Ед. изм."), {QStringLiteral("dBuV"), QStringLiteral("dBm")}, this);
    RadioGroupEdin->setGeometry(8, 496, 73, 49);
    RadioGroupFL0 = new toolkit::RadioGroup(QStringLiteral("Гетеродин"),
        {QStringLiteral("9750 - 10600"), QStringLiteral("10750"), QStringLiteral("5150"), QStringLiteral("Свой")}, this);
    RadioGroupFL0->setGeometry(88, 456, 113, 89);
    MaskEdit1 = new toolkit::MaskEdit(QStringLiteral("99999"), QStringLiteral("10000"), this);
    MaskEdit1->setGeometry(152, 520, 39, 21);
    RadioGroupDiap = new toolkit::RadioGroup(QStringLiteral("Диапазон"), {QStringLiteral("Верхн."), QStringLiteral("Нижн.")}, this);
    RadioGroupDiap->setGeometry(208, 496, 73, 49);
    LabelStep = MakeLabel(QStringLiteral("Шаг 10 МГц"), 209, 472, this);
    TrackBarStep = new QSlider(Qt::Horizontal, this);
    TrackBarStep->setGeometry(280, 464, 81, 25);
    TrackBarStep->setRange(panorama::kStepMin, panorama::kStepMax);
    TrackBarStep->setValue(10);
    TrackBarStep->setTickInterval(1);
    TrackBarStep->setTickPosition(QSlider::TicksBelow);
    TrackBarStep->setPageStep(1);
    RadioGroupPol = new toolkit::RadioGroup(QStringLiteral("Поляриз."), {QStringLiteral("H / L"), QStringLiteral("V / R")}, this);
    RadioGroupPol->setGeometry(288, 496, 73, 49);
    Label6 = MakeLabel(QStringLiteral("Калибровка верт. шкалы. "), 448, 472, this);
    ScrollBar_Koef = MakeScrollBar(Qt::Horizontal, {384, 496, 257, 17}, panorama::kKoefPositionMin,
                                   panorama::kKoefPositionMax, 4300, this);
    ScrollBar_Opor = MakeScrollBar(Qt::Horizontal, {384, 512, 257, 17}, panorama::kOporPositionMin,
                                   panorama::kOporPositionMax, 9, this);
    LabelKoef = MakeLabel(QStringLiteral("xxx"), 648, 496, this);
    LabelOpor = MakeLabel(QStringLiteral("xxx"), 648, 512, this);

    // Group B: below the client area, not seen.
    Button2 = new QPushButton(QStringLiteral("Button2"), this);
    Button2->setGeometry(64, 592, 75, 25);
    CheckBox_20 = new QCheckBox(QStringLiteral("-20 dB"), this);
    CheckBox_20->setGeometry(152, 592, 97, 17);
    Label7 = MakeLabel(QStringLiteral("Сдвиг"), 272, 592, this);
    LabelStartPanoFrec = MakeLabel(QStringLiteral("xxx"), 432, 592, this);
    Label8 = MakeLabel(QStringLiteral("xxx"), 504, 592, this);
    CheckBoxAP4 = new QCheckBox(QStringLiteral("+9 dB"), this);
    CheckBoxAP4->setGeometry(592, 592, 57, 17);
    CheckBoxAP4->setChecked(true);
    Button1 = new QPushButton(QStringLiteral("Прошивка"), this);
    Button1->setGeometry(744, 592, 105, 25);

    // Group C: right of the client area, not seen.
    CreateSettingsEditor();

    // Group D.
    Timer1 = new QTimer(this);
    Timer1->setInterval(25);
    Timer2 = new QTimer(this);
    Timer2->setInterval(2000);
}

void TForm1::CreateChart() {
    Chart1 = new toolkit::Chart(this);
    Chart1->setGeometry(56, 0, 673, 425);
    Chart1->setBackgroundColour(kChartBackground);
    Chart1->setTitle(QStringLiteral("СПЕКТР"));
    BottomAxis = &Chart1->bottomAxis();
    LeftAxis = &Chart1->leftAxis();
    Series1 = Chart1->addSeries(toolkit::ChartSeries::Style::Line, kTraceColour);
    Series2 = Chart1->addSeries(toolkit::ChartSeries::Style::Area, kTraceColour);
    connect(Chart1, &toolkit::Chart::mouseMoved, this, [this](Qt::KeyboardModifiers shift, int x, int y) {
        toolkit::guarded([&] { Chart1MouseMove(Chart1, shift, x, y); });
    });

    Label10 = MakeLabel(QStringLiteral("dBuV"), 8, 8, Chart1);
    Label10->setStyleSheet(QStringLiteral("QLabel { color: white; background: black; font-weight: bold; }"));
    Label9 = MakeLabel(QStringLiteral("xxx"), 48, 8, Chart1);
    Label9->setStyleSheet(QStringLiteral("QLabel { color: white; font-weight: bold; font-size: 13px; }"));
    Label9->adjustSize();
    LabelDEMO = MakeLabel(QStringLiteral("TEST"), 488, 16, Chart1);
    LabelDEMO->setStyleSheet(QStringLiteral("QLabel { color: white; font-size: 12pt; }"));
    LabelDEMO->adjustSize();
    for (QLabel* l : {Label10, Label9, LabelDEMO}) {
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        // "TEST" lies over the plot: a tick's band repaints it from a picture.
        Chart1->cacheLabel(l);
    }
}

void TForm1::CreateSettingsEditor() {
    StringGrid1 = new toolkit::StringGrid(5, 16, this);
    StringGrid1->setGeometry(728, 0, 361, 361);
    const int widths[] = {97, 74, 42, 81, 50};
    for (int c = 0; c < 5; ++c) StringGrid1->setCellSize(c, widths[c], -1, 0);
    for (int r = 0; r < 16; ++r) StringGrid1->setCellSize(-1, 0, r, 20);
    QFont gridFont = font();
    gridFont.setPixelSize(13);
    StringGrid1->setFont(gridFont);

    ComboBoxName = new QComboBox(this);
    ComboBoxName->setEditable(true);
    ComboBoxName->setMaxVisibleItems(30);
    ComboBoxName->addItems({
        QStringLiteral("His 30W"), QStringLiteral("Tel 15W"), QStringLiteral("AtB 12W"), QStringLiteral("Nils 7W"),
        QStringLiteral("Amos 4W"), QStringLiteral("Thor 1W"), QStringLiteral("Sir  5E"), QStringLiteral("EurB 9E"),
        QStringLiteral("Hot 13E"), QStringLiteral("Ast 19E"), QStringLiteral("Eut 21E"), QStringLiteral("Eub 28E"),
        QStringLiteral("HTB 36E"), QStringLiteral("Hel 39E"), QStringLiteral("Exp 40E"), QStringLiteral("Tur 42E"),
        QStringLiteral("Exp 53E"), QStringLiteral("Bon 56E"), QStringLiteral("Int 60E"), QStringLiteral("ABS 75E"),
        QStringLiteral("Exp 80E"), QStringLiteral("Yml 90E"), QStringLiteral("NSS 95E"), QStringLiteral("Exp 96E"),
        QStringLiteral("УДАЛИТЬ")});
    ComboBoxName->setGeometry(744, 264, 81, 21);
    // Typed names go into the cell as typed: no completion, no new list items.
    ComboBoxName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxName->setCompleter(nullptr);
    CSpinEdit1 = new toolkit::SpinEdit(0, 50000, this);
    CSpinEdit1->setGeometry(848, 288, 49, 26);
    ComboBoxPol = new QComboBox(this);
    ComboBoxPol->addItems({QStringLiteral("V"), QStringLiteral("H"), QStringLiteral("L"), QStringLiteral("R")});
    ComboBoxPol->setGeometry(904, 304, 49, 21);
    ComboBoxDs = new QComboBox(this);
    ComboBoxDs->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    ComboBoxDs->setGeometry(1016, 304, 49, 21);
    toolkit::dropDownOnKeyPress(ComboBoxDs);
    for (QWidget* w : {static_cast<QWidget*>(ComboBoxName), static_cast<QWidget*>(CSpinEdit1),
                       static_cast<QWidget*>(ComboBoxPol), static_cast<QWidget*>(ComboBoxDs)})
        w->setFont(gridFont);

    GroupBox1 = new QGroupBox(QStringLiteral("Координаты установки"), this);
    GroupBox1->setGeometry(736, 368, 169, 97);
    Label1 = MakeLabel(QStringLiteral("Широта"), 16, 32, GroupBox1);
    Label3 = MakeLabel(QStringLiteral("гр."), 136, 32, GroupBox1);
    MaskEditLati = new toolkit::MaskEdit(QStringLiteral("99,9"), QStringLiteral("50,0"), GroupBox1);
    MaskEditLati->setGeometry(88, 21, 44, 28);
    Label2 = MakeLabel(QStringLiteral("Долгота"), 8, 64, GroupBox1);
    Label4 = MakeLabel(QStringLiteral("гр."), 136, 64, GroupBox1);
    MaskEditLongi = new toolkit::MaskEdit(QStringLiteral("999,9"), QStringLiteral("036,0"), GroupBox1);
    MaskEditLongi->setGeometry(80, 53, 54, 28);

    RadioGroup1 = new toolkit::RadioGroup(QStringLiteral("Тип аккумулятора"),
        {QStringLiteral("Свинцово-кислотный"), QStringLiteral("Ni-Cd, Ni-MH"), QStringLiteral("Li-ion")}, this);
    RadioGroup1->setGeometry(912, 368, 161, 80);
    Label5 = MakeLabel(QStringLiteral("Стабилитрон   V"), 920, 456, this);
    ZenderEdit = new toolkit::SpinEdit(80, 90, this);
    ZenderEdit->setGeometry(1024, 452, 41, 26);
    ZenderEdit->setTypingDisabled(true);

    ButtOpen = new QPushButton(QStringLiteral("Открыть"), this);
    ButtOpen->setGeometry(736, 488, 75, 25);
    ButtSave = new QPushButton(QStringLiteral("Сохранить"), this);
    ButtSave->setGeometry(824, 488, 75, 25);
    ButtonRead = new QPushButton(QStringLiteral("Получить"), this);
    ButtonRead->setGeometry(912, 488, 75, 25);
    ButtonWrite = new QPushButton(QStringLiteral("Отправить"), this);
    ButtonWrite->setGeometry(1000, 488, 75, 25);
}

// Bindings take effect only now, after every design value is loaded.
void TForm1::BindEvents() {
    auto on = [this](auto* sender, auto signal, void (TForm1::*handler)(QObject*)) {
        connect(sender, signal, this, [this, sender, handler] {
            toolkit::guarded([&] { (this->*handler)(sender); });
        });
    };
    on(ButtOpen, &QPushButton::clicked, &TForm1::ButtOpenClick);
    on(ButtSave, &QPushButton::clicked, &TForm1::ButtSaveClick);
    on(ButtonRead, &QPushButton::clicked, &TForm1::ButtonReadClick);
    on(ButtonWrite, &QPushButton::clicked, &TForm1::ButtonWriteClick);
    connect(StringGrid1, &toolkit::StringGrid::drawCell, this,
            [this](int c, int r, QRect rect, toolkit::DrawState st) {
                toolkit::guarded([&] { StringGrid1DrawCell(StringGrid1, c, r, rect, st); });
            });
    on(ComboBoxName, &QComboBox::activated, &TForm1::ComboBoxNameChange);
    on(ComboBoxName->lineEdit(), &QLineEdit::textEdited, &TForm1::ComboBoxNameChange);
    on(ComboBoxPol, &QComboBox::activated, &TForm1::ComboBoxPolChange);
    on(ComboBoxDs, &QComboBox::activated, &TForm1::ComboBoxDsChange);
    on(CSpinEdit1, &toolkit::SpinEdit::changed, &TForm1::CSpinEdit1Change);
    on(Timer1, &QTimer::timeout, &TForm1::ButtonRead_PANOClick);
    on(CheckBoxAP4, &QCheckBox::toggled, &TForm1::CheckBoxAP4Click);
    on(TrackBarStep, &QSlider::valueChanged, &TForm1::TrackBarStepChange);
    on(RadioGroupDiap, &toolkit::RadioGroup::clicked, &TForm1::RadioGroupDiapClick);
    on(RadioGroupFL0, &toolkit::RadioGroup::clicked, &TForm1::RadioGroupFL0Click);
    on(RadioGroupEdin, &toolkit::RadioGroup::clicked, &TForm1::RadioGroupEdinClick);
    on(ScrollBar1, &QScrollBar::valueChanged, &TForm1::ScrollBar1Change);
    on(ScrollBar2, &QScrollBar::valueChanged, &TForm1::ScrollBar2Change);
    on(ScrollBar3, &QScrollBar::valueChanged, &TForm1::ScrollBar3Change);
    on(Button1, &QPushButton::clicked, &TForm1::Button1Click);
    on(Button2, &QPushButton::clicked, &TForm1::Button2Click);
    on(Timer2, &QTimer::timeout, &TForm1::Button2Click);
    // A coordinate typed by the user makes the fields the site (setting
    // them from a block raises no textEdited).
    for (toolkit::MaskEdit* field : {MaskEditLati, MaskEditLongi}) {
        connect(field, &QLineEdit::textEdited, this, [this] { SiteIsKnown(); });
        connect(field, &QLineEdit::textChanged, this, [this] { ++siteRevision_; });
    }
}

// The start-up settings, in order. Selecting an item of a radio group from
// here runs its click handler, as a user's click would.
void TForm1::StartUp() {
    const char* headers[] = {" Название", " Частота", " Пол.", " Скорость", " Вход"};
    for (int c = 0; c < 5; ++c) StringGrid1->setCell(c, 0, QString::fromUtf8(headers[c]));
    PanoStep = static_cast<std::uint32_t>(TrackBarStep->value());
    SetCaption(LabelStep, panorama::StepLabel(PanoStep));
    SetCaption(Label10, QStringLiteral("dBuV"));
    SetLevelAxis();
    RadioGroupDiap->setItemIndex(0);   // runs RadioGroupDiapClick
    RadioGroupPol->setItemIndex(0);
    RadioGroupFL0->setItemIndex(0);    // runs RadioGroupFL0Click
    RadioGroupStyle->setItemIndex(1);
    RadioGroupEdin->setItemIndex(0);   // runs RadioGroupEdinClick
    // The panorama starts where the first move of the shift bar puts it:
    // PanoShift from the bar's position, the axis and both labels to match.
    toolkit::guarded([this] { ScrollBar3Change(ScrollBar3); });
}

void TForm1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (centred_) return;
    centred_ = true;
    if (QScreen* s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

// ---- The panorama: sweep ----

void TForm1::ButtonRead_PANOClick(QObject*) {
    PanoFlags = panorama::FoldControlWord(PanoFlags, RadioGroupPol->itemIndex(), RadioGroupDiap->itemIndex(),
                                          CheckBoxAP4->isChecked(), CheckBox_20->isChecked());
    const panorama::LevelScale scale =
        panorama::ComputeLevelScale(ScrollBar_Opor->value(), ScrollBar_Koef->value(), RadioGroupEdin->itemIndex());
    PanoOpor = scale.opor;
    PanoKoef = scale.koef;
    SetCaption(LabelOpor, scale.oporLabel);
    SetCaption(LabelKoef, scale.koefLabel);
    SetCaption(Label10, scale.unitLabel);

    const bool panoramaOn = SpeedButton1->isChecked();
    device::LinkState link{};
    const panorama::TickResult result =
        panorama::ExchangeTick(panoramaOn, PanoFlags, PanoShift, PanoStep, frame_, SettingsBuf, &link);
    ShowMeterState(link);
    // The features take the tick's record; the trace stays as it is while
    // the picture is held still. What the tick changes on the chart is
    // painted at once, in one repaint.
    const toolkit::Chart::UpdateBatch batch(*Chart1);
    if (TakeSweep(result, frame_, scale).fresh) DrawSweep();
}

const live::Sweep& TForm1::TakeSweep(panorama::TickResult result, const panorama::SweepFrame& frame,
                                     const panorama::LevelScale& scale) {
    live::TickIn in;
    in.result = result;
    in.frame = result == panorama::TickResult::Swept ? &frame : nullptr;
    in.meaning = reader_->Meaning();
    in.scale = scale;
    in.levelMin = static_cast<std::int32_t>(LeftAxis->minimum());
    in.levelMax = static_cast<std::int32_t>(LeftAxis->maximum());
    in.nowMs = QDateTime::currentMSecsSinceEpoch();
    return Features->Take(in);
}

// Both series are refilled in one update each: the chosen one gets the trace,
// the other is emptied (both with no style chosen). The area fills down to
// the plot's bottom by itself, whatever the unit.
void TForm1::DrawSweep() {
    const double x0 = panorama::SampleX(BottomAxis->minimum(), 0, PanoStep);
    const panorama::Levels& live = Features->Pipeline().Traces().shown().live;
    const int style = RadioGroupStyle->itemIndex();
    if (style == 0) Series1->setLevels(x0, PanoStep, live.data(), panorama::kSamples);
    else Series1->clear();
    if (style == 1) Series2->setLevels(x0, PanoStep, live.data(), panorama::kSamples);
    else Series2->clear();
}

void TForm1::CheckBoxAP4Click(QObject*) {
    PanoFlags = CheckBoxAP4->isChecked() ? (PanoFlags | panorama::kAmp9dBBit) : (PanoFlags & ~panorama::kAmp9dBBit);
}

// ---- The panorama: view ----

// Both axes are re-ranged from a floor below any minimum they take (0 MHz,
// -1000 dB), so that no step asks for an inverted range.
void TForm1::UpdateFrequencyAxis() {
    BottomAxis->setRangeFromFloor(kFrequencyFloor, FrequencyAxisMaximum(), StartPanoFrec);
}

void TForm1::SetLevelAxis() {
    LeftAxis->setRangeFromFloor(kLevelFloor, ScrollBar1->value() + ScrollBar2->value(), ScrollBar1->value());
}

// The frequency axis spans the sweep's 128 steps from StartPanoFrec.
double TForm1::FrequencyAxisMaximum() const { return double{panorama::kSamples} * PanoStep + StartPanoFrec; }

// StartPanoFrec from PanoShift by the chosen local oscillator; kept as it is
// when none is chosen.
void TForm1::ApplyOscillatorRule() {
    if (auto start = panorama::StartFrequency(RadioGroupFL0->itemIndex(), RadioGroupDiap->itemIndex(), PanoShift,
                                              MaskEdit1->maskedText().toStdString()))
        StartPanoFrec = *start;
}

void TForm1::TrackBarStepChange(QObject*) {
    PanoStep = static_cast<std::uint32_t>(TrackBarStep->value());
    ScrollBar3->setSingleStep(static_cast<int>(PanoStep));
    ScrollBar3->setPageStep(static_cast<int>(PanoStep));
    SetCaption(LabelStep, panorama::StepLabel(PanoStep));
    // The new maximum is never below the current minimum: no floor first.
    BottomAxis->setMaximum(FrequencyAxisMaximum());
    BottomAxis->setMinimum(StartPanoFrec);
}

void TForm1::RadioGroupDiapClick(QObject*) {
    ApplyOscillatorRule();
    SetCaption(LabelStartPanoFrec, QString::number(StartPanoFrec) + QStringLiteral(" МГц"));
    UpdateFrequencyAxis();
}

void TForm1::RadioGroupFL0Click(QObject*) {
    ApplyOscillatorRule();
    UpdateFrequencyAxis();
}

void TForm1::ScrollBar3Change(QObject*) {
    // Lowered first: a bad own oscillator stops the handler with the axis
    // lowered and the rest as it was.
    BottomAxis->setMinimum(kFrequencyFloor);
    PanoShift = panorama::ShiftFromPosition(ScrollBar3->value());
    ApplyOscillatorRule();
    SetCaption(Label8, QString::number(PanoShift) + QStringLiteral(" МГц"));
    SetCaption(LabelStartPanoFrec, QString::number(StartPanoFrec));
    UpdateFrequencyAxis();
}

void TForm1::ScrollBar1Change(QObject*) { SetLevelAxis(); }

void TForm1::ScrollBar2Change(QObject*) { SetLevelAxis(); }

// The scroll bar's new range and position re-range the axis through
// ScrollBar1Change when the position changes; the axis is set once more
// for when it does not.
void TForm1::RadioGroupEdinClick(QObject*) {
    if (RadioGroupEdin->itemIndex() == 0) {
        ScrollBar1->setMaximum(80);
        ScrollBar1->setValue(45);
        ScrollBar1->setMinimum(0);
    } else {
        ScrollBar1->setMinimum(-100);
        ScrollBar1->setValue(-75);
        ScrollBar1->setMaximum(0);
    }
    SetLevelAxis();
}

void TForm1::Chart1MouseMove(QObject*, Qt::KeyboardModifiers, int X, int Y) {
    panorama::ReadoutInput in;
    in.x = X;
    in.y = Y;
    in.levelMin = LeftAxis->minimum();
    in.levelMax = LeftAxis->maximum();
    in.step = PanoStep;
    in.shift = PanoShift;
    in.startFrec = StartPanoFrec;
    in.polIndex = RadioGroupPol->itemIndex();
    SetCaption(Label9, panorama::ReadoutText(in));
}

// ---- The "TEST" marker ----

void TForm1::Button2Click(QObject*) {
    const int left = std::rand() % 600 + 30;
    const int top = std::rand() % 340 + 40;
    LabelDEMO->move(left, top);
}
