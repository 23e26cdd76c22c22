#include "app/modules/Guide.h"

#include "app/modules/GuideWindow.h"
#include "common/Convert.h"
#include "live/Pipeline.h"
#include "pointing/Magnetic.h"
#include "pointing/Sun.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const QColor kGhostColour(120, 170, 255, 48);  // faint blue: apart from the orange brackets and green marks
const QColor kGhostEdgeColour(120, 170, 255, 160);

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

// A coordinate as typed: a decimal comma or point; none when it is no number.
std::optional<double> Degrees(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    t.replace(QChar(0x2212), QLatin1Char('-'));
    return common::ParseFloatComma(t.toStdString());
}

// One decimal, with a comma.
QString OneDecimal(double v) { return QString::number(v, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')); }

QString LevelText(float level, const std::string& unit) { return OneDecimal(level) + QLatin1Char(' ') + U(unit); }

}  // namespace

// The target's transponders on the chart: faint bands over their widths,
// beneath the brackets of the transponders found.
class GuideFeature::Ghost : public toolkit::ChartLayer {
public:
    explicit Ghost(toolkit::Chart& chart) : chart_(chart) { chart.addLayer(this); }
    ~Ghost() override { chart_.removeLayer(this); }
    void Show(std::vector<aiming::GhostBand> bands) {
        const bool same = bands.size() == bands_.size() &&
                          std::equal(bands.begin(), bands.end(), bands_.begin(), [](const auto& a, const auto& b) {
                              return a.low == b.low && a.high == b.high;
                          });
        if (same) return;
        bands_ = std::move(bands);
        chart_.updateTrace();
    }
    const std::vector<aiming::GhostBand>& Bands() const { return bands_; }
    // Bands that overlap (a dense plan) are filled once, as one faint area,
    // and each band's edges drawn a little stronger, so that neighbours
    // stay apart.
    void paintLayer(QPainter& p, const toolkit::Chart& chart) override {
        if (bands_.empty()) return;
        const QRect plot = chart.plotRect();
        QPainterPath area;
        area.setFillRule(Qt::WindingFill);
        QPen edge(kGhostEdgeColour, 1);
        for (const aiming::GhostBand& b : bands_) {
            const double x1 = chart.mapToPosition({b.low, 0}).x(), x2 = chart.mapToPosition({b.high, 0}).x();
            area.addRect(QRectF(QPointF(x1, plot.top()), QPointF(std::max(x2, x1 + 1), plot.bottom() + 1)));
        }
        p.fillPath(area, kGhostColour);
        p.setPen(edge);
        for (const aiming::GhostBand& b : bands_)
            for (double f : {b.low, b.high}) {
                const double x = std::round(chart.mapToPosition({f, 0}).x()) + 0.5;
                p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.top() + 12));
            }
    }

private:
    toolkit::Chart& chart_;
    std::vector<aiming::GhostBand> bands_;
};

GuideFeature::GuideFeature() = default;

GuideFeature::~GuideFeature() {
    if (Window) Window->removeEventFilter(this);
}

void GuideFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionGuide = host.AddItem({6, 4, QStringLiteral("Навести на спутник…"), Qt::CTRL | Qt::Key_F8, false,
                                "ActionGuide", {}, QStringLiteral("Наведение: куда направить антенну и какой это спутник")});
    connect(ActionGuide, &QAction::triggered, this, [this] { toolkit::guarded([this] { ShowWindow(); }); });
}

void GuideFeature::ShowWindow() {
    if (!Window) {
        Window = std::make_unique<GuideWindow>();
        Window->resize(460, 560);
        Window->installEventFilter(this);
        connect(Window.get(), &GuideWindow::targetChosen, this, [this] { toolkit::guarded([this] { Chosen(); }); });
        connect(Window.get(), &GuideWindow::siteEdited, this, [this] {
            toolkit::guarded([this] {
                site_ = ReadSite();
                Update(host_->Pipeline().Last(), true);
            });
        });
        connect(Window.get(), &GuideWindow::offsetChanged, this,
                [this] { toolkit::guarded([this] { Update(host_->Pipeline().Last(), true); }); });
        connect(Window->ButtonMark, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Mark(); }); });
        host_->Pipeline().EnsurePlans(QCoreApplication::applicationDirPath().toStdString());
        // The site as the window knows it; the design values are no site.
        if (const std::optional<pointing::Site> site = host_->Window().KnownSite()) {
            Window->EditLatitude->setText(OneDecimal(site->latitude));
            Window->EditLongitude->setText(OneDecimal(aiming::East(site->longitude)));
            site_ = site;
        }
        // Beside the main window, not over its chart: right of it where the
        // screen has room, else left of it.
        const QRect main = host_->Form().frameGeometry();
        if (const QScreen* screen = host_->Form().screen()) {
            const QRect area = screen->availableGeometry();
            const int x = main.right() + 8 + Window->width() <= area.right() ? main.right() + 8
                                                                              : std::max(area.left(), main.left() - 8 - Window->width());
            Window->move(x, std::max(area.top(), main.top()));
        }
    }
    if (!Window->isVisible()) FillTargets();
    Window->show();
    Window->raise();
    Window->activateWindow();
}

