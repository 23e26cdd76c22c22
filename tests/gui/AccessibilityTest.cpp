// What assistive technology learns about the window, asked in process
// through QAccessible: roles, names, states and values of the controls, and
// that acting through the accessibility interface behaves as a click does.
#include "Fixture.h"

#include "app/Features.h"

#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <map>

using Accessibility = WindowTest;

namespace {

QAccessibleInterface* A(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
QString Name(QObject* o) { return A(o)->text(QAccessible::Name); }
QAccessible::Role Role(QObject* o) { return A(o)->role(); }

void Act(QObject* o, const QString& action) {
    QAccessibleActionInterface* act = A(o)->actionInterface();
    ASSERT_NE(act, nullptr);
    ASSERT_TRUE(act->actionNames().contains(action)) << act->actionNames().join(',').toStdString();
    act->doAction(action);
}

QVariant Value(QObject* o) {
    QAccessibleValueInterface* v = A(o)->valueInterface();
    return v ? v->currentValue() : QVariant();
}

}  // namespace

TEST_F(Accessibility, EveryControlHasItsRoleAndTheNameTheWindowShowsForIt) {
    TForm1& f = *form;
    struct Expected {
        QWidget* w;
        QAccessible::Role role;
        QString name;
    };
    const std::vector<Expected> controls = {
        {f.ScrollBar1, QAccessible::ScrollBar, "Нижняя граница шкалы уровня"},
        {f.ScrollBar2, QAccessible::ScrollBar, "Высота шкалы уровня"},
        {f.SpeedButton1, QAccessible::Button, "PANO"},
        {f.ScrollBar3, QAccessible::ScrollBar, "Сдвиг"},
        {f.RadioGroupStyle, QAccessible::Grouping, "Стиль"},
        {f.RadioGroupEdin, QAccessible::Grouping, "Ед. изм."},
        {f.RadioGroupFL0, QAccessible::Grouping, "Гетеродин"},
        {f.MaskEdit1, QAccessible::EditableText, "Свой гетеродин"},
        {f.RadioGroupDiap, QAccessible::Grouping, "Диапазон"},
        {f.LabelStep, QAccessible::StaticText, "Шаг 10 МГц"},
        {f.TrackBarStep, QAccessible::Slider, "Шаг"},
        {f.RadioGroupPol, QAccessible::Grouping, "Поляриз."},
        {f.Label6, QAccessible::StaticText, "Калибровка верт. шкалы. "},
        {f.ScrollBar_Koef, QAccessible::ScrollBar, "Коэф"},
        {f.ScrollBar_Opor, QAccessible::ScrollBar, "Опорa"},
        {f.Button2, QAccessible::Button, "Button2"},
        {f.CheckBox_20, QAccessible::CheckBox, "-20 dB"},
        {f.Label7, QAccessible::StaticText, "Сдвиг"},
        {f.CheckBoxAP4, QAccessible::CheckBox, "+9 dB"},
        {f.Button1, QAccessible::Button, "Прошивка"},
        {f.StringGrid1, QAccessible::Table, "Транспондеры"},
        {f.CSpinEdit1, QAccessible::SpinBox, "Частота"},
        {f.CSpinEdit1->lineEdit(), QAccessible::EditableText, "Частота"},
        {f.GroupBox1, QAccessible::Grouping, "Координаты установки"},
        {f.Label1, QAccessible::StaticText, "Широта"},
        {f.MaskEditLati, QAccessible::EditableText, "Широта"},
        {f.Label2, QAccessible::StaticText, "Долгота"},
        {f.MaskEditLongi, QAccessible::EditableText, "Долгота"},
        {f.RadioGroup1, QAccessible::Grouping, "Тип аккумулятора"},
        {f.Label5, QAccessible::StaticText, "Стабилитрон   V"},
        {f.ZenderEdit, QAccessible::SpinBox, "Стабилитрон"},
        {f.ZenderEdit->lineEdit(), QAccessible::EditableText, "Стабилитрон"},
        {f.ButtOpen, QAccessible::Button, "Открыть"},
        {f.ButtSave, QAccessible::Button, "Сохранить"},
        {f.ButtonRead, QAccessible::Button, "Получить"},
        {f.ButtonWrite, QAccessible::Button, "Отправить"},
        {f.Label10, QAccessible::StaticText, "dBuV"},
        {f.Label9, QAccessible::StaticText, "xxx"},
        {f.LabelDEMO, QAccessible::StaticText, "TEST"},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name.toStdString());
        ASSERT_NE(A(e.w), nullptr);
        EXPECT_EQ(Role(e.w), e.role);
        EXPECT_EQ(Name(e.w), e.name);
    }
    EXPECT_EQ(Name(f.Chart1), "СПЕКТР");

