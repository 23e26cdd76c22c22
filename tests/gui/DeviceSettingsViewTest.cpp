// The window grown to show the controls laid out outside its design area (the
// meter's settings, the firmware button, the switches below), and back.
#include "Fixture.h"

#include "app/Features.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

std::vector<QWidget*> FocusChain(QWidget* window) {
    std::vector<QWidget*> chain;
    for (QWidget* w = window->nextInFocusChain(); w != window && chain.size() < 500; w = w->nextInFocusChain())
        chain.push_back(w);
    return chain;
}

std::vector<QRect> Places(QWidget* window) {
    std::vector<QRect> places;
    for (QWidget* w : window->findChildren<QWidget*>()) places.push_back(w->geometry());
    return places;
}

}  // namespace

using DeviceSettingsView = WindowTest;

TEST_F(DeviceSettingsView, GrowsToShowEveryControlWhereItStandsAndShrinksBackPixelForPixel) {
    TForm1& f = *form;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QApplication::setActiveWindow(&f);
    settle();
    const QImage designed = f.grab().toImage();
    const std::vector<QWidget*> chain = FocusChain(&f);
    const std::vector<QRect> places = Places(&f);
    QAction* item = f.Features->Item("ActionDeviceSettings");
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(f.size(), QSize(729, 550));

    const std::vector<QWidget*> outside = {
        f.Button2, f.CheckBox_20, f.Label7, f.LabelStartPanoFrec, f.Label8, f.CheckBoxAP4, f.Button1,
        f.ComboBoxName, f.GroupBox1, f.Label1, f.Label3, f.MaskEditLati, f.Label2, f.Label4, f.MaskEditLongi,
        f.RadioGroup1, f.Label5, f.ZenderEdit, f.ButtOpen, f.ButtSave, f.ButtonRead, f.ButtonWrite};
    for (QWidget* w : outside) EXPECT_TRUE(w->visibleRegion().isEmpty()) << w->objectName().toStdString();

    QTest::keyClick(&f, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(f.size(), QSize(1097, 625));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "still fixed";
    const QRect client = f.rect();
    auto inside = [&](QWidget* w) {
        const QRect r(w->mapTo(&f, QPoint(0, 0)), w->size());
        return client.contains(r) && w->isVisible() && !w->visibleRegion().isEmpty();
    };
    for (QWidget* w : outside) EXPECT_TRUE(inside(w)) << w->metaObject()->className() << " " << w->x();
    EXPECT_TRUE(inside(f.StringGrid1));
    EXPECT_EQ(Places(&f), places) << "nothing moved";
    EXPECT_EQ(FocusChain(&f), chain);
    // The other in-cell editors, over a cell of their column.
    f.StringGrid1->selectCell(2, 15);
    settle();
    EXPECT_TRUE(inside(f.ComboBoxPol));
    f.StringGrid1->selectCell(4, 15);
    settle();
    EXPECT_TRUE(inside(f.ComboBoxDs));
    f.StringGrid1->selectCell(3, 15);
    settle();
    EXPECT_TRUE(inside(f.CSpinEdit1));
    f.StringGrid1->selectCell(0, 1);
    settle();

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(f.size(), QSize(729, 550));
    settle();
    EXPECT_EQ(f.grab().toImage(), designed);
}

// The state line follows what each tick meets, in either position of PANO,
// and the tick's requests stay as they are: one transfer with the meter
// open, none without.
TEST_F(DeviceSettingsView, TheStateLineTellsWhatTheTickMetWithoutAskingMore) {
    TForm1& f = *form;
    EXPECT_EQ(f.LabelState, nullptr) << "nothing is known before the first tick";
    const auto tick = [&](bool pano) {
        f.SpeedButton1->setChecked(pano);
        sim::ClearLog();
        f.ButtonRead_PANOClick();
        EXPECT_LE(sim::Log().size(), 1u);
        return f.LabelState->text();
    };
    EXPECT_EQ(tick(false), "Прибор подключён");
    EXPECT_EQ(tick(true), "Прибор подключён");
    EXPECT_EQ(f.LabelState->parentWidget(), f.Chart1);
    EXPECT_TRUE(f.LabelState->isVisible() || !f.isVisible());
    EXPECT_TRUE(f.Chart1->rect().contains(f.LabelState->geometry()));

    sim::SetOpenFails(meter, true);
    EXPECT_EQ(tick(true), "Нет доступа к прибору");
    EXPECT_TRUE(sim::Log().empty());
#ifndef _WIN32
    EXPECT_TRUE(f.LabelState->toolTip().contains("plugdev")) << f.LabelState->toolTip().toStdString();
    EXPECT_TRUE(f.LabelState->toolTip().contains("udev"));
#endif
    sim::SetOpenFails(meter, false);
    EXPECT_EQ(tick(false), "Прибор подключён");
    sim::Unplug(meter);
    EXPECT_EQ(tick(true), "Прибор не найден");
    EXPECT_EQ(tick(false), "Прибор не найден");
    EXPECT_TRUE(sim::Log().empty());
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty()) << "no box";
}
