#include "app/Unit1Sky.h"

#include "app/SatellitesXml.h"
#include "app/Unit1.h"
#include "app/Unit1Tools.h"
#include "common/Files.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

const QColor kBracketColour(255, 160, 32);  // orange: apart from the green table marks and the white peak
// Naming runs on every few fresh sweeps, not on each one: some five
// namings make the run a name is shown after.
constexpr int kNameEvery = 8;
constexpr long kMaxPlanFile = 64L << 20;

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

// The brackets over the found transponders: a widget of its own laid over
// the plot, transparent for the mouse, shown only while finding is on, so
// that the chart itself is drawn exactly as without it.
class PanoramaSky::Brackets : public QWidget {
public:
    Brackets(toolkit::Chart* chart, const PanoramaSky& sky) : QWidget(chart), chart_(chart), sky_(sky) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(chart->plotRect());
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const panorama::SampleMeaning& m = sky_.FindingMeaning();
        QPainter p(this);
        QFont f = font();
        f.setPixelSize(10);
        p.setFont(f);
        p.setPen(QPen(kBracketColour, 1));
        const QPoint origin = geometry().topLeft();
        for (const sky::Found& t : sky_.Finding().found) {
            // On the axis where the chart places the samples they came from.
            auto x = [&](double ifreq) { return m.axisMin + (ifreq - m.shift); };
            const QPointF a = chart_->mapToPosition(QPointF(x(t.lowIf), t.level)) - origin;
            const QPointF b = chart_->mapToPosition(QPointF(x(t.highIf), t.level)) - origin;
            const int y = std::max(14, static_cast<int>(std::lround(a.y())) - 6);
            const int x1 = static_cast<int>(std::lround(a.x())), x2 = std::max(x1 + 2, static_cast<int>(std::lround(b.x())));
            p.drawLine(x1, y, x2, y);
            p.drawLine(x1, y, x1, y + 5);
            p.drawLine(x2, y, x2, y + 5);
            const QString text = QString::number(std::lround(t.centreRf));
            QRect box(x1 - 20, y - 13, x2 - x1 + 40, 12);
            // Kept inside the plot, for a transponder cut by its edge.
            if (box.left() < 0) box.moveLeft(0);
            if (box.right() >= width()) box.moveRight(width() - 1);
            p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, text);
        }
    }

private:
    toolkit::Chart* chart_;
    const PanoramaSky& sky_;
};

PanoramaSky::PanoramaSky(TForm1& form, QMenu& menu) : QObject(&form), form_(form) {
    Clock = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
    auto item = [this, &menu](const QString& text, const QKeySequence& key, bool checkable) {
        QAction* a = menu.addAction(text);
        a->setShortcut(key);
        a->setCheckable(checkable);
        form_.addAction(a);
        return a;
    };
    menu.addSeparator();
    ActionFind = item(QStringLiteral("Найти транспондеры"), Qt::SHIFT | Qt::Key_F3, true);
    ActionName = item(QStringLiteral("Определить спутник"), Qt::SHIFT | Qt::Key_F5, true);
    ActionLoad = item(QStringLiteral("Загрузить список спутников…"), Qt::SHIFT | Qt::Key_F6, false);

    auto on = [this](QAction* a, auto body) {
        connect(a, &QAction::triggered, this, [body](bool checked) { toolkit::guarded([&] { body(checked); }); });
    };
    on(ActionFind, [this](bool) { Switched(); });
    on(ActionName, [this](bool on) {
        if (on) EnsurePlans();
        hold_.Reset();  // a name is earned again by the namings from now on
        sinceNaming_ = kNameEvery;  // name at the next sweep
        Switched();
    });
    on(ActionLoad, [this](bool) {
        toolkit::FileDialogOptions options;
        options.title = QStringLiteral("Загрузить список спутников");
        options.filter = QStringLiteral("Список спутников (*.xml)|*.xml");
        options.mustExist = true;
        const QString file = toolkit::dialogs().openFile(options);
        if (!file.isEmpty()) LoadSatellites(file);
    });
}

PanoramaSky::~PanoramaSky() = default;

void PanoramaSky::EnsurePlans() {
    if (plansLoaded_) return;
    plansLoaded_ = true;
    const std::string folder = sky::ScanFolder(QCoreApplication::applicationDirPath().toStdString());
    sky::Catalogue c = sky::LoadScanFolder(folder);
    plans_ = std::move(c.satellites);
    plansNote_ = plans_.empty() ? "Нет списка спутников: " + folder : std::string();
}

bool PanoramaSky::LoadSatellites(const QString& file) {
    const auto fail = [](const std::string& why) {
        toolkit::dialogs().message(U("Список спутников не загружен: " + why));
        return false;
    };
    std::FILE* f = common::OpenForReading(common::PathFromUtf8(file.toStdString()));
    if (!f) return fail("файл не открывается");
    std::string text;
    char buf[16384];
    std::size_t n;
    bool tooBig = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
        if (static_cast<long>(text.size()) > kMaxPlanFile) {
            tooBig = true;
            break;
        }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (tooBig) return fail("файл слишком велик");
    if (readError) return fail("ошибка чтения файла");
    sky::SatelliteList read = ReadSatellitesXml(text);
    if (!read) return fail(read.error);
    plans_ = std::move(read.plans);
    plansLoaded_ = true;
    plansNote_.clear();
    sinceNaming_ = kNameEvery;
    // No name of the old plans goes on under the new ones: the run starts
    // again with the naming made from them now.
    hold_.Reset();
    if (ActionName->isChecked() && haveTrace_) {
        panorama::TraceTools::Shown shown;
        shown.meaning = meaning_;
        shown.live = levels_;
        Name(shown);
    } else {
        ShowNaming();
    }
    toolkit::dialogs().message(U(sky::LoadedText(read)));
    return true;
}

