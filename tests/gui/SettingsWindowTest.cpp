#include "Fixture.h"

#include "settings/Editor.h"
#include "toolkit/DropDownOnKey.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Types text as key presses carrying the characters (QTest's typing passes
// Latin-1 only).
void Type(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
    }
}

std::string FileText(const QString& p) {
    std::ifstream in(p.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

settings::SettingsBlock Gathered(std::initializer_list<settings::RowTexts> rows) {
    settings::EditorTexts t;
    std::copy(rows.begin(), rows.end(), t.rows.begin());
    t.batteryIndex = 1;
    t.zener = 86;
    settings::SettingsBlock b{};
    settings::GatherSettings(t, b);
    return b;
}

}  // namespace

class SettingsWindow : public WindowTest {
protected:
    void Select(int c, int r) {
        form->StringGrid1->selectCell(c, r);
        settle();
    }
    void Pick(QComboBox* box, const QString& item) {
        box->setCurrentIndex(box->findText(item));
        emit box->activated(box->currentIndex());
        settle();
    }
    void Key(QWidget* w, Qt::Key key) {
        QTest::keyClick(w, key);
        settle();
    }
    void TypeSpin(const char* text) {
        form->CSpinEdit1->lineEdit()->selectAll();
        QTest::keyClicks(form->CSpinEdit1->lineEdit(), text);
        settle();
    }
    QString Cell(int c, int r) const { return form->StringGrid1->cell(c, r); }
    QWidget* Shown() const {
        QWidget* shown = nullptr;
        for (QWidget* w : {static_cast<QWidget*>(form->ComboBoxName), static_cast<QWidget*>(form->CSpinEdit1),
                           static_cast<QWidget*>(form->ComboBoxPol), static_cast<QWidget*>(form->ComboBoxDs)})
            if (!w->isHidden()) shown = shown ? form.get() : w;  // the window itself: more than one
        return shown;
    }
    bool EntryEmpty(int e) const {
        const auto at = form->SettingsBuf.begin() + settings::EntryOffset(e);
        return std::all_of(at, at + 16, [](std::uint8_t b) { return b == 0; });
    }
};

TEST_F(SettingsWindow, EnteringATransponderCellByCell) {
    TForm1& f = *form;
    f.StringGrid1->paintSelected();  // as when the window is first painted
    settle();
    EXPECT_EQ(Shown(), f.ComboBoxName);
    EXPECT_EQ(f.ComboBoxName->currentText(), "Exs 00E");
    const QRect r = f.StringGrid1->cellRect(0, 1);
    EXPECT_EQ(f.ComboBoxName->pos(), f.StringGrid1->pos() + r.topLeft() + QPoint(2, 2));
    EXPECT_EQ(f.ComboBoxName->size(), r.size());

    Pick(f.ComboBoxName, "Ast 19E");
    Select(1, 1);  // an empty number cell takes the spin editor's "3400" at once
    EXPECT_EQ(Shown(), f.CSpinEdit1);
    EXPECT_EQ(Cell(1, 1), "3400");
    TypeSpin("11766");
    Select(2, 1);  // an empty list cell is only preset
    EXPECT_EQ(Shown(), f.ComboBoxPol);
    EXPECT_EQ(f.ComboBoxPol->currentText(), "V");
    EXPECT_EQ(Cell(2, 1), "");
    Key(f.ComboBoxPol, Qt::Key_H);
    Select(3, 1);
    Select(4, 1);
    EXPECT_EQ(Shown(), f.ComboBoxDs);
    EXPECT_EQ(f.ComboBoxDs->currentText(), "1");
    EXPECT_TRUE(EntryEmpty(0)) << "four cells are not an entry";
    Key(f.ComboBoxDs, Qt::Key_2);
    EXPECT_EQ((QStringList{Cell(0, 1), Cell(1, 1), Cell(2, 1), Cell(3, 1), Cell(4, 1)}),
              (QStringList{"Ast 19E", "11766", "H", "3400", "2"}));
    const std::uint8_t entry0[16] = {'A', 's', 't', ' ', '1', '9', 'E', 0, 0xF6, 0x2D, 'H', 0x48, 0x0D, 1, 0x2D, 0xD1};
    EXPECT_TRUE(std::equal(entry0, entry0 + 16, f.SettingsBuf.begin()));

    // The spin editor already shows "3400": nothing is raised, the cell stays empty.
    Select(1, 2);
    EXPECT_EQ(f.CSpinEdit1->text(), "3400");
    EXPECT_EQ(Cell(1, 2), "");
    // Only number characters are typed; a lone minus fails the gather and stays.
    Select(1, 1);
    TypeSpin("x-");
    EXPECT_EQ(Cell(1, 1), "-");
    EXPECT_EQ(dialogs.errors, QStringList{"'-' is not a valid integer value"});
}

TEST_F(SettingsWindow, DeletingAndTypingNames) {
    TForm1& f = *form;
    f.SettingsBuf = Gathered({{"Ast 19E", "11766", "H", "27500", "1"},
                              {"Hot 13E", "11034", "V", "27500", "2"},
                              {"Exp 96E", "12000", "L", "3400", "3"}});
    f.ApplySettings();
    Select(0, 2);
    Pick(f.ComboBoxName, "УДАЛИТЬ");
    EXPECT_TRUE(EntryEmpty(1));
    EXPECT_EQ(Cell(1, 2), "11034") << "the row shows its texts until the next apply";

    // A typed Cyrillic name is too short until its seventh character.
    Select(0, 3);
    f.ComboBoxName->lineEdit()->selectAll();
    Type(f.ComboBoxName->lineEdit(), QStringLiteral("Урал13E"));
    settle();
    EXPECT_EQ(dialogs.errors, QStringList(6, QStringLiteral("Range check error")));
    EXPECT_EQ(std::string(f.SettingsBuf.begin() + 32, f.SettingsBuf.begin() + 48),
              std::string("\xD3\xF0\xE0\xEB" "13E\0\xE0\x2E\x4C\x48\x0D\x02\x96\xD1", 16));

    // The next apply shows the deleted row empty; one that moves the
    // selected number cell is followed by a gather.
    Select(3, 3);
    f.SettingsBuf[32 + settings::kSymbolRateAt] = 0x49;
    f.SettingsBuf[32 + 14] = 0;
    f.ApplySettings();
    settle();
    EXPECT_EQ((QStringList{Cell(0, 2), Cell(1, 2), Cell(0, 3), Cell(3, 3)}), (QStringList{"", "", "Урал13E", "3401"}));
    EXPECT_EQ(f.SettingsBuf[32 + 14], 0x96);
}

TEST_F(SettingsWindow, ReadChangeSaveOpenAndWriteBack) {
    TForm1& f = *form;
    sim::MeterAt(meter).settings = Gathered({{"Ast 19E", "11766", "H", "27500", "1"},
                                              {"His 30W", "10971", "R", "29700", "4"}});
    sim::MeterAt(meter).settings[settings::kLonDegreesAt] = 7;  // shown as "07,0"
    sim::MeterAt(meter).settings[settings::kTailPadAt] = 0x99;
    dialogs.onMessage = [&](const QString&) { EXPECT_EQ(sim::OpenHandles(), 1) << "closed after the box"; };

    f.ButtonRead->click();
    EXPECT_EQ(Cell(0, 2), "His 30W");
    EXPECT_EQ(f.RadioGroup1->itemIndex(), 1);
    EXPECT_EQ(f.ZenderEdit->value(), 86);
    Select(1, 2);
    TypeSpin("12000");

    const QString file = QString::fromStdString((fs::temp_directory_path() / "settings-window-test.vkr3").string());
    { std::ofstream(file.toStdString()) << std::string(300, 'x'); }
    dialogs.answers = {false, true};
    dialogs.fileChoices = {file, file};
    f.ButtSave->click();  // No: the file stays
    EXPECT_EQ(FileText(file).size(), 300u);
    f.ButtSave->click();
    const settings::SettingsBlock saved = f.SettingsBuf;
    EXPECT_EQ(FileText(file), std::string(saved.begin(), saved.end()));
    EXPECT_EQ(saved[settings::kLonDegreesAt], 7);
    EXPECT_EQ(saved[settings::kTailPadAt], 0x99);

    TypeSpin("1");
    dialogs.fileChoices = {file};
    f.ButtOpen->click();
    settle();
    EXPECT_EQ(f.SettingsBuf, saved);
    EXPECT_EQ(Cell(1, 2), "12000");
    ASSERT_EQ(dialogs.fileDialogs.size(), 3);
    const toolkit::FileDialogOptions &save = dialogs.fileDialogs[0], &open = dialogs.fileDialogs[2];
    EXPECT_EQ((QStringList{save.filter, save.defaultSuffix, open.title, open.filter, open.defaultSuffix}),
              (QStringList{"Настройки Velkarn3 (*.vkr3)|*.vkr3", "vkr3", "Открыть настройки",
                           "Настройки Velkarn3 (*.vkr3)| *.vkr3", "vkr3"}));
    EXPECT_TRUE(open.mustExist);
    fs::remove(file.toStdString());

    f.ButtonWrite->click();
    EXPECT_EQ(sim::MeterAt(meter).settings, saved);
    const settings::EditorTexts sent = settings::ApplySettings(sim::MeterAt(meter).settings);
    for (int c = 1; c < 5; ++c) EXPECT_EQ(Cell(c, 2).toStdString(), sent.rows[1][c]);

    // A short reply leaves buffer and controls as they were.
    sim::MeterAt(meter).FaultFor(sim::Kind::ReadSettings) = {247, true};
    f.ButtonRead->click();
    EXPECT_EQ(f.SettingsBuf, saved);
    EXPECT_EQ(dialogs.messages, (QStringList{"Принято OK", "Передано OK", "read error"}));
    EXPECT_EQ(dialogs.questions.size(), 3);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
}

TEST(SettingsToolkit, MaskedFieldsAndTheDropDownList) {
    // A shorter whole part stands against the comma (the window's round trip
    // of a longitude of 7 relies on it); what the field reads it takes back.
    toolkit::MaskEdit lat(QStringLiteral("99,9"), QStringLiteral("5,0"));
    EXPECT_EQ(lat.maskedText(), " 5,0");
    lat.setMaskedText(QStringLiteral("5 ,0"));
    EXPECT_EQ(lat.maskedText(), "5 ,0");

    QComboBox box;
    box.addItems({"1", "2", "3", "4"});
    toolkit::dropDownOnKeyPress(&box);
    box.show();
    QTest::keyClick(&box, Qt::Key_3);
    EXPECT_TRUE(box.view()->isVisible());
    EXPECT_EQ(box.currentIndex(), 2);
    box.hidePopup();
}
