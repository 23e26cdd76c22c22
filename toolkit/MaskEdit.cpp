#include "toolkit/MaskEdit.h"

namespace toolkit {

MaskEdit::MaskEdit(const QString& mask, const QString& text, QWidget* parent) : QLineEdit(parent) {
    // Qt's '0' is an optional digit; the blank shown is '_'.
    QString qtMask = mask;
    qtMask.replace('9', '0');
    setInputMask(qtMask + ";_");
    setMaxLength(mask.size());
    // The fields are only a few digits wide: no room for a frame's padding.
    setTextMargins(0, 0, 0, 0);
    setStyleSheet(QStringLiteral("QLineEdit { padding: 0px; }"));
    setMaskedText(text);
}

QString MaskEdit::maskedText() const {
    QString t = displayText();
    t.replace('_', ' ');
    return t;
}

void MaskEdit::setMaskedText(const QString& text) {
    QString t = text;
    t.replace(' ', '_');
    setText(t);
}

}  // namespace toolkit