void PanoramaSky::Switched() {
    const bool any = ActionFind->isChecked() || ActionName->isChecked();
    if (!any) {
        finding_ = {};
        naming_ = {};
        haveTrace_ = false;
    } else if (form_.Tools && form_.Tools->State().shown().valid) {
        // What the trace already on the chart shows, at once.
        const panorama::TraceTools::Shown& shown = form_.Tools->State().shown();
        Find(shown);
        if (ActionName->isChecked()) Name(shown);
    }
    // The overlay and the label come into being when first needed, so that
    // until then the chart and what assistive technology sees of it are as
    // without them.
    if (ActionFind->isChecked() && !brackets_) brackets_ = new Brackets(form_.Chart1, *this);
    if (brackets_) {
        brackets_->setVisible(ActionFind->isChecked());
        brackets_->update();
    }
    if (ActionName->isChecked() && !LabelSat) {
        LabelSat = new QLabel(form_.Chart1);
        LabelSat->setStyleSheet(QStringLiteral(
            "QLabel { color: white; background: rgba(0, 0, 0, 170); font-weight: bold; padding: 1px 3px; }"));
        LabelSat->setAccessibleDescription(QStringLiteral("Спутник"));
        LabelSat->move(form_.Chart1->plotRect().left() + 6, form_.Chart1->plotRect().top() + 4);
    }
    ShowNaming();
}

void PanoramaSky::TakeIn(const panorama::TraceTools::Shown& shown, bool fresh) {
    if (!ActionFind->isChecked() && !ActionName->isChecked()) return;
    if (!fresh || !shown.valid) return;
    const bool changed = !(shown.meaning == meaning_);
    Find(shown);
    if (ActionFind->isChecked() && brackets_) {
        // Repainted only when a bracket moved by a pixel's worth: the plot
        // under the overlay is drawn again with it.
        std::vector<int> drawn;
        drawn.reserve(finding_.found.size() * 3);
        for (const sky::Found& f : finding_.found)
            for (double v : {f.lowIf, f.highIf, static_cast<double>(f.level)}) drawn.push_back(static_cast<int>(std::lround(v)));
        if (changed || drawn != drawn_) brackets_->update();
        drawn_ = std::move(drawn);
    }
    if (!ActionName->isChecked()) return;
    // A site given or moved is named with at the next sweep, so that a name
    // below its horizon goes at once.
    const bool moved = form_.SiteRevision() != siteRevision_;
    if (changed || moved || ++sinceNaming_ >= kNameEvery) {
        // Namings of samples that meant something else are no run to go on.
        if (changed) hold_.Reset();
        Name(shown);
    }
}

void PanoramaSky::Find(const panorama::TraceTools::Shown& shown) {
    meaning_ = shown.meaning;
    levels_ = shown.live;
    haveTrace_ = true;
    const panorama::Oscillator osc =
        panorama::OscillatorOfAxis(meaning_.loIndex, meaning_.axisMin, meaning_.shift);
    sky::FindTransponders(levels_, meaning_.shift, meaning_.step, osc, finding_);
}

void PanoramaSky::Name(const panorama::TraceTools::Shown& shown) {
    sinceNaming_ = 0;
    sky::SweepInput in;
    in.levels = &levels_;
    in.finding = &finding_;
    in.shift = shown.meaning.shift;
    in.step = shown.meaning.step;
    in.osc = panorama::OscillatorOfAxis(shown.meaning.loIndex, shown.meaning.axisMin, shown.meaning.shift);
    in.horizontal = (shown.meaning.flags & panorama::kPolarisationBit) != 0;
    siteRevision_ = form_.SiteRevision();
    in.site = form_.KnownSite();
    for (const pointing::EntryLine& e : pointing::StoredEntries(form_.GridRows(), std::nullopt))
        if (e.position) in.preferred.push_back(*e.position);
    naming_ = sky::NameSatellite(plans_, in);
    hold_.Take(naming_, Clock());
    ShowNaming();
}

void PanoramaSky::ShowNaming() {
    if (!LabelSat) return;
    if (!ActionName->isChecked()) {
        LabelSat->hide();
        return;
    }
    const sky::NamingResult& shown = hold_.Shown();
    const QString text = U(shown.text.empty() ? std::string(sky::kNotNamed) : shown.text);
    if (LabelSat->text() != text) {
        LabelSat->setText(text);
        LabelSat->adjustSize();
    }
    const QString tip = U(plansNote_.empty() ? shown.tooltip : plansNote_);
    if (LabelSat->toolTip() != tip) LabelSat->setToolTip(tip);
    LabelSat->show();
}

QStringList PanoramaSky::ReportLines() const {
    QStringList lines;
    if (ActionName->isChecked() && LabelSat) lines << QStringLiteral("Спутник: ") + LabelSat->text();
    if (ActionFind->isChecked()) {
        QStringList centres;
        for (const sky::Found& f : finding_.found)
            if (!f.partial) centres << QString::number(std::lround(f.centreRf));
        lines << QStringLiteral("Найдено транспондеров: %1").arg(centres.size());
        // Ten centres a line, so that a line stays within the page.
        for (qsizetype k = 0; k < centres.size(); k += 10)
            lines << QStringLiteral("  ") + centres.mid(k, 10).join(QStringLiteral(", ")) + QStringLiteral(" МГц");
    }
    return lines;
}
