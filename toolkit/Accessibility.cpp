#include "toolkit/Accessibility.h"

#include "toolkit/Chart.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/ToggleButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>

namespace toolkit {

namespace {

// A button's caption as it is read out: a single '&' marks a mnemonic and is
// not part of the text, "&&" stands for one '&'.
QString StripMnemonic(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && ++i == text.size()) break;
        out += text[i];
    }
    return out;
}

// A checkable button under its own role. A press through assistive
// technology is a click, the very event a mouse click delivers, so the
// control's own rules (and its handlers) decide what follows.
class CheckableButtonAccessible : public QAccessibleWidget {
public:
    CheckableButtonAccessible(QAbstractButton* button, QAccessible::Role role, bool pressedWhenChecked)
        : QAccessibleWidget(button, role), pressedWhenChecked_(pressedWhenChecked) {}

    QString text(QAccessible::Text t) const override {
        // The caption names the button; the base would take the title of a
        // surrounding group box instead.
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return StripMnemonic(button()->text());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.pressed = button()->isDown() || (pressedWhenChecked_ && button()->isChecked());
        return s;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (button()->isEnabled()) names << pressAction() << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction()) {
            if (button()->isEnabled()) button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
    bool pressedWhenChecked_;
};

// A spin editor as one spin box: its text is the value, and the value can be
// read and set as a number within the editor's range. Setting it changes the
// text as the arrow buttons do.
class SpinEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SpinEditAccessible(SpinEdit* spin) : QAccessibleWidget(spin, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return spin()->text();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return spin()->value(); }
    void setCurrentValue(const QVariant& value) override { spin()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return spin()->maximum(); }
    QVariant minimumValue() const override { return spin()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    SpinEdit* spin() const { return static_cast<SpinEdit*>(widget()); }
};

// The chart's marked point, which the chart paints itself: a label among the
// chart's children, named by what it shows, so that a screen reader reads
// the marker's values as it reads the labels on the chart.
class ChartMarkerAccessible : public QAccessibleInterface {
public:
    explicit ChartMarkerAccessible(Chart* chart) : chart_(chart) {}

    bool isValid() const override { return chart_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return chart_ ? chart_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(chart_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !chart_ || !chart_->marker()) return {};
        return chart_->marker()->label;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!chart_ || !chart_->marker()) return {};
        const QPoint at = chart_->mapToPosition(chart_->marker()->value).toPoint();
        return QRect(chart_->mapToGlobal(at - QPoint(4, 4)), QSize(9, 9));
    }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = true;
        s.invisible = !chart_ || !chart_->marker() || !chart_->isVisible();
        return s;
    }

private:
    QPointer<Chart> chart_;
};

// The chart: its labels, and after them the marked point while there is one.
class ChartAccessible : public QAccessibleWidget {
public:
    explicit ChartAccessible(Chart* chart) : QAccessibleWidget(chart, QAccessible::Chart) {
        // The registry owns the marker's interface; it goes with the chart.
        marker_ = new ChartMarkerAccessible(chart);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(marker_);
        QObject::connect(chart, &QObject::destroyed, [id] { QAccessible::deleteAccessibleInterface(id); });
    }

    int childCount() const override { return QAccessibleWidget::childCount() + (hasMarker() ? 1 : 0); }
    QAccessibleInterface* child(int index) const override {
        if (hasMarker() && index == QAccessibleWidget::childCount()) return marker_;
        return QAccessibleWidget::child(index);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == marker_) return hasMarker() ? QAccessibleWidget::childCount() : -1;
        return QAccessibleWidget::indexOfChild(child);
    }

    // Tells assistive technology what became of the marker since last told.
    void markerChanged() {
        const QString now = hasMarker() ? chart()->marker()->label : QString();
        const bool shown = hasMarker();
        if (shown == shown_ && now == told_) return;
        QAccessible::Event type = QAccessible::NameChanged;
        if (shown != shown_) type = shown ? QAccessible::ObjectShow : QAccessible::ObjectHide;
        shown_ = shown;
        told_ = now;
        QAccessibleEvent e(marker_, type);
        QAccessible::updateAccessibility(&e);
    }

private:
    Chart* chart() const { return static_cast<Chart*>(widget()); }
    bool hasMarker() const { return chart()->marker().has_value(); }
    ChartMarkerAccessible* marker_;
    bool shown_ = false;
    QString told_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (auto* radio = qobject_cast<QRadioButton*>(object)) {
        // The group turns the items' own exclusivity off to keep its rules;
        // they are still radio buttons to whoever cannot see them.
        if (qobject_cast<RadioGroup*>(radio->parent()))
            return new CheckableButtonAccessible(radio, QAccessible::RadioButton, false);
        return nullptr;
    }
    if (auto* toggle = qobject_cast<ToggleButton*>(object))
        return new CheckableButtonAccessible(toggle, QAccessible::Button, true);
    if (auto* spin = qobject_cast<SpinEdit*>(object)) return new SpinEditAccessible(spin);
    // The chart is a chart; the labels on it are its children.
    if (auto* chart = qobject_cast<Chart*>(object)) return new ChartAccessible(chart);
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // Factories installed later are asked first: this one comes after the
    // widgets' own, which the application object installs.
    QAccessible::installFactory(&Factory);
}

void announceMarker(Chart* chart) {
    // Nobody listens without an active bridge: nothing to tell.
    if (!QAccessible::isActive()) return;
    if (auto* a = dynamic_cast<ChartAccessible*>(QAccessible::queryAccessibleInterface(chart))) a->markerChanged();
}

void setAccessibleName(QWidget* control, const QString& name) {
    control->setAccessibleName(name);
    if (auto* spin = qobject_cast<SpinEdit*>(control)) spin->lineEdit()->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // Over AT-SPI Qt names a combo box by its current item and leaves its
        // label to a labelled-by relation, which an in-cell editor has no
        // label for: the name goes into the description as well.
        combo->setAccessibleDescription(name);
        if (QLineEdit* edit = combo->lineEdit()) edit->setAccessibleName(name);
    }
}

}  // namespace toolkit
