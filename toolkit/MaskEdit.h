// A masked edit whose digit positions are optional and whose text reads each
// unfilled position as a blank: mask "99,9" with "5" typed in front reads "5 ,0".
#pragma once

#include <QLineEdit>

namespace toolkit {

class MaskEdit : public QLineEdit {
    Q_OBJECT
public:
    // mask: '9' for a digit position, any other character a literal, e.g. "999,9".
    MaskEdit(const QString& mask, const QString& text, QWidget* parent = nullptr);

    // The text with literals, every unfilled position a blank.
    QString maskedText() const;
    void setMaskedText(const QString& text);
};

}  // namespace toolkit
