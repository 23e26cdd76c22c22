#include "app/Features.h"

#include "app/modules/Analysis.h"
#include "app/modules/Found.h"
#include "app/modules/Guide.h"
#include "app/modules/Holds.h"
#include "app/modules/Marks.h"
#include "app/modules/Peak.h"
#include "app/modules/Report.h"
#include "app/modules/Sky.h"
#include "app/modules/Snapshot.h"
#include "app/modules/Tone.h"
#include "app/modules/TraceCsv.h"
#include "toolkit/Chart.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <algorithm>
#include <chrono>

FeatureSet::FeatureSet(QWidget& form, toolkit::Chart& chart, const live::Window& window)
    : QObject(&form), form_(form), chart_(chart), window_(window), pipeline_(window) {
    Clock = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
    Menu = new QMenu(&chart);
    // A disabled item (e.g. no sound output) tells why in its tooltip.
    Menu->setToolTipsVisible(true);

    // The features, in the order they take each tick's record. The menu's
    // order is the items' own (section and rank), whatever this order.
    Add<HoldsFeature>();
    Add<PeakFeature>();
    Add<MarksFeature>();
    Add<ToneFeature>();
    Add<SnapshotFeature>();
    Add<TraceCsvFeature>();
    Add<ReportFeature>();
    Add<SkyFeature>();
    Add<FoundFeature>();
    Add<AnalysisFeature>();
    Add<GuideFeature>();
    BuildMenu();

    chart.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&chart, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Menu->popup(chart_.mapToGlobal(at)); });
}

FeatureSet::~FeatureSet() = default;

template <class T, class... Args>
T& FeatureSet::Add(Args&&... args) {
    auto feature = std::make_unique<T>(std::forward<Args>(args)...);
    T& f = *feature;
    features_.push_back(std::move(feature));
    f.Attach(*this);
    return f;
}

const live::Sweep& FeatureSet::Take(const live::TickIn& tickIn) {
    live::TickIn in = tickIn;
    in.seconds = Clock();
    const live::Sweep& sweep = pipeline_.Take(in);
    for (const auto& f : features_) f->Take(sweep);
    return sweep;
}

void FeatureSet::Refresh() {
    const live::Sweep& sweep = pipeline_.Current();
    const toolkit::Chart::UpdateBatch batch(chart_);
    for (const auto& f : features_) f->Take(sweep);
}

void FeatureSet::ResetAll() {
    pipeline_.Traces().Reset();
    for (const auto& f : features_) f->Reset();
    Refresh();
}

QStringList FeatureSet::ReportLines() const {
    QStringList lines;
    for (const auto& f : features_) lines += f->ReportLines();
    return lines;
}

QAction* FeatureSet::AddItem(const MenuItem& item) {
    auto* a = new QAction(item.text, &form_);
    a->setShortcut(item.key);
    a->setCheckable(item.checkable);
    a->setObjectName(item.name);
    if (!item.toolTip.isEmpty()) a->setToolTip(item.toolTip);
    // On the window as well, so that the key works with the menu closed.
    form_.addAction(a);
    registered_.emplace_back(item, a);
    if (!items_.isEmpty()) BuildMenu();  // registered after the start
    return a;
}

QAction* FeatureSet::Item(const QString& name) const {
    for (QAction* a : items_)
        if (a->objectName() == name) return a;
    return nullptr;
}

void FeatureSet::BuildMenu() {
    std::stable_sort(registered_.begin(), registered_.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first.section, a.first.rank) < std::pair(b.first.section, b.first.rank);
    });
    Menu->clear();
    qDeleteAll(Menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly));  // the submenus made last time
    items_.clear();
    QMenu* sub = nullptr;
    QString subText;
    int section = registered_.empty() ? 0 : registered_.front().first.section;
    for (const auto& [item, action] : registered_) {
        if (item.section != section) {
            Menu->addSeparator();
            section = item.section;
        }
        if (item.submenu.isEmpty()) {
            Menu->addAction(action);
        } else {
            if (!sub || subText != item.submenu) {
                sub = Menu->addMenu(item.submenu);
                subText = item.submenu;
            }
            sub->addAction(action);
        }
        items_.append(action);
    }
}