bool GuideFeature::eventFilter(QObject* watched, QEvent* event) {
    if (Window && watched == Window.get()) {
        if (event->type() == QEvent::Show) toolkit::guarded([this] { Opened(true); });
        if (event->type() == QEvent::Hide) toolkit::guarded([this] { Opened(false); });
    }
    return Feature::eventFilter(watched, event);
}

// Finding and naming run while the window is open, whatever the menu's
// items say; closed, the chart and the pipeline are as without it.
void GuideFeature::Opened(bool open) {
    live::Pipeline& pipeline = host_->Pipeline();
    pipeline.SetFinding(open, live::Pipeline::kGuide);
    pipeline.SetNaming(open, live::Pipeline::kGuide);
    if (open) {
        if (!ghost_) ghost_ = std::make_unique<Ghost>(host_->Chart());
        Chosen();
    } else {
        pipeline.SetTarget(std::nullopt);
        ghost_.reset();
        host_->Refresh();
    }
}

// The table's entries with a position, then the positions of the plans in
// use, made again each time the window opens (the table or the plans may
// have changed). The choice is kept; at first the table's first entry is
// chosen, with an empty table none until the installer chooses.
void GuideFeature::FillTargets() {
    const QString was = Window->ComboTarget->currentText();
    const std::vector<pointing::EntryLine> entries = pointing::StoredEntries(host_->Window().GridRows(), std::nullopt);
    targets_ = aiming::Targets(entries, host_->Pipeline().Plans());
    const QSignalBlocker block(Window->ComboTarget);
    Window->ComboTarget->clear();
    for (const aiming::Target& t : targets_) Window->ComboTarget->addItem(U(t.label));
    const bool fromTable = std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.position; });
    const int at = was.isEmpty() ? -1 : Window->ComboTarget->findText(was);
    Window->ComboTarget->setCurrentIndex(at >= 0 ? at : fromTable ? 0 : -1);
}

void GuideFeature::Chosen() {
    const int i = Window ? Window->ComboTarget->currentIndex() : -1;
    const bool open = Window && Window->isVisible();
    host_->Pipeline().SetTarget(open && i >= 0 && i < static_cast<int>(targets_.size())
                                    ? std::optional<aiming::Target>(targets_[static_cast<std::size_t>(i)])
                                    : std::nullopt);
    best_.Reset();
    host_->Refresh();  // the window takes the record again, brought up to date
}

std::optional<pointing::Site> GuideFeature::ReadSite() const {
    const std::optional<double> lat = Degrees(Window->EditLatitude->text());
    const std::optional<double> lon = Degrees(Window->EditLongitude->text());
    if (!lat || !lon || std::fabs(*lat) > 90 || *lon < -180 || *lon > 360) return std::nullopt;
    return pointing::Site{*lat, *lon < 0 ? *lon + 360 : *lon};
}

void GuideFeature::Take(const live::Sweep& sweep) {
    if (Window && Window->isVisible()) Update(sweep, !sweep.tick);
}

