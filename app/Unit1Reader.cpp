#include "app/Unit1.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StringGrid.h"

#include <QRadioButton>
#include <QAbstractItemModel>
#include <QLabel>
#include <QScrollBar>

FormReader::FormReader(TForm1& form) : QObject(&form), form_(form) {
    // The rows are read again once the table was edited or loaded.
    connect(form.StringGrid1->model(), &QAbstractItemModel::dataChanged, this, [this] { ++gridRevision_; });
}

panorama::SampleMeaning FormReader::Meaning() const {
    panorama::SampleMeaning m;
    m.step = form_.PanoStep;
    m.shift = form_.PanoShift;
    m.axisMin = form_.BottomAxis->minimum();
    m.loIndex = form_.RadioGroupFL0->itemIndex();
    m.flags = form_.PanoFlags;
    m.unitIndex = form_.RadioGroupEdin->itemIndex();
    m.oporPosition = form_.ScrollBar_Opor->value();
    m.koefPosition = form_.ScrollBar_Koef->value();
    return m;
}

const std::array<settings::RowTexts, settings::kEntryCount>& FormReader::GridRows() const {
    if (rowsRevision_ != gridRevision_) {
        rows_ = form_.GridRows();
        rowsRevision_ = gridRevision_;
    }
    return rows_;
}

std::optional<pointing::Site> FormReader::FieldSite() const { return form_.FieldSite(); }
std::optional<pointing::Site> FormReader::KnownSite() const { return form_.KnownSite(); }
int FormReader::SiteRevision() const { return form_.SiteRevision(); }

std::string FormReader::CoordinateTexts() const {
    return (form_.MaskEditLati->maskedText() + " / " + form_.MaskEditLongi->maskedText()).toStdString();
}

std::string FormReader::LevelUnit() const { return form_.Label10->text().toStdString(); }
double FormReader::AxisMin() const { return form_.BottomAxis->minimum(); }
double FormReader::AxisMax() const { return form_.BottomAxis->maximum(); }
int FormReader::PolarisationIndex() const { return form_.RadioGroupPol->itemIndex(); }

std::string FormReader::LoCaption(int loIndex) const {
    if (loIndex < 0 || loIndex >= form_.RadioGroupFL0->count()) return {};
    return form_.RadioGroupFL0->button(loIndex)->text().toStdString();
}
