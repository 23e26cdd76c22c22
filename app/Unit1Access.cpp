// Names for assistive technology. Each control is named by the text that the
// window shows beside it or in its caption, so that a screen reader says
// what a sighted user reads. Controls with a caption of their own (buttons,
// check boxes, radio groups and their items, labels) are named by it already.
#include "app/Unit1.h"

#include "toolkit/Accessibility.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QComboBox>
#include <QScrollBar>
#include <QSlider>

void TForm1::NameControls() {
    using toolkit::setAccessibleName;
    setAccessibleName(Chart1, QStringLiteral("СПЕКТР"));
    setAccessibleName(ScrollBar1, QStringLiteral("Нижняя граница шкалы уровня"));
    setAccessibleName(ScrollBar2, QStringLiteral("Высота шкалы уровня"));
    setAccessibleName(ScrollBar3, QStringLiteral("Сдвиг"));
    setAccessibleName(MaskEdit1, QStringLiteral("Свой гетеродин"));
    setAccessibleName(TrackBarStep, QStringLiteral("Шаг"));
    setAccessibleName(ScrollBar_Koef, QStringLiteral("Коэф"));
    setAccessibleName(ScrollBar_Opor, QStringLiteral("Опорa"));  // as its label reads, with a Latin a
    setAccessibleName(MaskEditLati, QStringLiteral("Широта"));
    setAccessibleName(MaskEditLongi, QStringLiteral("Долгота"));
    setAccessibleName(ZenderEdit, QStringLiteral("Стабилитрон"));
    setAccessibleName(StringGrid1, QStringLiteral("Транспондеры"));

    // The in-cell editors are named by the header of the column they edit;
    // the spin editor serves two columns and takes the name of the one it
    // is laid over.
    const auto header = [this](int column) { return StringGrid1->cell(column, 0).trimmed(); };
    setAccessibleName(ComboBoxName, header(0));
    setAccessibleName(CSpinEdit1, header(1));
    setAccessibleName(ComboBoxPol, header(2));
    setAccessibleName(ComboBoxDs, header(4));
    connect(StringGrid1, &toolkit::StringGrid::drawCell, this,
            [this, header](int column, int, QRect, toolkit::DrawState) {
                if (column == 1 || column == 3) setAccessibleName(CSpinEdit1, header(column));
            });
}