void GuideFeature::Update(const live::Sweep& sweep, bool force) {
    const aiming::Target* target = sweep.target;
    const std::optional<pointing::Site>& site = site_;
    // The bands change only with the target and what the samples stand for.
    if (ghost_ && (force || !(sweep.in.meaning == ghostMeaning_))) {
        ghostMeaning_ = sweep.in.meaning;
        const bool show = target && target->plan && sweep.shown;
        ghost_->Show(show ? aiming::GhostBands(*target->plan, sweep.in.meaning, host_->Window().AxisMax())
                          : std::vector<aiming::GhostBand>{});
    }
    if (!target || !site) {
        const QString note = !target ? QStringLiteral("Выберите цель: спутник из таблицы прибора или из списка")
                                     : QStringLiteral("Укажите координаты установки: широта и долгота "
                                                      "(для этого наведения; настройки прибора не меняются)");
        // Shown once; the figures are worked out again as soon as both are there.
        if (!force && note == noteShown_) return;
        noteShown_ = note;
        figuresMs_ = 0;
        pointing_.reset();
        Window->ShowFigures(std::nullopt, note);
        return;
    }
    noteShown_.clear();
    // The figures change with the site, the target and the offset (each
    // change comes forced) and the day; the sun's azimuth now, on the rose,
    // every few seconds, which also catches a new day. A target below the
    // horizon is looked at again as rarely.
    const std::int64_t nowMs = sweep.tick ? sweep.in.nowMs : QDateTime::currentMSecsSinceEpoch();
    if (force || figuresMs_ == 0 || nowMs - figuresMs_ > 10000) {
        figuresMs_ = nowMs;
        const pointing::Pointing p = pointing::PointAt(*site, aiming::East(target->longitude));
        if (!p.AboveHorizon()) {
            pointing_.reset();
            Window->ShowFigures(std::nullopt, QStringLiteral("Спутник ниже горизонта"));
            return;
        }
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs);
        pointing_ = p;
        const QDate d = now.date();
        const pointing::Declination decl =
            pointing::MagneticDeclination(site->latitude, site->longitude, pointing::DecimalYear(d.year(), d.month(), d.day()));
        const aiming::Figures f = aiming::AimFigures(p, decl.degrees, Window->SpinOffset->value());
        GuideWindow::Figures shown;
        shown.azimuth = U(f.azimuth);
        shown.magnetic = U(f.magnetic) + (decl.extrapolated ? QStringLiteral(" (склонение экстраполировано: модель до 2030 года)")
                                                             : QString());
        shown.elevation = U(f.elevation);
        shown.scale = U(f.scale);
        shown.skew = U(f.skew);
        const std::optional<std::int64_t> sun = pointing::SunAtAzimuth(site->latitude, site->longitude, d.year(), d.month(),
                                                                       d.day(), now.offsetFromUtc() / 60, p.azimuth);
        shown.sun = QStringLiteral("Солнце на азимуте спутника: ") +
                    (sun ? QDateTime::fromSecsSinceEpoch(*sun).toString(QStringLiteral("HH:mm"))
                         : QStringLiteral("сегодня не бывает (солнце не доходит до этого азимута над горизонтом)"));
        Window->ShowFigures(shown, QString());
        const pointing::SunPosition sunNow = pointing::SunAt(site->latitude, site->longitude, nowMs / 1000);
        Window->Compass->Show(p.azimuth, aiming::MagneticAzimuth(p.azimuth, decl.degrees),
                              sunNow.elevation > 0 ? std::optional<double>(sunNow.azimuth) : std::nullopt);
    }
    if (!pointing_) return;  // below the horizon
    // The verdict changes only with what was found or named.
    if (force || sweep.fresh || sweep.named) {
        const aiming::Judgement j = aiming::Judge(*target, *site, sweep.naming, sweep.finding);
        onTarget_ = j.verdict == aiming::Verdict::OnTarget;
        if (force || j.text != verdictText_) {
            verdictText_ = j.text;
            Window->ShowVerdict(U(j.text));
        }
    }
    if (sweep.tick) best_.Take(onTarget_, sweep.targetLevel, sweep.in.nowMs);
    // Written out only when the best changed.
    if (!force && best_.Level() == bestShown_.first && best_.AtMs() == bestShown_.second) return;
    bestShown_ = {best_.Level(), best_.AtMs()};
    const std::string& unit = sweep.shown ? sweep.shown->unitLabel : std::string();
    Window->ShowBest(best_.Level() ? QStringLiteral("Лучший уровень на цели: %1 в %2")
                                         .arg(LevelText(*best_.Level(), unit),
                                              QDateTime::fromMSecsSinceEpoch(best_.AtMs()).toString(QStringLiteral("HH:mm:ss")))
                                   : QStringLiteral("Лучший уровень на цели: —"));
}

void GuideFeature::Mark() {
    const live::Sweep& sweep = host_->Pipeline().Last();
    if (!sweep.target || !pointing_) return;
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
                   U(sweep.target->label) + QStringLiteral(": ") + U(verdictText_);
    if (sweep.targetLevel && sweep.shown) line += QStringLiteral("; уровень ") + LevelText(*sweep.targetLevel, sweep.shown->unitLabel);
    if (const std::optional<pointing::Site>& site = site_)
        line += QStringLiteral("; место ") + U(pointing::AngleText(std::fabs(site->latitude))) +
                (site->latitude < 0 ? QStringLiteral(" ю. ш., ") : QStringLiteral(" с. ш., ")) +
                U(pointing::AngleText(std::fabs(aiming::East(site->longitude)))) +
                (aiming::East(site->longitude) < 0 ? QStringLiteral(" з. д.") : QStringLiteral(" в. д."));
    line += QStringLiteral("; азимут ") + U(pointing::AngleText(pointing_->azimuth)) + QStringLiteral(", угол места ") +
            U(pointing::AngleText(pointing_->elevation)) + QStringLiteral(", поворот LNB ") +
            U(pointing::AngleText(pointing_->skew, true));
    moments_ << line;
    Window->ShowMoments(moments_);
}

QStringList GuideFeature::ReportLines() const {
    if (moments_.isEmpty()) return {};
    return QStringList{QStringLiteral("Наведение")} + moments_;
}
