// The panorama's features and what they share: the live pipeline, the
// chart's menu built from their registrations, and the order in which they
// take each tick's record. The one list of features is in Features.cpp.
#pragma once

#include "app/Feature.h"
#include "live/Pipeline.h"

#include <QList>

#include <functional>
#include <memory>
#include <vector>

class QMenu;

class FeatureSet : public QObject, public FeatureHost {
    Q_OBJECT
public:
    FeatureSet(QWidget& form, toolkit::Chart& chart, const live::Window& window);
    ~FeatureSet() override;

    // One tick: the pipeline works the record out, then every feature
    // takes it, in the order of the list.
    const live::Sweep& Take(const live::TickIn& in);

    // The chart's context menu.
    QMenu* Menu = nullptr;
    // Every item registered, in menu order: the one table of the keys.
    const QList<QAction*>& Items() const { return items_; }
    // An item by its object name (null when there is none).
    QAction* Item(const QString& name) const;
    // A feature by its type (null when there is none).
    template <class T>
    T* Find() const {
        for (const auto& f : features_)
            if (auto* t = dynamic_cast<T*>(f.get())) return t;
        return nullptr;
    }
    // A steady clock in seconds for the pipeline's namings (tests put their own here).
    std::function<double()> Clock;

    // FeatureHost.
    QAction* AddItem(const MenuItem& item) override;
    toolkit::Chart& Chart() override { return chart_; }
    live::Pipeline& Pipeline() override { return pipeline_; }
    const live::Window& Window() const override { return window_; }
    QWidget& Form() override { return form_; }
    void Refresh() override;
    void ResetAll() override;
    QStringList ReportLines() const override;
    void AddPanel(QWidget* panel) override { panels_.append(panel); }
    QList<QWidget*> Panels() const override { return panels_; }

private:
    template <class T, class... Args>
    T& Add(Args&&... args);
    void BuildMenu();

    QWidget& form_;
    toolkit::Chart& chart_;
    const live::Window& window_;
    live::Pipeline pipeline_;
    std::vector<std::unique_ptr<Feature>> features_;
    std::vector<std::pair<MenuItem, QAction*>> registered_;
    QList<QAction*> items_;
    QList<QWidget*> panels_;
};
