#include "toolkit/ToggleButton.h"

#include <QAccessible>

namespace toolkit {

ToggleButton::ToggleButton(const QString& text, QWidget* parent) : QToolButton(parent) {
    setCheckable(true);
    setText(text);
    // Down and up are the pressed state a screen reader announces.
    connect(this, &QToolButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

}  // namespace toolkit
