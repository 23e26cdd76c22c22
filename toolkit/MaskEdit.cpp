#include "toolkit/MaskEdit.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>

namespace toolkit {
namespace {

constexpr QChar kDigit('9');

// The text laid out over the mask: literals in their places, each group of
// digit positions filled from the text's characters up to the next literal.
QString Align(const QString& mask, const QString& text) {
    QString out;
    qsizetype t = 0;
    for (qsizetype m = 0; m < mask.size();) {
        if (mask[m] != kDigit) {
            out += mask[m];
            if (t < text.size() && text[t] == mask[m]) ++t;
            ++m;
            continue;
        }
        qsizetype end = m;
        while (end < mask.size() && mask[end] == kDigit) ++end;
        const qsizetype width = end - m;
        if (end == mask.size()) {
            out += text.mid(t, width).leftJustified(width, ' ');
            t += width;
        } else {
            qsizetype stop = text.indexOf(mask[end], t);
            if (stop < 0) stop = text.size();
            out += text.mid(t, stop - t).left(width).rightJustified(width, ' ');
            t = stop;
        }
        m = end;
    }
    return out;
}

}  // namespace

MaskEdit::MaskEdit(const QString& mask, const QString& text, QWidget* parent) : QLineEdit(parent), mask_(mask) {
    // Qt's '0' is an optional digit; the blank shown is '_'.
    QString qtMask = mask;
    qtMask.replace(kDigit, '0');
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
    QString t = Align(mask_, text);
    t.replace(' ', '_');
    setText(t);
}

void MaskEdit::changeEvent(QEvent* e) {
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange && !fitting_) {
        designPixels_ = 0;
        FitFont();
    }
}

void MaskEdit::resizeEvent(QResizeEvent* e) {
    QLineEdit::resizeEvent(e);
    FitFont();
}

void MaskEdit::FitFont() {
    if (fitting_) return;
    fitting_ = true;
    QFont f = font();
    if (designPixels_ == 0) designPixels_ = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    f.setPixelSize(designPixels_);
    // The line edit keeps 2 pixels either side of its text inside the frame.
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int room = width() - 2 * frame - 4;
    QString widest = mask_;
    widest.replace(kDigit, '0');
    while (f.pixelSize() > 7 && QFontMetrics(f).horizontalAdvance(widest) > room) f.setPixelSize(f.pixelSize() - 1);
    if (f != font()) setFont(f);
    fitting_ = false;
}

}  // namespace toolkit
