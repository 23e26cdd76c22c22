// A captioned group of radio buttons with an item index (-1: none selected).
// Setting the index from code clamps it to -1..count-1 and, when it changes,
// emits clicked() exactly as a user's click does.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QRadioButton;

namespace toolkit {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return index_; }
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* button(int i) const { return buttons_.at(i); }

signals:
    void clicked();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void layoutButtons();
    std::vector<QRadioButton*> buttons_;
    int index_ = -1;
};

}  // namespace toolkit
