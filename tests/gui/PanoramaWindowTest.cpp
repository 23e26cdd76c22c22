#include "Fixture.h"

#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>

using PanoramaWindow = WindowTest;

namespace {
double Min(const toolkit::ChartAxis* a) { return a->minimum(); }
double Max(const toolkit::ChartAxis* a) { return a->maximum(); }
}  // namespace

TEST_F(PanoramaWindow, StartsInTheStatedState) {
    TForm1& f = *form;
    EXPECT_EQ(f.windowTitle(), "Velkarn3 Pano 01");
    EXPECT_EQ(f.size(), QSize(729, 550));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(f.LabelStep->text(), "Шаг 10 МГц");
    EXPECT_EQ(f.Label10->text(), "dBuV");
    EXPECT_EQ(Min(f.LeftAxis), 45);
    EXPECT_EQ(Max(f.LeftAxis), 125);
    EXPECT_EQ(f.ScrollBar1->minimum(), 0);
    EXPECT_EQ(f.ScrollBar1->maximum(), 80);
    EXPECT_EQ(f.ScrollBar1->value(), 45);
    EXPECT_EQ(f.PanoStep, 10u);
    // The panorama starts where the shift bar's position puts it.
    EXPECT_EQ(f.PanoShift, 950);
    EXPECT_EQ(f.StartPanoFrec, 11550);
    EXPECT_EQ(Min(f.BottomAxis), 11550);
    EXPECT_EQ(Max(f.BottomAxis), 12830);
    EXPECT_EQ(f.Label8->text(), "950 МГц");
    EXPECT_EQ(f.LabelStartPanoFrec->text(), "11550");
    EXPECT_EQ(f.PanoFlags, 0u);
    EXPECT_EQ(f.PanoOpor, 0);
    EXPECT_EQ(f.PanoKoef, 0.0f);
    EXPECT_EQ(f.SettingsBuf, settings::SettingsBlock{});
    EXPECT_EQ(f.RadioGroupDiap->itemIndex(), 0);
    EXPECT_EQ(f.RadioGroupPol->itemIndex(), 0);
    EXPECT_EQ(f.RadioGroupFL0->itemIndex(), 0);
    EXPECT_EQ(f.RadioGroupStyle->itemIndex(), 1);
    EXPECT_EQ(f.RadioGroupEdin->itemIndex(), 0);
    EXPECT_EQ(f.RadioGroup1->itemIndex(), -1);
    EXPECT_FALSE(f.SpeedButton1->isChecked());
    EXPECT_TRUE(f.CheckBoxAP4->isChecked());
    EXPECT_FALSE(f.CheckBox_20->isChecked());
    EXPECT_EQ(f.LabelDEMO->text(), "TEST");
    const char* headers[] = {" Название", " Частота", " Пол.", " Скорость", " Вход"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(f.StringGrid1->cell(c, 0), QString::fromUtf8(headers[c]));
        for (int r = 1; r < 16; ++r) EXPECT_TRUE(f.StringGrid1->cell(c, r).isEmpty());
    }
    // Groups B and C lie outside the client area, yet are enabled.
    for (QWidget* w : {static_cast<QWidget*>(f.Button2), static_cast<QWidget*>(f.CheckBoxAP4),
                       static_cast<QWidget*>(f.Button1), static_cast<QWidget*>(f.StringGrid1),
                       static_cast<QWidget*>(f.ButtonWrite)}) {
        EXPECT_FALSE(f.rect().contains(w->geometry())) << w->metaObject()->className();
        EXPECT_TRUE(w->isEnabled());
    }
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
}

