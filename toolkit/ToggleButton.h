// A toggle button: a press leaves it down, the next press releases it.
// Assistive technology sees it as a button with a pressed state rather than
// as the check box that a checkable tool button is taken for.
#pragma once

#include <QToolButton>

namespace toolkit {

class ToggleButton : public QToolButton {
    Q_OBJECT
public:
    explicit ToggleButton(const QString& text, QWidget* parent = nullptr);
};

}  // namespace toolkit
