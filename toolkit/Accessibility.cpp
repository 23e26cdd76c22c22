#include "toolkit/Accessibility.h"

#include "toolkit/Chart.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/ToggleButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>
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
    if (auto* chart = qobject_cast<Chart*>(object)) return new QAccessibleWidget(chart, QAccessible::Chart);
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
