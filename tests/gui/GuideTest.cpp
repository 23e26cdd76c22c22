// Guided aiming in the real window against the simulated meter's real sky:
// the verdict on the target and on a neighbour, the figures, the target's
// bands on the chart (and in what the report and snapshot paint), and the
// moments kept for the report.
#include "Fixture.h"

#include "app/Features.h"
#include "app/modules/Guide.h"
#include "app/modules/GuideWindow.h"
#include "app/modules/Sky.h"
#include "toolkit/Chart.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

// Pixels of the target's faint blue bands in what the chart paints for a
// report or a snapshot: nothing else on the chart is blue.
int GhostPixels(toolkit::Chart* chart) {
    QImage image(chart->size(), QImage::Format_RGB32);
    QPainter p(&image);
    chart->paintChart(p);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.blue() > c.red() + 20 && c.blue() > c.green() + 10;
        }
    return n;
}

}  // namespace

class GuideWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->Features->Clock = [this] { return now; };
        guide = form->Features->Find<GuideFeature>();
        form->SpeedButton1->setChecked(true);
    }
    void Tick(int n = 1) {
        for (int k = 0; k < n; ++k) {
            now += 0.025;
            form->ButtonRead_PANOClick();
        }
    }
    void Aim(const char* position) {
        const auto& targets = guide->Targets();
        for (std::size_t i = 0; i < targets.size(); ++i)
            if (targets[i].label.rfind(position, 0) == 0) return guide->Window->ComboTarget->setCurrentIndex(int(i));
        ADD_FAILURE() << position << " is not offered";
    }
    GuideFeature* guide = nullptr;
    double now = 100;
};

TEST_F(GuideWindowTest, SaysOnTargetOrWhichWayToTurnAndShowsTheTargetOnTheChart) {
    sim::MeterAt(meter).sky = sim::LoadSky(SCAN_TABLES_DIR, "13.0E", 2);
    ASSERT_TRUE(sim::MeterAt(meter).sky);
    form->show();
    Tick();
    EXPECT_EQ(GhostPixels(form->Chart1), 0);
    QAction* item = form->Features->Item("ActionGuide");
    EXPECT_EQ(item->text(), "Навести на спутник…");
    item->trigger();
    GuideWindow& w = *guide->Window;
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Velkarn3 — Наведение");
    // An empty table: no target until one is chosen. The fields' design
    // values are no site: the window asks for one.
    EXPECT_TRUE(w.LabelNote->isVisible() && w.LabelNote->text().startsWith("Выберите цель"));
    Aim("13.0E");
    EXPECT_TRUE(w.EditLatitude->text().isEmpty());
    EXPECT_TRUE(w.LabelNote->isVisible() && w.LabelNote->text().startsWith("Укажите координаты"));
    QTest::keyClicks(w.EditLatitude, "55,7");
    QTest::keyClicks(w.EditLongitude, "37.6");
    Tick();
    EXPECT_FALSE(w.LabelNote->isVisible());
    EXPECT_EQ(w.LabelAzimuth->text(), "Азимут: 209,0°");
    EXPECT_EQ(w.LabelMagnetic->text(), "Магнитный азимут: 196,9°");
    EXPECT_TRUE(w.LabelElevation->text().startsWith("Угол места: 22,"));
    EXPECT_TRUE(w.LabelSkew->text().startsWith("Поворот LNB: +"));
    EXPECT_TRUE(w.LabelSun->text().startsWith("Солнце на азимуте спутника: "));
    EXPECT_GT(GhostPixels(form->Chart1), 1000) << "the target's bands";

    Tick(45);
    EXPECT_EQ(w.LabelVerdict->text(), "На цели: 13.0E Hotbird");
    EXPECT_TRUE(form->Features->Pipeline().Last().targetLevel) << "the level the tone follows";
    EXPECT_TRUE(w.LabelBest->text().contains("dBuV")) << w.LabelBest->text().toStdString();
    w.ButtonMark->click();

    // Aimed at the neighbour east of it, the sweep of 13.0E says to turn east.
    Aim("16.0E");
    Tick(45);
    EXPECT_TRUE(w.LabelVerdict->text().startsWith("Это 13.0E Hotbird: поверните на ")) << w.LabelVerdict->text().toStdString();
    EXPECT_TRUE(w.LabelVerdict->text().contains("к востоку (по азимуту −"));
    EXPECT_EQ(form->Features->ReportLines().value(0), "Наведение");
    EXPECT_TRUE(form->Features->ReportLines().value(1).contains("13.0E Hotbird: На цели"));

    // The menu's naming and finding switched on and off again while aiming:
    // the label goes, and the table and the tone are told finding is off,
    // though both still run for the guide.
    QAction* name = form->Features->Item("ActionName");
    QAction* find = form->Features->Item("ActionFind");
    name->trigger();
    find->trigger();
    Tick();
    SkyFeature* sky = form->Features->Find<SkyFeature>();
    EXPECT_TRUE(sky->LabelSat->isVisible() && form->Features->Pipeline().Last().findingOn);
    name->trigger();
    find->trigger();
    Tick();
    EXPECT_FALSE(sky->LabelSat->isVisible() || form->Features->Pipeline().Last().findingOn);
    EXPECT_NE(form->Features->Pipeline().Last().finding, nullptr);

    // Closed, the chart is as before it opened.
    w.close();
    Tick();
    EXPECT_EQ(GhostPixels(form->Chart1), 0);
    EXPECT_EQ(form->Features->Pipeline().Last().naming, nullptr);
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.messages.isEmpty());
}
