#include "app/modules/Sky.h"

#include "app/modules/SatellitesXml.h"
#include "common/Files.h"
#include "live/Pipeline.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace {

const QColor kBracketColour(255, 160, 32);  // orange: apart from the green table marks and the white peak
const QColor kLabelBackground(0, 0, 0, 170);
constexpr std::size_t kMaxPlanFile = 64u << 20;

QString U(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

// The brackets over the found transponders, painted with the trace.
class SkyFeature::Brackets : public toolkit::ChartLayer {
public:
    explicit Brackets(toolkit::Chart& chart) : chart_(chart) { chart.addLayer(this); }
    ~Brackets() override { chart_.removeLayer(this); }

    // Repainted only when a bracket moved by a pixel's worth, or the
    // samples came to mean something else.
    void Show(const sky::Finding* finding, const panorama::SampleMeaning* meaning) {
        std::vector<int> drawn;
        if (finding && meaning) {
            drawn.reserve(finding->found.size() * 3);
            for (const sky::Found& f : finding->found)
                for (double v : {f.lowIf, f.highIf, static_cast<double>(f.level)})
                    drawn.push_back(static_cast<int>(std::lround(v)));
        }
        const bool changed = (finding != nullptr) != (finding_ != nullptr) ||
                             (meaning && meaning_ && !(*meaning == *meaning_)) || drawn != drawn_;
        finding_ = finding;
        if (meaning) meaning_ = *meaning;
        drawn_ = std::move(drawn);
        if (changed) chart_.updateTrace();
    }

    void paintLayer(QPainter& p, const toolkit::Chart& chart) override {
        if (!finding_ || !meaning_) return;
        const panorama::SampleMeaning& m = *meaning_;
        QFont f = chart.font();
        f.setPixelSize(10);
        p.setFont(f);
        p.setPen(QPen(kBracketColour, 1));
        const QRect plot = chart.plotRect();
        for (const sky::Found& t : finding_->found) {
            // On the axis where the chart places the samples they came from.
            const QPointF a = chart.mapToPosition(QPointF(panorama::IfOnAxis(m, t.lowIf), t.level));
            const QPointF b = chart.mapToPosition(QPointF(panorama::IfOnAxis(m, t.highIf), t.level));
            const int y = std::max(plot.top() + 14, static_cast<int>(std::lround(a.y())) - 6);
            const int x1 = static_cast<int>(std::lround(a.x()));
            const int x2 = std::max(x1 + 2, static_cast<int>(std::lround(b.x())));
            p.drawLine(x1, y, x2, y);
            p.drawLine(x1, y, x1, y + 5);
            p.drawLine(x2, y, x2, y + 5);
            QRect box(x1 - 20, y - 13, x2 - x1 + 40, 12);
            // Kept inside the plot, for a transponder cut by its edge.
            if (box.left() < plot.left()) box.moveLeft(plot.left());
            if (box.right() > plot.right()) box.moveRight(plot.right());
            p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, QString::number(std::lround(t.centreRf)));
        }
    }

private:
    toolkit::Chart& chart_;
    const sky::Finding* finding_ = nullptr;
    std::optional<panorama::SampleMeaning> meaning_;
    std::vector<int> drawn_;
};

// The satellite's label: a plain label for its tooltip and for assistive
// technology, which paints nothing itself; the chart paints its look in the
// trace's pass, so that a report or snapshot shows it as the screen does.
class SkyFeature::Label : public QLabel, public toolkit::ChartLayer {
public:
    explicit Label(toolkit::Chart& chart) : QLabel(&chart), chart_(chart) {
        QFont f = font();
        f.setBold(true);
        setFont(f);
        setContentsMargins(3, 1, 3, 1);
        setAttribute(Qt::WA_NoSystemBackground);
        setAccessibleDescription(QStringLiteral("Спутник"));
        move(chart.plotRect().left() + 6, chart.plotRect().top() + 4);
        chart.addLayer(this);
    }
    // The feature takes the layer off the chart before it deletes the
    // label; a label deleted with the chart (its parent) finds the chart's
    // layers gone already.

    void Show(const QString& text) {
        if (text == this->text() && isVisible()) return;
        setText(text);
        adjustSize();
        show();
        chart_.updateTrace();
    }
    void Hide() {
        if (isHidden()) return;
        hide();
        chart_.updateTrace();
    }

