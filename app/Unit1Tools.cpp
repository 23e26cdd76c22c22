#include "app/Unit1Tools.h"

#include "app/AnalysisWindow.h"
#include "app/FoundTable.h"
#include "app/Unit1.h"
#include "app/Unit1Sky.h"
#include "app/Unit1Aiming.h"
#include "common/Files.h"
#include "settings/Exchange.h"
#include "toolkit/Accessibility.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StringGrid.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QByteArray>
#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

const QColor kMaxHoldColour(255, 96, 96);   // red
const QColor kMinHoldColour(96, 176, 255);  // blue
const QColor kMarksColour(96, 224, 96);     // green
const QColor kPeakColour(255, 255, 255);

constexpr const char* kAskReplace = "Файл уже существует. Заменить его?";
constexpr const char* kMsgNoTrace = "Нет трассы для сохранения: включите PANO";

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

panorama::DateTime Now() {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
            t.time().second()};
}

}  // namespace

PanoramaTools::PanoramaTools(TForm1& form) : form_(form) {
    MaxSeries = form.Chart1->addSeries(toolkit::ChartSeries::Style::Line, kMaxHoldColour);
    MinSeries = form.Chart1->addSeries(toolkit::ChartSeries::Style::Line, kMinHoldColour);

    Menu = new QMenu(form.Chart1);
    auto item = [this](QMenu* menu, const QString& text, const QKeySequence& key, bool checkable) {
        QAction* a = menu->addAction(text);
        a->setShortcut(key);
        a->setCheckable(checkable);
        // On the window as well, so that the shortcut works with the menu closed.
        form_.addAction(a);
        return a;
    };
    ActionDeviceSettings = item(Menu, QStringLiteral("Настройки прибора"), Qt::SHIFT | Qt::Key_F2, true);
    Menu->addSeparator();
    ActionMaxHold = item(Menu, QStringLiteral("Удержание максимума"), Qt::Key_F2, true);
    ActionMinHold = item(Menu, QStringLiteral("Удержание минимума"), Qt::Key_F3, true);
    AverageMenu = Menu->addMenu(QStringLiteral("Усреднение"));
    AverageGroup = new QActionGroup(this);
    // Choosing the depth in use again switches the average off.
    AverageGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const Qt::Key depthKeys[] = {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8};
    for (std::size_t k = 0; k < ActionAverage.size(); ++k) {
        ActionAverage[k] = item(AverageMenu, QString::number(panorama::kAverageDepths[k]), depthKeys[k], true);
        AverageGroup->addAction(ActionAverage[k]);
    }
    ActionReset = item(Menu, QStringLiteral("Сбросить"), Qt::Key_F9, false);
    Menu->addSeparator();
    ActionPeak = item(Menu, QStringLiteral("Маркер пика"), Qt::Key_F11, true);
    ActionFreeze = item(Menu, QStringLiteral("Стоп-кадр"), Qt::Key_F12, true);
    ActionMarks = item(Menu, QStringLiteral("Метки транспондеров"), Qt::SHIFT | Qt::Key_F9, true);
    ActionAimingSound = item(Menu, QStringLiteral("Звук наведения"), Qt::SHIFT | Qt::Key_F8, true);
    // A disabled item (no sound output) tells why in its tooltip.
    Menu->setToolTipsVisible(true);
    Aiming = std::make_unique<AimingSound>(form, *ActionAimingSound);
    Menu->addSeparator();
    ActionSaveSnapshot = item(Menu, QStringLiteral("Сохранить снимок…"), Qt::SHIFT | Qt::Key_F11, false);
    ActionSaveTrace = item(Menu, QStringLiteral("Сохранить трассу…"), Qt::SHIFT | Qt::Key_F12, false);
    ActionReport = item(Menu, QStringLiteral("Отчёт…"), Qt::CTRL | Qt::Key_F12, false);
    Menu->addSeparator();
    ActionAnalysis = item(Menu, QStringLiteral("Анализ…"), Qt::SHIFT | Qt::Key_F7, false);
    ActionAnalysis->setObjectName(QStringLiteral("ActionAnalysis"));
    ActionAnalysis->setToolTip(QStringLiteral("Анализ: водопад, уровень во времени, запись и воспроизведение"));

    auto on = [this](QAction* a, auto body) {
        connect(a, &QAction::triggered, this, [body](bool checked) { toolkit::guarded([&] { body(checked); }); });
    };
    on(ActionDeviceSettings, [this](bool on) { form_.ShowDeviceSettings(on); });
    on(ActionMaxHold, [this](bool on) {
        tools_.SetMaxHold(on);
        ShowHolds();
    });
    on(ActionMinHold, [this](bool on) {
        tools_.SetMinHold(on);
        ShowHolds();
    });
    for (std::size_t k = 0; k < ActionAverage.size(); ++k)
        on(ActionAverage[k], [this, k](bool on) { tools_.SetAverage(on ? panorama::kAverageDepths[k] : 0); });
    on(ActionReset, [this](bool) {
        tools_.Reset();
        Aiming->Reset();
        ShowHolds();
    });
    on(ActionPeak, [this](bool) { ShowPeak(); });
    on(ActionFreeze, [this](bool on) { tools_.SetFrozen(on); });
    on(ActionMarks, [this](bool) { ShowMarks(true); });
    on(ActionSaveSnapshot, [this](bool) { SaveSnapshot(); });
    on(ActionSaveTrace, [this](bool) { SaveTrace(); });
    CreateReport();
    on(ActionAnalysis, [this](bool) { ShowAnalysis(); });

    Sky = new PanoramaSky(form, *Menu);
    ReportLines = [this] { return Sky->ReportLines(); };

    // A newcomer learns from the chart itself where the rest is.
    form.Chart1->setToolTip(QStringLiteral(
        "Правая кнопка мыши: инструменты панорамы\n"
        "и настройки прибора (Shift+F2): транспондеры, координаты,\n"
        "аккумулятор, обновление прошивки"));

    form.Chart1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(form.Chart1, &QWidget::customContextMenuRequested, this, &PanoramaTools::ShowMenu);
    // The marks follow the table as it is edited.
    connect(form.StringGrid1->model(), &QAbstractItemModel::dataChanged, this, [this] { ++gridRevision_; });
}

