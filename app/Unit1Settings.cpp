// The settings editor's handlers: the transponder grid's in-cell editors and
// the exchange with the meter and with settings files. The logic lives in
// settings/; these handlers move texts between the controls and it.
#include "app/Unit1.h"

#include "common/Cp1251.h"
#include "settings/Editor.h"
#include "settings/Exchange.h"
#include "toolkit/Dialogs.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QComboBox>

namespace {

// Satellite names are stored as Windows-1251, one byte a character. The
// table-based conversion gives the same bytes on every system (Qt reaches a
// Windows-1251 codec only through ICU, which not every Qt build has).
std::string ToNameBytes(const QString& text) { return common::Cp1251FromUtf8(text.toStdString()); }

QString FromNameBytes(const std::string& bytes) { return QString::fromStdString(common::Utf8FromCp1251(bytes)); }

// A cell's text as the settings logic takes it, and back.
std::string CellToLogic(int column, const QString& text) {
    return column == settings::kNameColumn ? ToNameBytes(text) : text.toStdString();
}

QString CellFromLogic(int column, const std::string& text) {
    return column == settings::kNameColumn ? FromNameBytes(text) : QString::fromStdString(text);
}

// A combo box shows the item of that text, or none when it has no such item.
void ShowItem(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    if (box->currentIndex() != index) box->setCurrentIndex(index);
}

}  // namespace

// ---- The transponder grid ----

void TForm1::StringGrid1DrawCell(QObject*, int ACol, int ARow, QRect Rect, toolkit::DrawState State) {
    QWidget* editor = nullptr;
    if (State.selected) {
        switch (settings::EditorForColumn(ACol)) {
        case settings::CellEditor::Name: editor = ComboBoxName; break;
        case settings::CellEditor::Polarisation: editor = ComboBoxPol; break;
        case settings::CellEditor::Input: editor = ComboBoxDs; break;
        case settings::CellEditor::Spin: editor = CSpinEdit1; break;
        }
    }
    // One editor stands over the selected cell, the others are hidden. The
    // chosen one is left showing rather than hidden and shown again, so that
    // it keeps the keyboard focus while the user types into it.
    for (QWidget* w : {static_cast<QWidget*>(ComboBoxPol), static_cast<QWidget*>(ComboBoxName),
                       static_cast<QWidget*>(ComboBoxDs), static_cast<QWidget*>(CSpinEdit1)})
        if (w != editor) w->hide();
    if (editor == nullptr) return;

    QString text = StringGrid1->cell(ACol, ARow);
    if (text.isEmpty()) text = QString::fromStdString(settings::EmptyCellText(ACol));
    if (editor == ComboBoxName) {
        // Set only when it differs, so that typing is not disturbed.
        if (ComboBoxName->currentText() != text) {
            ShowItem(ComboBoxName, text);
            ComboBoxName->setEditText(text);
        }
    } else if (editor == CSpinEdit1) {
        CSpinEdit1->setText(text);  // a different text raises CSpinEdit1Change
    } else {
        ShowItem(static_cast<QComboBox*>(editor), text);
    }
    editor->setGeometry(StringGrid1->x() + Rect.left() + 2, StringGrid1->y() + Rect.top() + 2, Rect.width(),
                        Rect.height());
    editor->show();
}

// Each editor's change puts its text into the cell under it and gathers.
void TForm1::EditorChanged(const QString& text) {
    StringGrid1->setCell(StringGrid1->col(), StringGrid1->row(), text);
    GatherSettings();
}

void TForm1::ComboBoxNameChange(QObject*) { EditorChanged(ComboBoxName->currentText()); }
void TForm1::ComboBoxPolChange(QObject*) { EditorChanged(ComboBoxPol->currentText()); }
void TForm1::ComboBoxDsChange(QObject*) { EditorChanged(ComboBoxDs->currentText()); }
void TForm1::CSpinEdit1Change(QObject*) { EditorChanged(CSpinEdit1->text()); }

// ---- Controls to SettingsBuf and back ----

std::array<settings::RowTexts, settings::kEntryCount> TForm1::GridRows() const {
    std::array<settings::RowTexts, settings::kEntryCount> rows;
    for (int e = 0; e < settings::kEntryCount; ++e)
        for (int c = 0; c < settings::kColumnCount; ++c) rows[e][c] = CellToLogic(c, StringGrid1->cell(c, e + 1));
    return rows;
}

std::optional<pointing::Site> TForm1::FieldSite() const {
    return pointing::ParseSite(MaskEditLati->maskedText().toStdString(), MaskEditLongi->maskedText().toStdString());
}

std::optional<pointing::Site> TForm1::KnownSite() const { return siteKnown_ ? FieldSite() : std::nullopt; }

void TForm1::GatherSettings() {
    settings::EditorTexts texts;
    texts.rows = GridRows();
    texts.latitude = MaskEditLati->maskedText().toStdString();
    texts.longitude = MaskEditLongi->maskedText().toStdString();
    texts.batteryIndex = RadioGroup1->itemIndex();
    texts.zener = ZenderEdit->value();
    settings::GatherSettings(texts, SettingsBuf);
}

void TForm1::ApplySettings() {
    const settings::EditorTexts texts = settings::ApplySettings(SettingsBuf);
    for (int e = 0; e < settings::kEntryCount; ++e)
        for (int c = 0; c < settings::kColumnCount; ++c)
            StringGrid1->setCell(c, e + 1, CellFromLogic(c, texts.rows[e][c]));
    MaskEditLati->setMaskedText(QString::fromStdString(texts.latitude));
    MaskEditLongi->setMaskedText(QString::fromStdString(texts.longitude));
    ZenderEdit->setValue(texts.zener);
    RadioGroup1->setItemIndex(texts.batteryIndex);
}

// ---- The exchange ----

void TForm1::ButtonReadClick(QObject*) {
    settings::ReadFromMeter(SettingsBuf, Prompt(), [this] {
        ApplySettings();
        SiteIsKnown();
    });
}

void TForm1::ButtonWriteClick(QObject*) {
    settings::WriteToMeter(SettingsBuf, Prompt(), [this] {
        GatherSettings();
        ApplySettings();
    });
}

void TForm1::ButtOpenClick(QObject*) {
    toolkit::FileDialogOptions options;
    options.title = QStringLiteral("Открыть настройки");
    options.filter = QStringLiteral("Настройки Velkarn3 (*.vkr3)| *.vkr3");
    options.defaultSuffix = QStringLiteral("vkr3");
    options.mustExist = true;
    const QString file = toolkit::dialogs().openFile(options);
    if (file.isEmpty()) return;
    // The logic takes file names as UTF-8 on every system.
    settings::OpenFromFile(file.toStdString(), SettingsBuf, Prompt(), [this] {
        ApplySettings();
        SiteIsKnown();
    });
}

void TForm1::ButtSaveClick(QObject*) {
    toolkit::FileDialogOptions options;
    options.filter = QStringLiteral("Настройки Velkarn3 (*.vkr3)|*.vkr3");
    options.defaultSuffix = QStringLiteral("vkr3");
    const QString file = toolkit::dialogs().saveFile(options);
    if (file.isEmpty()) return;
    settings::SaveToFile(file.toStdString(), SettingsBuf, Prompt(), [this] {
        GatherSettings();
        ApplySettings();
    });
}
