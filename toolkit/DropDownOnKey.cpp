#include "toolkit/DropDownOnKey.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>

namespace toolkit {
namespace {

class DropDownFilter : public QObject {
public:
    explicit DropDownFilter(QComboBox* box) : QObject(box), box_(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool typed = !key->text().isEmpty() && key->text().at(0).isPrint();
            if (typed && !box_->view()->isVisible()) box_->showPopup();
        }
        return false;  // the box still handles the key
    }

private:
    QComboBox* box_;
};

}  // namespace

void dropDownOnKeyPress(QComboBox* box) { box->installEventFilter(new DropDownFilter(box)); }

}  // namespace toolkit