PanoramaTools::~PanoramaTools() = default;

void PanoramaTools::ShowMenu(const QPoint& at) { Menu->popup(form_.Chart1->mapToGlobal(at)); }

panorama::SampleMeaning PanoramaTools::CurrentMeaning() const {
    panorama::SampleMeaning m;
    m.step = form_.PanoStep;
    m.shift = form_.PanoShift;
    m.axisMin = form_.BottomAxis->minimum();
    m.loIndex = form_.RadioGroupFL0->itemIndex();
    m.flags = form_.PanoFlags;
    m.unitIndex = form_.RadioGroupEdin->itemIndex();
    m.oporPosition = form_.ScrollBar_Opor->value();
    m.koefPosition = form_.ScrollBar_Koef->value();
    return m;
}

bool PanoramaTools::TakeIn(panorama::TickResult result, const panorama::SweepFrame& frame,
                           const panorama::LevelScale& scale) {
    const panorama::SampleMeaning meaning = CurrentMeaning();
    bool redraw = false;
    if (result == panorama::TickResult::Swept) {
        redraw = tools_.Feed(frame, meaning, scale);
        if (redraw) {
            ShowHolds();
            ShowPeak();
        }
    } else if (tools_.Observe(meaning)) {
        ShowHolds();
    }
    Sky->TakeIn(tools_.shown(), redraw);
    ShowMarks();
    FeedAiming(result);
    if (Analysis) {
        recording::Meaning m{meaning, static_cast<std::int32_t>(form_.LeftAxis->minimum()),
                             static_cast<std::int32_t>(form_.LeftAxis->maximum())};
        const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
        Analysis->TakeIn(result == panorama::TickResult::Swept ? &frame : nullptr, m, ActionPeak->isChecked(), now);
        ShowFound(now);
    }
    return redraw;
}

void PanoramaTools::ShowAnalysis() {
    if (!Analysis) {
        Analysis = std::make_unique<AnalysisWindow>([this](int lo) {
            return lo >= 0 && lo < form_.RadioGroupFL0->count() ? form_.RadioGroupFL0->button(lo)->text() : QString();
        });
        Analysis->resize(760, 720);
        Analysis->WatchChart(form_.Chart1);
        Found = new FoundTable(Analysis.get());
        Analysis->FoundSlot->addWidget(Found);
        // Switching finding or naming shows at once what it changes.
        for (QAction* a : {Sky->ActionFind, Sky->ActionName})
            connect(a, &QAction::triggered, this, [this] { ShowFound(QDateTime::currentMSecsSinceEpoch(), true); });
    }
    Analysis->show();
    ShowFound(QDateTime::currentMSecsSinceEpoch(), true);
    Analysis->raise();
    Analysis->activateWindow();
}

// The tone follows the peak marker's sample while the marker is on, the
// strongest transponder found while finding is on, else the highest visible
// sample; its pitch spans the level axis shown.
void PanoramaTools::FeedAiming(panorama::TickResult result) {
    const panorama::TraceTools::Shown& s = tools_.shown();
    AimingSound::Tick tick;
    tick.swept = result == panorama::TickResult::Swept;
    tick.frozen = tools_.Frozen();
    tick.shown = &s;
    // The levels it may follow are looked for only while the tone is on.
    if (ActionAimingSound->isChecked()) {
        if (ActionPeak->isChecked() && s.valid)
            tick.marker = panorama::FindPeak(s.live, s.meaning.axisMin, s.meaning.shift, s.meaning.step).level;
        tick.strongestFound = StrongestFoundLevel();
    }
    tick.axisMin = form_.LeftAxis->minimum();
    tick.axisMax = form_.LeftAxis->maximum();
    Aiming->Take(tick);
}

