#include "app/modules/AnalysisWindow.h"

#include "app/SaveFile.h"
#include "live/Pipeline.h"
#include "settings/Exchange.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Fonts.h"
#include "toolkit/Waterfall.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QColor kTraceColour(255, 255, 128);  // as the main chart's trace
const QColor kMaxColour(255, 96, 96);
const QColor kMinColour(96, 176, 255);
constexpr double kStripSeconds = 60;

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

QString TimeText(std::int64_t ms, bool withMs) {
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
    return t.toString(withMs ? QStringLiteral("HH:mm:ss,zzz") : QStringLiteral("HH:mm:ss"));
}

panorama::DateTime LocalTime(std::int64_t ms) { return LocalDateTime(QDateTime::fromMSecsSinceEpoch(ms)); }

}  // namespace

AnalysisWindow::AnalysisWindow(const live::Pipeline& pipeline, std::function<QString(int)> loCaption,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), pipeline_(pipeline), live_(pipeline.History()), loCaption_(std::move(loCaption)) {
    setWindowTitle(QStringLiteral("Velkarn3 — Анализ"));
    setAccessibleName(QStringLiteral("Анализ"));
    setFont(toolkit::WithProgramFamilies(font()));
    CreateControls();
}

AnalysisWindow::~AnalysisWindow() = default;