    // The in-cell lists. Over AT-SPI Qt names a combo box by its current
    // item; the column's name is its description there.
    const std::vector<std::pair<QComboBox*, QString>> combos = {
        {f.ComboBoxName, "Название"}, {f.ComboBoxPol, "Пол."}, {f.ComboBoxDs, "Вход"}};
    for (const auto& [combo, name] : combos) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(Role(combo), QAccessible::ComboBox);
        EXPECT_EQ(combo->accessibleName(), name);
        EXPECT_EQ(A(combo)->text(QAccessible::Description), name);
    }
    EXPECT_EQ(Name(f.ComboBoxName->lineEdit()), "Название");

    // Every item of the fifteen radio items is a radio button named by its text.
    int items = 0;
    for (toolkit::RadioGroup* g : {f.RadioGroupStyle, f.RadioGroupEdin, f.RadioGroupFL0, f.RadioGroupDiap,
                                   f.RadioGroupPol, f.RadioGroup1}) {
        for (int i = 0; i < g->count(); ++i, ++items) {
            SCOPED_TRACE(g->button(i)->text().toStdString());
            EXPECT_EQ(Role(g->button(i)), QAccessible::RadioButton);
            EXPECT_EQ(Name(g->button(i)), g->button(i)->text());
            EXPECT_TRUE(A(g->button(i))->state().checkable);
            EXPECT_EQ(A(g->button(i))->state().checked, i == g->itemIndex());
            EXPECT_EQ(A(g->button(i))->parent()->object(), g);
        }
    }
    EXPECT_EQ(items, 15);

    // Whatever a user can reach with the keyboard or act on has a name.
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        QAccessibleInterface* a = A(w);
        if (!a || a->role() == QAccessible::Client) continue;  // plain containers
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className() << " in " << w->parent()->metaObject()->className();
    }
}

TEST_F(Accessibility, RadioItemsStayTabStopsOfTheirOwnInCreationOrder) {
    TForm1& f = *form;
    // Exclusive radio buttons would leave only the selected item a tab stop;
    // the group's items keep their own place in the keyboard order.
    std::vector<QWidget*> chain;
    for (QWidget* w = f.nextInFocusChain(); w != &f && chain.size() < 500; w = w->nextInFocusChain())
        chain.push_back(w);
    const auto at = [&](QWidget* w) { return std::find(chain.begin(), chain.end(), w) - chain.begin(); };
    EXPECT_LT(at(f.SpeedButton1), at(f.RadioGroupStyle->button(0)));
    for (toolkit::RadioGroup* g : {f.RadioGroupStyle, f.RadioGroupEdin, f.RadioGroupFL0, f.RadioGroupDiap,
                                   f.RadioGroupPol, f.RadioGroup1}) {
        for (int i = 0; i < g->count(); ++i) {
            EXPECT_TRUE(g->button(i)->focusPolicy() & Qt::TabFocus) << g->button(i)->text().toStdString();
            if (i > 0) {
                EXPECT_LT(at(g->button(i - 1)), at(g->button(i)));
            }
        }
    }
    EXPECT_LT(at(f.RadioGroupFL0->button(3)), at(f.MaskEdit1));
}