// Holds are drawn where the sweep they belong to put its points.
void PanoramaTools::ShowHolds() {
    const panorama::TraceTools::Shown& s = tools_.shown();
    auto show = [this, &s](toolkit::ChartSeries* series, const std::optional<panorama::Levels>& levels) {
        if (!levels) {
            series->clear();
            return;
        }
        points_.resize(panorama::kSamples);
        for (int i = 0; i < panorama::kSamples; ++i)
            points_[i] = QPointF(panorama::SampleX(s.meaning.axisMin, i, s.meaning.step), (*levels)[i]);
        series->replace(points_);
    };
    show(MaxSeries, s.max);
    show(MinSeries, s.min);
}

void PanoramaTools::ShowPeak() {
    const panorama::TraceTools::Shown& s = tools_.shown();
    if (!ActionPeak->isChecked() || !s.valid) {
        form_.Chart1->setMarker(std::nullopt, kPeakColour);
        toolkit::announceMarker(form_.Chart1);
        return;
    }
    const panorama::Peak p = panorama::FindPeak(s.live, s.meaning.axisMin, s.meaning.shift, s.meaning.step);
    toolkit::ChartMarker marker;
    marker.value = QPointF(panorama::SampleX(s.meaning.axisMin, p.index, s.meaning.step), p.level);
    marker.label = U(panorama::PeakText(p, s.unitLabel));
    form_.Chart1->setMarker(marker, kPeakColour);
    toolkit::announceMarker(form_.Chart1);
}

// Worked out again only when the table, the axis or the polarisation changed.
void PanoramaTools::ShowMarks(bool force) {
    if (!ActionMarks->isChecked()) {
        form_.Chart1->setMarks({}, kMarksColour);
        return;
    }
    const double min = form_.BottomAxis->minimum(), max = form_.BottomAxis->maximum();
    // The polarisation switch as it stands; with nothing selected, the one
    // the sweep keeps asking for.
    const int pol = form_.RadioGroupPol->itemIndex();
    const bool horizontal = pol == 0 || (pol != 1 && (form_.PanoFlags & panorama::kPolarisationBit) != 0);
    if (!force && marksRevision_ == gridRevision_ && min == marksMin_ && max == marksMax_ &&
        horizontal == marksHorizontal_)
        return;
    marksRevision_ = gridRevision_;
    marksMin_ = min;
    marksMax_ = max;
    marksHorizontal_ = horizontal;
    QList<toolkit::ChartMark> marks;
    for (const panorama::TransponderMark& m : panorama::TransponderMarks(form_.GridRows(), min, max, horizontal))
        marks.append({m.frequency, U(m.name)});
    form_.Chart1->setMarks(marks, kMarksColour);
}

// ---- Saving ----

void PanoramaTools::SaveFile(const QString& file, const QByteArray& bytes) {
    // A folder of that name is no file to replace: the write below refuses it.
    const QFileInfo info(file);
    if (info.exists() && !info.isDir() &&
        !toolkit::dialogs().question(QString::fromUtf8(kAskReplace), QString::fromUtf8(settings::kAttention)))
        return;
    // The logic takes file names as UTF-8 on every system.
    if (!common::WriteWholeFile(file.toStdString(), bytes.constData(), static_cast<std::size_t>(bytes.size())))
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
}

void PanoramaTools::SaveSnapshot() {
    // The chart as it is shown now, before the dialog opens over it.
    const QImage picture = form_.Chart1->grab().toImage();
    toolkit::FileDialogOptions options;
    options.title = QStringLiteral("Сохранить снимок");
    options.filter = QStringLiteral("Снимок PNG (*.png)|*.png");
    options.defaultSuffix = QStringLiteral("png");
    options.defaultName = U(panorama::DefaultFileName("Спектр", Now(), "png"));
    const QString file = toolkit::dialogs().saveFile(options);
    if (file.isEmpty()) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        toolkit::dialogs().message(QString::fromUtf8(settings::kMsgFileWriteError));
        return;
    }
    SaveFile(file, bytes);
}

void PanoramaTools::SaveTrace() {
    if (!tools_.shown().valid) {
        toolkit::dialogs().message(QString::fromUtf8(kMsgNoTrace));
        return;
    }
    // The trace as shown now, whatever the ticks bring while the dialog is open.
    const panorama::TraceTools::Shown shown = tools_.shown();
    const panorama::DateTime when = Now();
    panorama::TraceHeader header;
    header.when = when;
    if (shown.meaning.loIndex >= 0 && shown.meaning.loIndex < form_.RadioGroupFL0->count())
        header.loCaption = form_.RadioGroupFL0->button(shown.meaning.loIndex)->text().toStdString();
    toolkit::FileDialogOptions options;
    options.title = QStringLiteral("Сохранить трассу");
    options.filter = QStringLiteral("Таблица CSV (*.csv)|*.csv");
    options.defaultSuffix = QStringLiteral("csv");
    options.defaultName = U(panorama::DefaultFileName("Спектр", when, "csv"));
    const QString file = toolkit::dialogs().saveFile(options);
    if (file.isEmpty()) return;
    const std::string text = panorama::TraceCsv(shown, header);
    SaveFile(file, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}