TEST_F(PanoramaWindow, SweepTickSendsTheWordsAndDrawsOneTrace) {
    TForm1& f = *form;
    f.SpeedButton1->click();
    ASSERT_TRUE(f.SpeedButton1->isChecked());
    f.ButtonRead_PANOClick();
    ASSERT_EQ(sim::Log().size(), 1u);
    const sim::Transfer& t = sim::Log()[0];
    EXPECT_EQ(t.kind, sim::Kind::Sweep);
    EXPECT_EQ(t.value, 0xE002);
    EXPECT_EQ(t.index, 0xA3B6);
    EXPECT_EQ(f.PanoFlags, 0xE000u);
    EXPECT_EQ(f.PanoOpor, 9);
    EXPECT_FLOAT_EQ(f.PanoKoef, 0.43f);
    EXPECT_EQ(f.LabelOpor->text(), "Опорa 9");
    EXPECT_EQ(f.LabelKoef->text(), "Коэф 0,4300");

    // The fill style draws into the area series only.
    ASSERT_EQ(f.Series2->count(), 128);
    EXPECT_EQ(f.Series1->count(), 0);
    EXPECT_EQ(f.Series2->at(0).x(), 11540);
    EXPECT_EQ(f.Series2->at(127).x(), 11550 + 1260);
    for (int i = 0; i < 128; ++i)
        ASSERT_FLOAT_EQ(f.Series2->at(i).y(), (t.dataIn[i] - 9) * 0.43f) << i;

    // Line style and dBm: the other series, levels shifted; no meter: the trace stays.
    f.RadioGroupStyle->setItemIndex(0);
    f.RadioGroupEdin->setItemIndex(1);
    f.ButtonRead_PANOClick();
    EXPECT_EQ(f.Series2->count(), 0);
    ASSERT_EQ(f.Series1->count(), 128);
    EXPECT_EQ(f.Label10->text(), "dBm");
    EXPECT_EQ(f.PanoOpor, 261);
    const QList<QPointF> trace = f.Series1->points();
    sim::Unplug(meter);
    f.ButtonRead_PANOClick();
    EXPECT_EQ(f.Series1->points(), trace);
    EXPECT_EQ(sim::Log().size(), 2u);
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
}

TEST_F(PanoramaWindow, IdleTickFillsTheSettingsBufferWithoutTouchingTheGrid) {
    TForm1& f = *form;
    sim::MeterAt(meter).settings = sim::DemoSettings();
    f.ButtonRead_PANOClick();
    ASSERT_EQ(sim::Log().size(), 1u);
    EXPECT_EQ(sim::Log()[0].kind, sim::Kind::Idle);
    EXPECT_EQ(f.SettingsBuf, sim::DemoSettings());
    EXPECT_TRUE(f.StringGrid1->cell(0, 1).isEmpty());
    EXPECT_EQ(f.Series2->count(), 0);
}

TEST_F(PanoramaWindow, TimerTicksLeaveNoHandleOpenWithOrWithoutAMeter) {
    TForm1& f = *form;
    f.SpeedButton1->click();
    f.Timer1->start();
    QTest::qWait(120);
    sim::Unplug(meter);
    QTest::qWait(60);
    f.Timer1->stop();
    EXPECT_GE(sim::Calls().init, 4);
    EXPECT_EQ(sim::Calls().open, sim::Calls().close);
    EXPECT_EQ(sim::OpenHandles(), 0);
}