void AnalysisWindow::CreateControls() {
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->setSpacing(4);

    auto* row1 = new QHBoxLayout;
    ButtonRecord = new QPushButton(QStringLiteral("Запись"), this);
    ButtonRecord->setCheckable(true);
    ButtonRecord->setAccessibleName(QStringLiteral("Запись"));
    LabelRecord = new QLabel(this);
    ButtonOpen = new QPushButton(QStringLiteral("Открыть запись…"), this);
    ButtonOpen->setAccessibleName(QStringLiteral("Открыть запись"));
    ButtonLive = new QPushButton(QStringLiteral("Прибор"), this);
    ButtonLive->setAccessibleName(QStringLiteral("Вернуться к прибору"));
    row1->addWidget(ButtonRecord);
    row1->addWidget(LabelRecord, 1);
    row1->addWidget(ButtonOpen);
    row1->addWidget(ButtonLive);
    top->addLayout(row1);

    auto* row2 = new QHBoxLayout;
    ButtonPause = new QPushButton(QStringLiteral("Пауза"), this);
    ButtonPause->setCheckable(true);
    ButtonPause->setAccessibleName(QStringLiteral("Пауза"));
    ComboSpeed = new QComboBox(this);
    ComboSpeed->addItems({QStringLiteral("×1"), QStringLiteral("×4"), QStringLiteral("×16")});
    ComboSpeed->setAccessibleName(QStringLiteral("Скорость"));
    SliderTime = new QSlider(Qt::Horizontal, this);
    SliderTime->setAccessibleName(QStringLiteral("Время записи"));
    LabelTime = new QLabel(this);
    ButtonMarkStart = new QPushButton(QStringLiteral("Начало отрезка"), this);
    ButtonMarkStart->setAccessibleName(QStringLiteral("Начало отрезка"));
    ButtonExport = new QPushButton(QStringLiteral("Экспорт CSV…"), this);
    ButtonExport->setAccessibleName(QStringLiteral("Экспорт CSV"));
    CheckMax = new QCheckBox(QStringLiteral("Макс."), this);
    CheckMin = new QCheckBox(QStringLiteral("Мин."), this);
    row2->addWidget(ButtonPause);
    row2->addWidget(ComboSpeed);
    row2->addWidget(SliderTime, 1);
    row2->addWidget(LabelTime);
    row2->addWidget(ButtonMarkStart);
    row2->addWidget(ButtonExport);
    row2->addWidget(CheckMax);
    row2->addWidget(CheckMin);
    top->addLayout(row2);

    LabelProblems = new QLabel(this);
    LabelProblems->setStyleSheet(QStringLiteral("color: #c00000"));
    LabelProblems->setWordWrap(true);
    LabelProblems->hide();
    top->addWidget(LabelProblems);

    Chart = new toolkit::Chart(this);
    Chart->setFixedSize(673, 425);
    Chart->setTitle(QStringLiteral("ЗАПИСЬ"));
    Trace = Chart->addSeries(toolkit::ChartSeries::Style::Line, kTraceColour);
    MaxTrace = Chart->addSeries(toolkit::ChartSeries::Style::Line, kMaxColour);
    MinTrace = Chart->addSeries(toolkit::ChartSeries::Style::Line, kMinColour);
    Chart->hide();
    top->addWidget(Chart);

    LabelHover = new QLabel(QStringLiteral(" "), this);
    top->addWidget(LabelHover);
    Waterfall = new toolkit::Waterfall(this);
    Waterfall->setAccessibleName(QStringLiteral("Водопад"));
    Waterfall->setKeptRows(static_cast<int>(live_.Capacity()));
    Waterfall->setRowSource([this](std::uint64_t serial, toolkit::Waterfall::Row& row) {
        row.count = panorama::kSamples;
        return RowAt(serial, row.levels, row.x0, row.dx, row.levelMin, row.levelMax);
    });
    top->addWidget(Waterfall, 1);
    Strip = new toolkit::LevelStrip(this);
    Strip->setAccessibleName(QStringLiteral("Уровень во времени"));
    Strip->setTitle(QStringLiteral("Уровень за минуту: включите маркер пика или щёлкните по водопаду или спектру"));
    top->addWidget(Strip);
    FoundSlot = new QVBoxLayout;
    top->addLayout(FoundSlot);

    // On toggled, not clicked: assistive technology presses a checkable
    // button through its toggle action, which emits no click. A check set
    // to what the recording already is (started, stopped or refused) asks
    // for nothing.
    connect(ButtonRecord, &QPushButton::toggled, this, [this](bool on) {
        if (on != pipeline_.Recorder().Recording()) emit recordToggled(on);
    });
    connect(ButtonOpen, &QPushButton::clicked, this, [this] {
        toolkit::guarded([&] {
            toolkit::FileDialogOptions options;
            options.title = QStringLiteral("Открыть запись");
            options.filter = QStringLiteral("Запись панорамы (*.vk3rec)|*.vk3rec");
            const QString file = toolkit::dialogs().openFile(options);
            if (!file.isEmpty()) OpenRecording(file);
        });
    });
    connect(ButtonLive, &QPushButton::clicked, this, [this] { BackToLive(); });
    connect(ButtonPause, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    connect(ComboSpeed, &QComboBox::currentIndexChanged, this,
            [this](int i) { SetSpeed(i == 2 ? 16 : i == 1 ? 4 : 1); });
    connect(SliderTime, &QSlider::valueChanged, this, [this](int v) {
        if (player_ && static_cast<std::size_t>(v) + 1 != player_->Next()) Seek(static_cast<std::size_t>(v));
    });
    connect(ButtonMarkStart, &QPushButton::clicked, this, [this] {
        if (player_) player_->MarkStart();
        UpdateReplayControls();
    });
    connect(ButtonExport, &QPushButton::clicked, this, [this] { toolkit::guarded([&] { ExportClicked(); }); });
    auto holdsChanged = [this] {
        holds_.SetMaxHold(CheckMax->isChecked());
        holds_.SetMinHold(CheckMin->isChecked());
        if (!CheckMax->isChecked()) MaxTrace->clear();
        if (!CheckMin->isChecked()) MinTrace->clear();
    };
    connect(CheckMax, &QCheckBox::toggled, this, holdsChanged);
    connect(CheckMin, &QCheckBox::toggled, this, holdsChanged);
    connect(Waterfall, &toolkit::Waterfall::hovered, this, &AnalysisWindow::Hover);
    connect(Waterfall, &toolkit::Waterfall::clicked, this, &AnalysisWindow::SetStripFrequency);
    WatchChart(Chart);
    UpdateReplayControls();
    UpdateRecordLabel(0);
}

// ---- The rows ----

bool AnalysisWindow::RowAt(std::uint64_t serial, const float*& levels, double& x0, double& dx, double& levelMin,
                           double& levelMax) {
    const recording::History& h = Shown();
    const std::uint64_t first = h.Added() - h.Size();
    if (serial < first || serial >= h.Added()) return false;
    const recording::Sweep& s = h.At(static_cast<std::size_t>(serial - first));
    rowLevels_ = recording::SweepLevels(s);
    levels = rowLevels_.data();
    x0 = panorama::SampleX(s.meaning.sample.axisMin, 0, s.meaning.sample.step);
    dx = s.meaning.sample.step;
    levelMin = s.meaning.levelMin;
    levelMax = s.meaning.levelMax;
    return true;
}

void AnalysisWindow::SetView(const recording::Meaning& m) {
    if (viewMeaning_ && *viewMeaning_ == m) return;
    viewMeaning_ = m;
    const double min = m.sample.axisMin, max = m.sample.axisMin + 128.0 * m.sample.step;
    Waterfall->setFrequencyAxis(min, max, Chart->bottomAxis().maxIntervals());
    Waterfall->setLevelRange(m.levelMin, m.levelMax, U(recording::UnitLabel(m)));
    Strip->setLevelRange(m.levelMin, m.levelMax, U(recording::UnitLabel(m)));
    // The replay chart's axes as the main window sets its own.
    toolkit::ChartAxis& b = Chart->bottomAxis();
    b.setMinimum(std::min(0.0, b.minimum()));
    b.setMaximum(max);
    b.setMinimum(min);
    toolkit::ChartAxis& l = Chart->leftAxis();
    l.setMinimum(std::min(-1000.0, l.minimum()));
    l.setMaximum(m.levelMax);
    l.setMinimum(m.levelMin);
}

// A sweep into the shown history's picture: a waterfall row (with a line
// where its meaning changed), and in replay the trace and its holds.
void AnalysisWindow::ShowSweep(const recording::Sweep& sweep, bool toWaterfall) {
    const recording::History& h = Shown();
    if (toWaterfall && isVisible()) {
        SetView(sweep.meaning);
        if (lastShownMeaning_)
            Waterfall->addSeparator(h.Added() - 1, U(recording::ChangeText(*lastShownMeaning_, sweep.meaning)));
        Waterfall->addRow(h.Added() - 1);
    }
    lastShownMeaning_ = sweep.meaning;
    if (player_) {
        const panorama::SampleMeaning& m = sweep.meaning.sample;
        holds_.Feed(sweep.frame, m, panorama::ComputeLevelScale(m.oporPosition, m.koefPosition, m.unitIndex));
        const panorama::TraceTools::Shown& s = holds_.shown();
        auto show = [&s](toolkit::ChartSeries* series, const panorama::Levels& levels) {
            series->setLevels(panorama::SampleX(s.meaning.axisMin, 0, s.meaning.step), s.meaning.step, levels.data(),
                              panorama::kSamples);
        };
        show(Trace, s.levels);
        if (s.max) show(MaxTrace, *s.max);
        else MaxTrace->clear();
        if (s.min) show(MinTrace, *s.min);
        else MinTrace->clear();
    }
}

void AnalysisWindow::ShowAll() {
    const recording::History& h = Shown();
    lastShownMeaning_.reset();
    if (h.Size() == 0) {
        Waterfall->setRows(0, 0);
        UpdateStrip();
        return;
    }
    SetView(h.Newest().meaning);
    Waterfall->setRows(h.Added() - 1, h.Size());
    const std::uint64_t first = h.Added() - h.Size();
    for (std::size_t i = 1; i < h.Size(); ++i)
        Waterfall->addSeparator(first + i, U(recording::ChangeText(h.At(i - 1).meaning, h.At(i).meaning)));
    lastShownMeaning_ = h.Newest().meaning;
    UpdateStrip();
}

void AnalysisWindow::Take(const live::Sweep& sweep) {
    if (!sweep.tick) return;
    const std::int64_t nowMs = sweep.in.nowMs;
    const std::int64_t elapsed = lastNowMs_ ? std::max<std::int64_t>(0, nowMs - lastNowMs_) : 0;
    lastNowMs_ = nowMs;
    peakOn_ = sweep.peakMarker;
    if (sweep.peak) livePeakRf_ = static_cast<double>(sweep.peak->rf);
    if (sweep.swept && !player_ && live_.Size() > 0) ShowSweep(live_.Newest(), true);
    if (player_ && !player_->Paused()) {
        bool shown = false;
        player_->Advance(elapsed, [&](const recording::Sweep& s) {
            ShowSweep(s, true);
            shown = true;
        });
        if (player_->AtEnd()) ButtonPause->setChecked(true);
        if (shown) UpdateReplayControls();
    }
    if (sweep.swept || player_) {
        // The strip a few times a second: it spans a minute.
        if (--stripCountdown_ <= 0) {
            stripCountdown_ = 4;
            UpdateStrip();
        }
    }
    UpdateRecordLabel(nowMs);
}

void AnalysisWindow::SetStripFrequency(double mhz) {
    stripFrequency_ = std::round(mhz);
    UpdateStrip();
}

void AnalysisWindow::WatchChart(toolkit::Chart* chart) {
    if (watched_.contains(chart)) return;
    watched_.append(chart);
    chart->installEventFilter(this);
}

bool AnalysisWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (toolkit::Chart* chart : watched_) {
            if (chart != watched) continue;
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPointF at = mouse->position();
            if (mouse->button() == Qt::LeftButton && chart->plotRect().contains(at.toPoint()))
                SetStripFrequency(chart->mapToValue(at).x());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AnalysisWindow::UpdateStrip() {
    const recording::History& h = Shown();
    if (!isVisible() || h.Size() == 0) return;
    const recording::Sweep& newest = h.Newest();
    if (peakOn_) {
        // The live sweep's peak as the pipeline found it; a replayed one's
        // is searched here.
        const panorama::SampleMeaning& m = newest.meaning.sample;
        if (player_)
            stripFrequency_ = static_cast<double>(
                panorama::FindPeak(recording::SweepLevels(newest), m.axisMin, m.shift, m.step).rf);
        else if (livePeakRf_)
            stripFrequency_ = *livePeakRf_;
    }
    if (!stripFrequency_) return;
    const double f = *stripFrequency_;
    QList<QPointF> points;
    for (const auto& [age, level] : recording::LevelOverTime(h, f, kStripSeconds)) points.append(QPointF(age, level));
    Strip->setPoints(points, kStripSeconds);
    Strip->setTitle(QStringLiteral("Уровень на %1 МГц за минуту%2")
                        .arg(static_cast<long long>(f))
                        .arg(peakOn_ ? QStringLiteral(" (маркер пика)") : QString()));
}

void AnalysisWindow::Hover(std::uint64_t serial, double frequency) {
    const recording::History& h = Shown();
    const std::uint64_t first = h.Added() - h.Size();
    if (serial < first || serial >= h.Added()) return;
    const recording::Sweep& s = h.At(static_cast<std::size_t>(serial - first));
    const int k = recording::SampleAt(s.meaning, frequency);
    QString text = TimeText(s.timeMs, true) + QStringLiteral("   %1 МГц").arg(std::llround(frequency));
    if (k >= 0)
        text += QStringLiteral("   %1 %2")
                    .arg(QString::number(recording::SweepLevels(s)[k], 'f', 1).replace('.', ','))
                    .arg(U(recording::UnitLabel(s.meaning)));
    LabelHover->setText(text);
}

// ---- Recording ----

void AnalysisWindow::ShowRecording() {
    const bool on = pipeline_.Recorder().Recording();
    if (ButtonRecord->isChecked() != on) ButtonRecord->setChecked(on);
    UpdateRecordLabel(on ? std::max(lastNowMs_, pipeline_.Recorder().StartMs()) : 0);
}

void AnalysisWindow::UpdateRecordLabel(std::int64_t nowMs) {
    const recording::Recorder& recorder = pipeline_.Recorder();
    if (!recorder.Recording()) {
        if (!LabelRecord->text().isEmpty()) LabelRecord->clear();
        return;
    }
    const std::int64_t seconds = std::max<std::int64_t>(0, (nowMs - recorder.StartMs()) / 1000);
    // Written out only when a second or a tenth of a megabyte has passed:
    // the tick comes 40 times a second.
    const std::int64_t tenths = std::llround(recorder.BytesWritten() / 1e5);
    if (seconds == labelSeconds_ && tenths == labelTenths_ && !LabelRecord->text().isEmpty()) return;
    labelSeconds_ = seconds;
    labelTenths_ = tenths;
    const QString text = QStringLiteral("Записано %1:%2:%3, %4 МБ")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                             .arg(QString::number(recorder.BytesWritten() / 1e6, 'f', 1).replace('.', ','));
    if (text != LabelRecord->text()) LabelRecord->setText(text);
}

// ---- Replay ----

bool AnalysisWindow::OpenRecording(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileReadError));
        return false;
    }
    const QByteArray bytes = f.readAll();
    Replay(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return true;
}

