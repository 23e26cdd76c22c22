#include "toolkit/RadioGroup.h"

#include <QRadioButton>

#include <algorithm>

namespace toolkit {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setAutoExclusive(false);  // the group keeps the selection itself
        connect(b, &QRadioButton::clicked, this, [this, i] {
            // A click on the selected item leaves it selected and runs nothing.
            if (index_ == i) {
                buttons_[i]->setChecked(true);
                return;
            }
            setItemIndex(i);
        });
        buttons_.push_back(b);
    }
    layoutButtons();
}

void RadioGroup::setItemIndex(int index) {
    index = std::clamp(index, -1, count() - 1);
    if (index == index_) return;
    index_ = index;
    for (int i = 0; i < count(); ++i) buttons_[i]->setChecked(i == index_);
    emit clicked();
}

void RadioGroup::resizeEvent(QResizeEvent* e) {
    QGroupBox::resizeEvent(e);
    layoutButtons();
}

// One column, the items spread evenly below the caption, as the classic
// radio group lays them out.
void RadioGroup::layoutButtons() {
    if (buttons_.empty()) return;
    const int top = 14, bottom = 2;
    const int h = std::max(1, (height() - top - bottom) / count());
    for (int i = 0; i < count(); ++i)
        buttons_[i]->setGeometry(6, top + i * h, std::max(0, width() - 10), std::min(h, 20));
}

}  // namespace toolkit