TEST_F(PanoramaWindow, StepBandOscillatorAndShiftKeepTheAxisConsistent) {
    TForm1& f = *form;
    f.TrackBarStep->setValue(1);
    EXPECT_EQ(f.PanoStep, 1u);
    EXPECT_EQ(f.LabelStep->text(), "Шаг 1 МГц");
    EXPECT_EQ(f.ScrollBar3->singleStep(), 1);
    EXPECT_EQ(f.ScrollBar3->pageStep(), 1);
    EXPECT_EQ(Min(f.BottomAxis), 11550);
    EXPECT_EQ(Max(f.BottomAxis), 11550 + 128);
    f.TrackBarStep->setValue(10);
    EXPECT_EQ(Max(f.BottomAxis), 12830);

    f.RadioGroupDiap->setItemIndex(1);
    EXPECT_EQ(f.StartPanoFrec, 10700);
    EXPECT_EQ(f.LabelStartPanoFrec->text(), "10700 МГц");
    EXPECT_EQ(Min(f.BottomAxis), 10700);
    f.RadioGroupDiap->setItemIndex(0);
    EXPECT_EQ(Min(f.BottomAxis), 11550);

    f.RadioGroupFL0->setItemIndex(2);
    EXPECT_EQ(Min(f.BottomAxis), 4200);
    EXPECT_EQ(Max(f.BottomAxis), 5480);
    EXPECT_EQ(f.LabelStartPanoFrec->text(), "11550 МГц") << "the oscillator leaves the label";
    f.RadioGroupFL0->setItemIndex(1);
    EXPECT_EQ(f.StartPanoFrec, 11700);

    // The own oscillator is read when the oscillator, band or shift changes.
    f.RadioGroupFL0->setItemIndex(3);
    EXPECT_EQ(f.StartPanoFrec, 10950);
    f.MaskEdit1->setMaskedText("09000");
    EXPECT_EQ(f.StartPanoFrec, 10950);
    f.ScrollBar3->setValue(0);
    EXPECT_EQ(f.PanoShift, 2150);
    EXPECT_EQ(f.StartPanoFrec, 9000 + 2150);
    EXPECT_EQ(f.Label8->text(), "2150 МГц");
    EXPECT_EQ(f.LabelStartPanoFrec->text(), "11150");
    EXPECT_EQ(Min(f.BottomAxis), 11150);
    EXPECT_EQ(Max(f.BottomAxis), 11150 + 1280);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(PanoramaWindow, BadOwnOscillatorTextStopsTheHandlerWithTheErrorBox) {
    TForm1& f = *form;
    f.MaskEdit1->setMaskedText("1000 ");
    EXPECT_EQ(f.MaskEdit1->maskedText(), "1000 ");
    f.RadioGroupFL0->setItemIndex(3);
    ASSERT_EQ(dialogs.errors, QStringList{"'1000 ' is not a valid integer value"});
    EXPECT_EQ(f.StartPanoFrec, 11550) << "nothing changes before the conversion";
    EXPECT_EQ(Min(f.BottomAxis), 11550);

    // The shift bar has lowered the axis minimum and moved the shift already.
    f.ScrollBar3->setValue(1100);
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_EQ(f.PanoShift, 1050);
    EXPECT_EQ(f.StartPanoFrec, 11550);
    EXPECT_EQ(Min(f.BottomAxis), 0);
    EXPECT_EQ(Max(f.BottomAxis), 12830);
    EXPECT_EQ(f.Label8->text(), "950 МГц");
    // Mending the text mends the axis at the next change.
    f.MaskEdit1->setMaskedText("10000");
    f.ScrollBar3->setValue(1200);
    EXPECT_EQ(Min(f.BottomAxis), 10950);
    EXPECT_EQ(dialogs.errors.size(), 2);
}

TEST_F(PanoramaWindow, UnitSwitchRerangesTheLevelScale) {
    TForm1& f = *form;
    f.ScrollBar1->setValue(70);
    f.ScrollBar2->setValue(20);
    EXPECT_EQ(Min(f.LeftAxis), 70);
    EXPECT_EQ(Max(f.LeftAxis), 90);
    f.ScrollBar2->setValue(80);
    f.RadioGroupEdin->setItemIndex(1);
    EXPECT_EQ(f.ScrollBar1->minimum(), -100);
    EXPECT_EQ(f.ScrollBar1->maximum(), 0);
    EXPECT_EQ(f.ScrollBar1->value(), -75);
    EXPECT_EQ(Min(f.LeftAxis), -75);
    EXPECT_EQ(Max(f.LeftAxis), 5);
    EXPECT_EQ(f.Label10->text(), "dBuV") << "the unit label follows at the next tick";
    f.ScrollBar1->setValue(-100);
    f.RadioGroupEdin->setItemIndex(0);
    EXPECT_EQ(f.ScrollBar1->value(), 45);
    EXPECT_EQ(f.ScrollBar1->minimum(), 0);
    EXPECT_EQ(f.ScrollBar1->maximum(), 80);
    EXPECT_EQ(Min(f.LeftAxis), 45);
    EXPECT_EQ(Max(f.LeftAxis), 125);
}

// The axes refuse an inverted range by throwing; no sequence of user changes
// may ever ask for one.
TEST_F(PanoramaWindow, NoControlSequenceAsksForAnInvertedAxis) {
    TForm1& f = *form;
    std::srand(7);
    for (int i = 0; i < 3000; ++i) {
        switch (std::rand() % 8) {
        case 0: f.TrackBarStep->setValue(1 + std::rand() % 10); break;
        case 1: f.ScrollBar3->setValue(std::rand() % 1201); break;
        case 2: f.RadioGroupDiap->setItemIndex(std::rand() % 2); break;
        case 3: f.RadioGroupFL0->setItemIndex(std::rand() % 4); break;
        case 4: f.RadioGroupEdin->setItemIndex(std::rand() % 2); break;
        case 5: f.ScrollBar1->setValue(f.ScrollBar1->minimum() + std::rand() % 101); break;
        case 6: f.ScrollBar2->setValue(20 + std::rand() % 61); break;
        case 7: f.MaskEdit1->setMaskedText(QString::number(std::rand() % 100000).rightJustified(5, '0')); break;
        }
        ASSERT_TRUE(dialogs.errors.isEmpty()) << i << ": " << dialogs.errors.join('\n').toStdString();
        ASSERT_LE(Min(f.BottomAxis), Max(f.BottomAxis));
        ASSERT_EQ(Min(f.LeftAxis), f.ScrollBar1->value());
        ASSERT_EQ(Max(f.LeftAxis), f.ScrollBar1->value() + f.ScrollBar2->value());
    }
    // And the wrapper does refuse.
    EXPECT_THROW(f.LeftAxis->setMinimum(Max(f.LeftAxis) + 1), std::exception);
    EXPECT_THROW(f.BottomAxis->setMaximum(Min(f.BottomAxis) - 1), std::exception);
}

TEST_F(PanoramaWindow, MouseReadoutOverTheChart) {
    TForm1& f = *form;
    f.show();
    EXPECT_EQ(f.Label9->text(), "xxx");
    QTest::mouseMove(f.Chart1, QPoint(133, 215));
    EXPECT_EQ(f.Label9->text(), "85    11750 МГц  H    ПЧ 1150 МГц ");
    f.RadioGroupPol->setItemIndex(1);
    QTest::mouseMove(f.Chart1, QPoint(33, 395));
    EXPECT_EQ(f.Label9->text(), "45    11550 МГц  V    ПЧ 950 МГц ");
}

// What a tick draws lies where the read-out reads it: sample i in column
// 33 + 5 (i - 1), at the row its level gives, in both styles and both units;
// pointing at it prints its frequency and (to the pixel) its level.
TEST_F(PanoramaWindow, TheTraceIsDrawnWhereTheReadoutReadsIt) {
    TForm1& f = *form;
    f.show();
    f.SpeedButton1->click();
    const QColor trace(255, 255, 128);
    for (int unit : {0, 1}) {
        for (int style : {0, 1}) {
            f.RadioGroupEdin->setItemIndex(unit);
            f.RadioGroupStyle->setItemIndex(style);
            f.ButtonRead_PANOClick();
            const toolkit::ChartSeries* s = style == 0 ? f.Series1 : f.Series2;
            ASSERT_EQ(s->count(), 128);
            const QImage img = f.Chart1->grab().toImage();
            const double lo = Min(f.LeftAxis), span = Max(f.LeftAxis) - lo;
            const auto row = [&](int i) { return f.Chart1->mapping().Y(s->at(i).y()); };
            int checked = 0;
            for (int i = 1; i < 127; ++i) {
                const int x = common::PlotArea::kLeft + common::PlotArea::kPixelsPerStep * (i - 1);
                const double y = row(i);
                if (y < 37 || y > 393) continue;
                int top = -1;
                for (int r = common::PlotArea::kTop; r < common::PlotArea::kBottom && top < 0; ++r)
                    if (img.pixelColor(x, r) == trace) top = r;
                ASSERT_GE(top, 0) << "unit " << unit << " style " << style << " sample " << i;
                if (style == 0) {
                    EXPECT_TRUE(img.pixelColor(x, int(y)) == trace || img.pixelColor(x, int(y) + 1) == trace ||
                                img.pixelColor(x, int(y) - 1) == trace) << i;
                } else {
                    // The column's top lies on the line towards the next sample, and
                    // the fill goes down to the plot's bottom.
                    EXPECT_GE(top, std::min(y, row(i + 1)) - 1) << i;
                    EXPECT_LE(top, std::max(y, row(i + 1)) + 1) << i;
                    for (int r = top; r < common::PlotArea::kBottom; ++r) ASSERT_EQ(img.pixelColor(x, r), trace) << i << "," << r;
                }
                QTest::mouseMove(f.Chart1, QPoint(x, int(std::lround(y))));
                const QStringList parts = f.Label9->text().split(' ', Qt::SkipEmptyParts);
                ASSERT_GE(parts.size(), 2);
                EXPECT_NEAR(parts[0].toInt(), s->at(i).y(), span / common::PlotArea::kHeight + 1) << i;
                EXPECT_EQ(parts[1].toInt(), s->at(i).x()) << i;
                ++checked;
            }
            EXPECT_GT(checked, 60) << "unit " << unit << " style " << style;
        }
    }
}

TEST_F(PanoramaWindow, ThePlotAreaIsWhereTheReadoutExpectsIt) {
    TForm1& f = *form;
    EXPECT_EQ(f.Chart1->geometry(), QRect(56, 0, 673, 425));
    EXPECT_EQ(f.Chart1->plotRect(), QRect(33, 35, 640, 360));
    // The axis minimum maps to the plot's left edge and bottom.
    const QPointF p = f.Chart1->mapToPosition(QPointF(Min(f.BottomAxis), Min(f.LeftAxis)));
    EXPECT_NEAR(p.x(), 33, 0.5);
    EXPECT_NEAR(p.y(), 395, 0.5);
}

TEST_F(PanoramaWindow, TestMarkerStaysOnTheChart) {
    TForm1& f = *form;
    for (int i = 0; i < 500; ++i) {
        f.Button2->click();
        const QPoint p = f.LabelDEMO->pos();
        ASSERT_GE(p.x(), 30);
        ASSERT_LE(p.x(), 629);
        ASSERT_GE(p.y(), 40);
        ASSERT_LE(p.y(), 379);
    }
    EXPECT_EQ(f.LabelDEMO->parentWidget(), f.Chart1);
    EXPECT_EQ(f.Timer2->interval(), 2000);
    EXPECT_EQ(f.Timer1->interval(), 25);
}

TEST_F(PanoramaWindow, ThePlusNineCheckBoxSetsItsBitAtOnce) {
    TForm1& f = *form;
    f.CheckBoxAP4->click();
    EXPECT_EQ(f.PanoFlags & 0x2000u, 0u);
    f.CheckBoxAP4->click();
    EXPECT_EQ(f.PanoFlags, 0x2000u);
    f.CheckBox_20->click();
    f.SpeedButton1->click();
    f.ButtonRead_PANOClick();
    EXPECT_EQ(sim::Log().back().value, 0xF002);
}
