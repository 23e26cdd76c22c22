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
    // Sets the text position by position, a blank for an unfilled position.
    // The digits before a literal stand against it, so that a shorter number
    // keeps its value: "5,3" under "99,9" reads " 5,3", "05,0" under "999,9"
    // reads " 05,0". The last group of digit positions fills from the left.
    void setMaskedText(const QString& text);

protected:
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // A field is only as wide as its digits: where the font in use is wider
    // than the one it was laid out for (a fallback font), its size steps
    // down until the whole mask fits, so that no digit scrolls out of sight.
    void FitFont();
    QString mask_;
    int designPixels_ = 0;  // the inherited or set size, before fitting
    bool fitting_ = false;
};

}  // namespace toolkit
