// A feature of the panorama: a module that plugs into the live pipeline.
// It registers its menu items (with their keys) and its chart layers when
// attached, reads each tick's record, may give lines for the installation
// report and starts afresh on "Сбросить". It reaches the rest of the window
// only through its host: the chart, the pipeline, the window's reader and
// the form as the parent of its dialogs.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QWidget;

namespace live {
class Pipeline;
class Window;
struct Sweep;
}  // namespace live
namespace toolkit {
class Chart;
}

// An item of the chart's menu. Sections are kept apart by separators, in
// order of their number; items within one by rank.
struct MenuItem {
    MenuItem(int section, int rank, QString text, QKeySequence key, bool checkable, QString name, QString submenu = {},
             QString toolTip = {})
        : section(section), rank(rank), text(std::move(text)), key(std::move(key)), checkable(checkable),
          name(std::move(name)), submenu(std::move(submenu)), toolTip(std::move(toolTip)) {}
    int section = 0;
    int rank = 0;
    QString text;
    QKeySequence key;        // empty: no key
    bool checkable = false;
    QString name;            // the action's object name
    QString submenu;         // the submenu it lies in (empty: the menu itself)
    QString toolTip;
};

class FeatureHost {
public:
    virtual ~FeatureHost() = default;
    // A menu item, answering its key anywhere in the window; the menu is
    // built once every feature is attached.
    virtual QAction* AddItem(const MenuItem& item) = 0;
    virtual toolkit::Chart& Chart() = 0;
    virtual live::Pipeline& Pipeline() = 0;
    virtual const live::Window& Window() const = 0;
    // The main window: the parent of dialogs, the owner of shortcuts.
    virtual QWidget& Form() = 0;
    // After a switch changed what the pipeline works out: every feature
    // takes the current record again (its `tick` false).
    virtual void Refresh() = 0;
    // Holds, average and every feature start afresh.
    virtual void ResetAll() = 0;
    // Every feature's lines for the report, in menu order.
    virtual QStringList ReportLines() const = 0;
    // Widgets that live in the analysis window below its own (made by
    // other features; the analysis feature lays them out).
    virtual void AddPanel(QWidget* panel) = 0;
    virtual QList<QWidget*> Panels() const = 0;
};

class Feature : public QObject {
    Q_OBJECT
public:
    ~Feature() override = default;
    virtual void Attach(FeatureHost& host) = 0;
    virtual void Take(const live::Sweep&) {}
    virtual QStringList ReportLines() const { return {}; }
    virtual void Reset() {}
};