TEST_F(Accessibility, RadioItemsSelectedThroughTheInterfaceKeepTheGroupsRules) {
    toolkit::RadioGroup g("G", {"a", "b", "c"});
    QSignalSpy clicks(&g, &toolkit::RadioGroup::clicked);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(A(g.button(i))->state().checked);

    Act(g.button(1), QAccessibleActionInterface::pressAction());
    EXPECT_EQ(g.itemIndex(), 1);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(A(g.button(1))->state().checked);

    // Pressing or toggling the selected item leaves it selected and runs nothing.
    Act(g.button(1), QAccessibleActionInterface::pressAction());
    Act(g.button(1), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(g.itemIndex(), 1);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(A(g.button(1))->state().checked);

    Act(g.button(2), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(g.itemIndex(), 2);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_FALSE(A(g.button(1))->state().checked);
    EXPECT_TRUE(A(g.button(2))->state().checked);

    // A selection from code is seen the same way, and none selected again too.
    g.setItemIndex(0);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_TRUE(A(g.button(0))->state().checked);
    g.setItemIndex(-1);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(A(g.button(i))->state().checked);
}

TEST_F(Accessibility, SelectingAnItemThroughTheInterfaceRunsTheWindowsHandler) {
    TForm1& f = *form;
    Act(f.RadioGroupEdin->button(1), QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.RadioGroupEdin->itemIndex(), 1);
    EXPECT_EQ(f.ScrollBar1->minimum(), -100);
    EXPECT_EQ(f.ScrollBar1->value(), -75);
    EXPECT_EQ(Value(f.ScrollBar1).toInt(), -75);
    f.ButtonRead_PANOClick();
    EXPECT_EQ(Name(f.Label10), "dBm");
    // Back to dBuV; a second press on it changes nothing.
    Act(f.RadioGroupEdin->button(0), QAccessibleActionInterface::pressAction());
    f.ScrollBar1->setValue(30);
    Act(f.RadioGroupEdin->button(0), QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.ScrollBar1->value(), 30);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}

TEST_F(Accessibility, TheToggleIsAButtonThatStaysPressed) {
    TForm1& f = *form;
    QAccessibleInterface* a = A(f.SpeedButton1);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_TRUE(a->state().checkable);
    EXPECT_FALSE(a->state().pressed);
    EXPECT_FALSE(a->state().checked);
    Act(f.SpeedButton1, QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(f.SpeedButton1->isChecked());
    EXPECT_TRUE(a->state().pressed);
    EXPECT_TRUE(a->state().checked);
    // The panorama runs as after a click: the tick sweeps.
    f.ButtonRead_PANOClick();
    ASSERT_FALSE(sim::Log().empty());
    EXPECT_EQ(sim::Log().back().kind, sim::Kind::Sweep);
    Act(f.SpeedButton1, QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(f.SpeedButton1->isChecked());
    EXPECT_FALSE(a->state().pressed);
}

TEST_F(Accessibility, SpinEditorsAreSpinBoxesWithTheirValueAndRange) {
    TForm1& f = *form;
    QAccessibleValueInterface* z = A(f.ZenderEdit)->valueInterface();
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->minimumValue().toInt(), 80);
    EXPECT_EQ(z->maximumValue().toInt(), 90);
    EXPECT_EQ(z->currentValue().toInt(), 80);
    z->setCurrentValue(95);  // limited to the range, as the arrows are
    EXPECT_EQ(f.ZenderEdit->text(), "90");
    EXPECT_EQ(A(f.ZenderEdit)->text(QAccessible::Value), "90");
    EXPECT_TRUE(A(f.ZenderEdit->lineEdit())->state().readOnly);
    // Changing the frequency editor's value is an edit of the cell.
    f.StringGrid1->selectCell(1, 2);
    settle();
    A(f.CSpinEdit1)->valueInterface()->setCurrentValue(11766);
    EXPECT_EQ(f.StringGrid1->cell(1, 2), "11766");
}

TEST_F(Accessibility, TheSharedSpinEditorIsNamedByTheColumnItEdits) {
    TForm1& f = *form;
    f.StringGrid1->selectCell(3, 4);
    settle();
    EXPECT_EQ(Name(f.CSpinEdit1), "Скорость");
    EXPECT_EQ(Name(f.CSpinEdit1->lineEdit()), "Скорость");
    f.StringGrid1->selectCell(1, 4);
    settle();
    EXPECT_EQ(Name(f.CSpinEdit1), "Частота");
    // Another column keeps the last name: the editor is hidden there.
    f.StringGrid1->selectCell(0, 4);
    settle();
    EXPECT_EQ(Name(f.CSpinEdit1), "Частота");
}

TEST_F(Accessibility, TheChartsLabelsAreItsChildrenWithTheirLiveTexts) {
    TForm1& f = *form;
    QAccessibleInterface* chart = A(f.Chart1);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), "СПЕКТР");
    // What the chart holds, by name, as assistive technology walks it.
    const auto children = [chart] {
        QStringList names;
        for (int i = 0; i < chart->childCount(); ++i)
            if (chart->child(i)->role() == QAccessible::StaticText) names << chart->child(i)->text(QAccessible::Name);
        return names;
    };
    EXPECT_EQ(children(), (QStringList{"dBuV", "xxx", "TEST"}));
    EXPECT_EQ(A(f.Label9)->parent()->object(), f.Chart1);

    // The unit label after a tick in dBm, the read-out after a pointer move.
    f.RadioGroupEdin->setItemIndex(1);
    f.ButtonRead_PANOClick();
    f.show();
    QTest::mouseMove(f.Chart1, QPoint(183, 305));
    EXPECT_EQ(children(),
              (QStringList{"dBm", "-55    11850 МГц  H    ПЧ 1250 МГц ", "TEST", "Прибор подключён"}));
    EXPECT_EQ(A(f.LabelState)->text(QAccessible::Description), "Состояние прибора");

    // The peak marker, which the chart paints itself, is read as one more
    // label of the chart while it is shown.
    f.SpeedButton1->setChecked(true);
    f.Features->Item("ActionPeak")->trigger();
    f.ButtonRead_PANOClick();
    ASSERT_TRUE(f.Chart1->marker().has_value());
    const QString peak = f.Chart1->marker()->label;
    EXPECT_TRUE(peak.contains("dBm") && peak.contains("ПЧ")) << peak.toStdString();
    EXPECT_EQ(children().size(), 5);
    EXPECT_EQ(children().last(), peak);
    QAccessibleInterface* marker = chart->child(chart->childCount() - 1);
    EXPECT_EQ(marker->parent(), chart);
    EXPECT_EQ(chart->indexOfChild(marker), chart->childCount() - 1);
    f.Features->Item("ActionPeak")->trigger();
    EXPECT_EQ(children().size(), 4);
}

// Every checkable item of the chart's menu, pressed as a screen reader
// presses it (the menu item's press action, no mouse), switches its feature
// on, and the next press off.
TEST_F(Accessibility, EveryCheckableMenuItemWorksThroughItsPressAction) {
    form->show();
    form->SpeedButton1->setChecked(true);
    form->ButtonRead_PANOClick();
    FeatureSet& features = *form->Features;
    const panorama::TraceTools& traces = features.Pipeline().Traces();
    const std::map<QString, std::function<bool()>> effect = {
        {"ActionDeviceSettings", [&] { return form->size() == TForm1::kWideClientSize; }},
        {"ActionMaxHold", [&] { return traces.MaxHold(); }},
        {"ActionMinHold", [&] { return traces.MinHold(); }},
        {"ActionAverage4", [&] { return traces.Average() == 4; }},
        {"ActionPeak", [&] { return form->Chart1->marker().has_value(); }},
        {"ActionFreeze", [&] { return traces.Frozen(); }},
        {"ActionFind", [&] { return features.Pipeline().Last().finding != nullptr; }},
        {"ActionName", [&] { return features.Pipeline().Last().naming != nullptr; }},
    };
    int pressed = 0;
    for (QAction* item : features.Items()) {
        if (!item->isCheckable() || !item->isEnabled() || item->objectName() == "ActionRecord") continue;
        // The item as assistive technology finds it: a child of its menu.
        QMenu* menu = nullptr;
        for (QObject* o : item->associatedObjects())
            if (qobject_cast<QMenu*>(o)) menu = qobject_cast<QMenu*>(o);
        ASSERT_NE(menu, nullptr) << item->text().toStdString();
        QAccessibleInterface* m = A(menu);
        QAccessibleInterface* entry = nullptr;
        for (int i = 0; i < m->childCount(); ++i)
            if (m->child(i)->text(QAccessible::Name) == item->text()) entry = m->child(i);
        ASSERT_NE(entry, nullptr) << item->text().toStdString();
        const auto press = [&] {
            entry->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            form->ButtonRead_PANOClick();
        };
        const auto on = [&] { return effect.count(item->objectName()) ? effect.at(item->objectName())() : item->isChecked(); };
        press();
        EXPECT_TRUE(item->isChecked() && on()) << item->text().toStdString();
        press();
        EXPECT_FALSE(item->isChecked() || on()) << item->text().toStdString();
        ++pressed;
    }
    EXPECT_GE(pressed, 12);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}