void AnalysisWindow::Replay(const std::string& bytes) {
    recording::Recording r =
        recording::ReadRecording(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    QStringList problems;
    for (std::size_t i = 0; i < r.problems.size() && i < 3; ++i) problems << U(r.problems[i].text);
    if (r.problems.size() > 3) problems << QStringLiteral("и ещё %1 мест(а) с ошибками").arg(r.problems.size() - 3);
    LabelProblems->setText(problems.join(QLatin1Char('\n')));
    LabelProblems->setVisible(!problems.isEmpty());
    if (r.sweeps.empty()) {
        if (problems.isEmpty()) LabelProblems->setText(QStringLiteral("В записи нет развёрток"));
        LabelProblems->show();
        return;
    }
    player_.emplace(std::move(r));
    holds_ = panorama::TraceTools();
    holds_.SetMaxHold(CheckMax->isChecked());
    holds_.SetMinHold(CheckMin->isChecked());
    SetSpeed(speed_);
    Chart->show();
    Seek(0);
    SetPaused(false);
}

void AnalysisWindow::Seek(std::size_t index) {
    if (!player_) return;
    player_->Seek(index);
    lastNowMs_ = 0;  // the clock runs from the next tick on
    viewMeaning_.reset();
    ShowAll();
    ShowSweep(player_->Shown().Newest(), false);
    UpdateReplayControls();
}

void AnalysisWindow::SetSpeed(int factor) {
    speed_ = factor == 16 || factor == 4 ? factor : 1;
    if (player_) player_->SetSpeed(speed_);
    const int index = speed_ == 16 ? 2 : speed_ == 4 ? 1 : 0;
    if (ComboSpeed->currentIndex() != index) ComboSpeed->setCurrentIndex(index);
}

void AnalysisWindow::SetPaused(bool paused) {
    if (ButtonPause->isChecked() != paused) ButtonPause->setChecked(paused);
    // Starting again at the end plays from the start.
    if (player_ && player_->SetPaused(paused)) Seek(0);
}

void AnalysisWindow::BackToLive() {
    if (!player_) return;
    player_.reset();
    LabelProblems->hide();
    Chart->hide();
    viewMeaning_.reset();
    ShowAll();
    UpdateReplayControls();
}

void AnalysisWindow::UpdateReplayControls() {
    const bool on = player_.has_value();
    for (QWidget* w : std::initializer_list<QWidget*>{ButtonPause, ComboSpeed, SliderTime, ButtonMarkStart,
                                                      ButtonExport, CheckMax, CheckMin, ButtonLive})
        w->setEnabled(on);
    if (!on) {
        LabelTime->clear();
        return;
    }
    const QSignalBlocker block(SliderTime);
    const std::vector<recording::Sweep>& sweeps = player_->Source().sweeps;
    SliderTime->setRange(0, static_cast<int>(sweeps.size()) - 1);
    SliderTime->setValue(static_cast<int>(player_->Next()) - 1);
    const std::int64_t t = sweeps[player_->Next() - 1].timeMs;
    QString text = TimeText(t, false) + QStringLiteral(" (%1 с)").arg((t - sweeps.front().timeMs) / 1000);
    if (const auto start = player_->StretchStart())
        text += QStringLiteral(", отрезок с ") + TimeText(sweeps[*start].timeMs, false);
    LabelTime->setText(text);
}

std::string AnalysisWindow::ExportCsv(std::size_t first, std::size_t last) const {
    if (!player_) return {};
    return recording::RecordingCsv(player_->Source(), first, last, LocalTime,
                                   [this](int lo) { return loCaption_(lo).toStdString(); });
}

void AnalysisWindow::ExportClicked() {
    if (!player_) return;
    const std::vector<recording::Sweep>& sweeps = player_->Source().sweeps;
    const std::size_t next = player_->Next();
    const std::optional<std::size_t> start = player_->StretchStart();
    // The marked stretch up to the sweep shown, or the whole recording.
    std::size_t first = 0, last = sweeps.size() - 1;
    if (start && *start < next) {
        first = *start;
        last = next - 1;
    }
    const QString file = AskSaveFileName(QStringLiteral("Экспорт записи"), QStringLiteral("Таблица CSV (*.csv)|*.csv"),
                                         "Запись", "csv", LocalTime(sweeps[first].timeMs));
    if (file.isEmpty()) return;
    const std::string text = ExportCsv(first, last);
    SaveFile(file, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

// ---- The window ----

void AnalysisWindow::closeEvent(QCloseEvent* event) {
    // Only hidden: the recording and the history go on.
    hide();
    event->ignore();
}

void AnalysisWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    viewMeaning_.reset();
    ShowAll();
}
