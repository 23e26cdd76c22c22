// What the window shows beyond its design: the panorama's features with
// their menu on the chart, the controls laid out outside the 729 x 550
// client area on request, and the table's pointing as tooltips on the name
// cells.
#include "app/Unit1.h"

#include "app/Features.h"
#include "pointing/Pointing.h"
#include "toolkit/Chart.h"
#include "toolkit/Dialogs.h"
#include "toolkit/StringGrid.h"

#include <QAction>
#include <QHelpEvent>
#include <QScreen>
#include <QToolTip>

#include <algorithm>

namespace {

// Shows a name cell's pointing when the pointer rests on it.
class PointingTips : public QObject {
public:
    explicit PointingTips(TForm1& form) : QObject(form.StringGrid1), form_(form) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex at = form_.StringGrid1->indexAt(help->pos());
        QString tip;
        if (at.isValid() && at.column() == settings::kNameColumn && at.row() >= 1) {
            const auto lines = pointing::StoredEntries(form_.GridRows(), form_.FieldSite());
            for (const pointing::EntryLine& line : lines)
                if (line.row == at.row()) tip = QString::fromStdString(pointing::PointingTip(line));
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, form_.StringGrid1->viewport());
        return true;
    }

private:
    TForm1& form_;
};

}  // namespace

void TForm1::CreateFeatures() {
    reader_ = std::make_unique<FormReader>(*this);
    Features = std::make_unique<FeatureSet>(*this, *Chart1, *reader_);
    // The window's own item: it shows the meter's settings and firmware.
    QAction* settingsItem = Features->AddItem(
        {1, 1, QStringLiteral("Настройки прибора"), Qt::SHIFT | Qt::Key_F2, true, "ActionDeviceSettings"});
    connect(settingsItem, &QAction::toggled, this,
            [this](bool on) { toolkit::guarded([&] { ShowDeviceSettings(on); }); });
    // A newcomer learns from the chart itself where the rest is.
    Chart1->setToolTip(QStringLiteral(
        "Правая кнопка мыши: инструменты панорамы\n"
        "и настройки прибора (Shift+F2): транспондеры, координаты,\n"
        "аккумулятор, обновление прошивки"));
    StringGrid1->viewport()->installEventFilter(new PointingTips(*this));
}

// The window keeps its fixed size and dialog border either way; the grown
// area reaches 8 pixels past the last control right and below. A grown
// window that would leave the screen moves in, and back by as much when it
// is small again.
void TForm1::ShowDeviceSettings(bool on) {
    const QSize size = on ? kWideClientSize : kClientSize;
    if (this->size() == size) return;
    setFixedSize(size);
    if (!on) {
        if (!grownShift_.isNull()) move(pos() - grownShift_);
        grownShift_ = {};
        return;
    }
    QScreen* s = screen();
    if (!s || !isVisible()) return;
    const QRect area = s->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint shift;
    if (frame.right() > area.right()) shift.rx() = std::max(area.left() - frame.left(), area.right() - frame.right());
    if (frame.bottom() > area.bottom()) shift.ry() = std::max(area.top() - frame.top(), area.bottom() - frame.bottom());
    if (!shift.isNull()) move(pos() + shift);
    grownShift_ = shift;
}