    void paintLayer(QPainter& p, const toolkit::Chart&) override {
        if (isHidden()) return;
        const QRect r = geometry();
        p.fillRect(r, kLabelBackground);
        p.setFont(font());
        p.setPen(Qt::white);
        p.drawText(r.marginsRemoved(contentsMargins()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

protected:
    void paintEvent(QPaintEvent*) override {}

private:
    toolkit::Chart& chart_;
};

SkyFeature::SkyFeature() = default;
SkyFeature::~SkyFeature() {
    if (!label_) return;
    host_->Chart().removeLayer(label_);
    delete label_;
}

void SkyFeature::Attach(FeatureHost& host) {
    host_ = &host;
    ActionFind = host.AddItem({6, 1, QStringLiteral("Найти транспондеры"), Qt::SHIFT | Qt::Key_F3, true, "ActionFind"});
    ActionName = host.AddItem({6, 2, QStringLiteral("Определить спутник"), Qt::SHIFT | Qt::Key_F5, true, "ActionName"});
    ActionLoad = host.AddItem(
        {6, 3, QStringLiteral("Загрузить список спутников…"), Qt::SHIFT | Qt::Key_F6, false, "ActionLoad"});

    connect(ActionFind, &QAction::toggled, this, [this](bool on) {
        toolkit::guarded([&] {
            host_->Pipeline().SetFinding(on);
            Switched();
        });
    });
    connect(ActionName, &QAction::toggled, this, [this](bool on) {
        toolkit::guarded([&] {
            if (on) EnsurePlans();
            host_->Pipeline().SetNaming(on);
            Switched();
        });
    });
    connect(ActionLoad, &QAction::triggered, this, [this] {
        toolkit::guarded([&] {
            toolkit::FileDialogOptions options;
            options.title = QStringLiteral("Загрузить список спутников");
            options.filter = QStringLiteral("Список спутников (*.xml)|*.xml");
            options.mustExist = true;
            const QString file = toolkit::dialogs().openFile(options);
            if (!file.isEmpty()) LoadSatellites(file);
        });
    });
}

void SkyFeature::EnsurePlans() {
    host_->Pipeline().EnsurePlans(QCoreApplication::applicationDirPath().toStdString());
}

bool SkyFeature::LoadSatellites(const QString& file) {
    const auto fail = [](const std::string& why) {
        toolkit::dialogs().message(U("Список спутников не загружен: " + why));
        return false;
    };
    const std::optional<common::ReadBytes> bytes =
        common::ReadWholeFile(common::PathFromUtf8(file.toStdString()), kMaxPlanFile);
    if (!bytes) return fail("файл не открывается");
    if (bytes->tooBig) return fail("файл слишком велик");
    if (bytes->failed) return fail("ошибка чтения файла");
    sky::SatelliteList read = ReadSatellitesXml(bytes->bytes);
    if (!read) return fail(read.error);
    host_->Pipeline().SetPlans(std::move(read.plans));
    host_->Refresh();
    toolkit::dialogs().message(U(sky::LoadedText(read)));
    return true;
}

// The layers come into being when first needed, so that until then the
// chart and what assistive technology sees of it are as without them.
void SkyFeature::Switched() {
    if (ActionFind->isChecked() && !brackets_) brackets_ = std::make_unique<Brackets>(host_->Chart());
    if (ActionName->isChecked() && !label_) {
        label_ = new Label(host_->Chart());
        LabelSat = label_;
    }
    host_->Refresh();
}

void SkyFeature::Take(const live::Sweep& sweep) {
    // A tick that neither brought a fresh trace nor named changes nothing
    // here (a switch comes as a record that is no tick).
    if (sweep.tick && !sweep.fresh && !sweep.named) return;
    if (brackets_) {
        const bool on = ActionFind->isChecked() && sweep.finding;
        brackets_->Show(on ? sweep.finding : nullptr, on ? sweep.findingMeaning : nullptr);
    }
    ShowNaming(sweep);
}

void SkyFeature::ShowNaming(const live::Sweep& sweep) {
    if (!label_) return;
    // The naming may run for another feature with the menu's item off.
    if (!ActionName->isChecked() || !sweep.naming) {
        label_->Hide();
        return;
    }
    const sky::NamingResult& shown = *sweep.naming;
    label_->Show(U(shown.text.empty() ? std::string(sky::kNotNamed) : shown.text));
    const std::string& note = host_->Pipeline().PlansNote();
    const QString tip = U(note.empty() ? shown.tooltip : note);
    if (label_->toolTip() != tip) label_->setToolTip(tip);
}

QStringList SkyFeature::ReportLines() const {
    QStringList lines;
    const live::Sweep& sweep = host_->Pipeline().Last();
    if (ActionName->isChecked() && label_) lines << QStringLiteral("Спутник: ") + label_->text();
    if (ActionFind->isChecked()) {
        QStringList centres;
        if (sweep.finding)
            for (const sky::Found& f : sweep.finding->found)
                if (!f.partial) centres << QString::number(std::lround(f.centreRf));
        lines << QStringLiteral("Найдено транспондеров: %1").arg(centres.size());
        // Ten centres a line, so that a line stays within the page.
        for (qsizetype k = 0; k < centres.size(); k += 10)
            lines << QStringLiteral("  ") + centres.mid(k, 10).join(QStringLiteral(", ")) + QStringLiteral(" МГц");
    }
    return lines;
}
