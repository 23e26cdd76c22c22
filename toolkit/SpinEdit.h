// A spin editor: a text field with up and down buttons over an integer range.
// changed() is emitted whenever the text changes, by the user or by the
// program; setText() changes nothing (and emits nothing) when the text is the
// same. The text may hold anything the user typed; value() reads it clamped to
// the range, the minimum when it is not a number. Only digits, signs and a
// decimal separator can be typed; the Up and Down keys step as the buttons do.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace toolkit {

class SpinEdit : public QWidget {
    Q_OBJECT
public:
    SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    int value() const;
    void setValue(int value);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    // Arrows only: the text cannot be typed into.
    void setTypingDisabled(bool disabled);
    QLineEdit* lineEdit() const { return edit_; }

signals:
    void changed();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepBy(int delta);
    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
    int min_;
    int max_;
};

}  // namespace toolkit
