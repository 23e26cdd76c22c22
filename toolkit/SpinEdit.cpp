#include "toolkit/SpinEdit.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include <algorithm>

namespace toolkit {

SpinEdit::SpinEdit(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), up_(new QToolButton(this)),
      down_(new QToolButton(this)), min_(minimum), max_(maximum) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAutoRepeat(true);
    down_->setAutoRepeat(true);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    up_->setAccessibleName(QStringLiteral("Увеличить"));
    down_->setAccessibleName(QStringLiteral("Уменьшить"));
    setFocusProxy(edit_);
    edit_->setText(QString::number(minimum));
    // Characters that can make up a number; anything else is refused as typed.
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+0-9,.]*")), edit_));
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textChanged, this, &SpinEdit::changed);
    connect(edit_, &QLineEdit::textChanged, this, [this] {
        QAccessibleValueChangeEvent event(this, value());
        QAccessible::updateAccessibility(&event);
    });
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

QString SpinEdit::text() const { return edit_->text(); }

void SpinEdit::setText(const QString& text) {
    if (edit_->text() != text) edit_->setText(text);
}

int SpinEdit::value() const {
    bool ok = false;
    const int v = edit_->text().trimmed().toInt(&ok);
    return ok ? std::clamp(v, min_, max_) : min_;
}

void SpinEdit::setValue(int value) { setText(QString::number(std::clamp(value, min_, max_))); }

void SpinEdit::setTypingDisabled(bool disabled) {
    edit_->setReadOnly(disabled);
    edit_->setCursor(disabled ? Qt::ForbiddenCursor : Qt::IBeamCursor);
}

void SpinEdit::stepBy(int delta) { setValue(value() + delta); }

bool SpinEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SpinEdit::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const int bw = std::min(16, width() / 3), h = height();
    edit_->setGeometry(0, 0, width() - bw, h);
    up_->setGeometry(width() - bw, 0, bw, h / 2);
    down_->setGeometry(width() - bw, h / 2, bw, h - h / 2);
}

}  // namespace toolkit
