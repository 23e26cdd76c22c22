// The meter's state in a corner of the chart: one quiet line, updated from
// what each panorama tick already learns of the meter (no request of its own).
#include "app/Unit1.h"

#include "device/UsbLink.h"
#include "toolkit/Chart.h"

#include <QAnyStringView>
#include <QLabel>
#include <QUtf8StringView>

namespace {
// The corner right above the plot, clear of the title and the read-out.
constexpr int kStateRight = 669;
constexpr int kStateTop = 8;
}  // namespace

// The label comes with the first tick, which is the first to know.
void TForm1::ShowMeterState(device::LinkState state) {
    const char* text = device::StateText(state);
    // Compared as it stands: every tick comes here, nearly always unchanged.
    if (LabelState && QAnyStringView::equal(LabelState->text(), QUtf8StringView(text))) return;
    if (!LabelState) {
        LabelState = new QLabel(Chart1);
        LabelState->setStyleSheet(QStringLiteral("QLabel { color: rgb(160, 160, 160); font-weight: normal; }"));
        LabelState->setAccessibleDescription(QStringLiteral("Состояние прибора"));
    }
    LabelState->setText(QString::fromUtf8(text));
    LabelState->setToolTip(QString::fromUtf8(device::StateHint(state)));
    LabelState->adjustSize();
    LabelState->move(kStateRight - LabelState->width(), kStateTop);
    LabelState->show();
}
