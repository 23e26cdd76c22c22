// The transponders found and the satellite named, in the real window
// against the simulated meter: known sweeps, and the real skies of 13.0E
// and 58.0W.
#include "Fixture.h"
#include "../unit/TestFiles.h"

#include "app/modules/Analysis.h"
#include "app/modules/Found.h"
#include "app/modules/FoundTable.h"
#include "app/modules/Sky.h"
#include "sky/Matching.h"
#include "app/Features.h"
#include "toolkit/Chart.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/StringGrid.h"

#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

class PanoramaSkyWindow : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        sky = form->Features->Find<SkyFeature>();
        form->Features->Clock = [this] { return now; };
        form->SpeedButton1->setChecked(true);
    }
    // Ticks as Timer1 runs them, 25 ms apart.
    void Tick(int n = 1) {
        for (int k = 0; k < n; ++k) {
            now += 0.025;
            form->ButtonRead_PANOClick();
        }
        QCoreApplication::processEvents();
    }
    // What the pipeline found and named on the latest tick.
    const sky::Finding& Finding() const {
        static const sky::Finding none;
        const sky::Finding* f = form->Features->Pipeline().Last().finding;
        return f ? *f : none;
    }
    bool Named() const {
        const sky::NamingResult* n = form->Features->Pipeline().Last().naming;
        return n && n->named;
    }
    // The level the aiming tone follows while finding is on.
    std::optional<float> StrongestFound() const {
        const live::Sweep& s = form->Features->Pipeline().Last();
        return s.findingOn && s.finding ? sky::StrongestLevel(*s.finding) : std::nullopt;
    }
    FoundTable* Found() const { return form->Features->Find<FoundFeature>()->Table; }
    SkyFeature* sky = nullptr;
    double now = 100;
};

TEST_F(PanoramaSkyWindow, FoundTranspondersAreBracketedAndGoneWhenSwitchedOff) {
    form->show();
    std::array<std::uint8_t, 128> frame{};
    for (int i = 0; i < 128; ++i) frame[i] = static_cast<std::uint8_t>(118 + (i * 5) % 3);
    for (int i = 30; i <= 33; ++i) frame[i] = 150;
    for (int i = 60; i <= 64; ++i) frame[i] = 160;
    sim::MeterAt(meter).scriptedSweeps = {frame};
    Tick();
    EXPECT_FALSE(sky->ActionFind->isChecked() || sky->ActionName->isChecked());
    EXPECT_TRUE(Finding().found.empty());
    const QImage before = form->grab().toImage();

    sky->ActionFind->trigger();  // at once, on the trace already shown
    ASSERT_EQ(Finding().found.size(), 2u);
    // Samples 30..33 lie at IF 950 + 29..32 steps; on the upper band's 10600.
    EXPECT_NEAR(Finding().found[0].centreIf, 950 + 30.5 * 10, 2);
    EXPECT_NEAR(Finding().found[0].centreRf, 10600 + 950 + 30.5 * 10, 2);
    EXPECT_NEAR(Finding().found[1].centreIf, 950 + 61 * 10, 2);
    EXPECT_EQ(form->Features->ReportLines().value(0), "Найдено транспондеров: 2");
    Tick();
    EXPECT_EQ(Finding().found.size(), 2u);
    EXPECT_NE(form->grab().toImage(), before);

    sky->ActionFind->trigger();
    Tick();
    EXPECT_TRUE(Finding().found.empty());
    EXPECT_TRUE(form->Features->ReportLines().isEmpty());
    EXPECT_EQ(form->grab().toImage(), before);
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.messages.isEmpty());
}

TEST_F(PanoramaSkyWindow, NamesTheRealSkyOnALabelOnceTheNameHoldsForASecond) {
    FeatureSet* tools = form->Features.get();
    sim::MeterAt(meter).sky = sim::LoadSky(SCAN_TABLES_DIR, "13.0E", 2);
    ASSERT_TRUE(sim::MeterAt(meter).sky);
    EXPECT_EQ(sky->LabelSat, nullptr);
    form->show();
    tools->Find<AnalysisFeature>()->ShowWindow();
    sky->ActionFind->trigger();
    sky->ActionName->trigger();
    // Every naming names 13.0E from the first sweep on; the label, the
    // report and the plan column wait until the name has held.
    Tick(30);
    ASSERT_TRUE(sky->LabelSat->isVisible());
    EXPECT_EQ(sky->LabelSat->text(), "Спутник не определён");
    EXPECT_TRUE(sky->LabelSat->toolTip().startsWith("1. 13.0E Hotbird")) << sky->LabelSat->toolTip().toStdString();
    EXPECT_FALSE(Named());
    EXPECT_EQ(tools->ReportLines().value(0), "Спутник: Спутник не определён");
    EXPECT_TRUE(Found()->LabelNote->text().contains("сравнивается"));

    Tick(12);
    const QString text = sky->LabelSat->text();
    EXPECT_TRUE(text.startsWith("13.0E Hotbird (")) << text.toStdString() << "\n"
                                                   << sky->LabelSat->toolTip().toStdString();
    EXPECT_TRUE(text.endsWith("гетеродин +2 МГц") || text.endsWith("гетеродин +1 МГц") ||
                text.endsWith("гетеродин +3 МГц")) << text.toStdString();
    EXPECT_EQ(sky->LabelSat->toolTip().count('\n'), 2);
    EXPECT_TRUE(Named());
    EXPECT_EQ(tools->ReportLines().value(0), "Спутник: " + text);
    // At once, not at the table's next refresh.
    EXPECT_TRUE(Found()->LabelNote->text().startsWith("План спутника: 13.0E Hotbird ("));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(sky->LabelSat);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), text);
    EXPECT_EQ(a->text(QAccessible::Description), "Спутник");

    // Samples that mean something else, and naming switched on again, make
    // the name wait again.
    form->RadioGroupEdin->setItemIndex(1);
    Tick();
    EXPECT_EQ(sky->LabelSat->text(), "Спутник не определён");
    Tick(45);
    EXPECT_TRUE(sky->LabelSat->text().startsWith("13.0E Hotbird (")) << sky->LabelSat->text().toStdString();
    sky->ActionName->trigger();
    EXPECT_FALSE(sky->LabelSat->isVisible());
    EXPECT_FALSE(Named());
    sky->ActionName->trigger();
    EXPECT_EQ(sky->LabelSat->text(), "Спутник не определён");
}

TEST_F(PanoramaSkyWindow, APositionBelowTheHorizonOfTheSiteGivenIsNeverNamed) {
    // 58.0W lies below the horizon of 50.0N 36.0E, the values the fields
    // start with; those are no site until the user gives one.
    sim::MeterAt(meter).sky = sim::LoadSky(SCAN_TABLES_DIR, "58.0W", 2);
    ASSERT_TRUE(sim::MeterAt(meter).sky);
    sky->ActionName->trigger();
    Tick(50);
    EXPECT_TRUE(sky->LabelSat->text().startsWith("58.0W ")) << sky->LabelSat->text().toStdString();

    // The same latitude typed in makes the fields the site.
    form->MaskEditLati->selectAll();
    QTest::keyClicks(form->MaskEditLati, "500");
    ASSERT_EQ(form->MaskEditLati->maskedText(), "50,0");
    for (int k = 0; k < 60; ++k) {
        Tick();
        ASSERT_FALSE(sky->LabelSat->text().startsWith("58.0W")) << "tick " << k;
    }
}

TEST_F(PanoramaSkyWindow, ASatellitesXmlReplacesThePlansAndABadOneChangesNothing) {
    // A scratch folder of the process's own: QTemporaryDir's random names
    // crash the static Qt under Wine.
    const auto dir = testfiles::ScratchDir("satellites_xml");
    std::filesystem::create_directories(dir);
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    const QString good = QString::fromStdString(testfiles::Utf8(dir / "satellites.xml"));
    const QString bad = QString::fromStdString(testfiles::Utf8(dir / "bad.xml"));
    QFile g(good), b(bad);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    // One transponder with a letter for its polarisation: skipped, the rest loads.
    g.write("<satellites>\n<sat name=\"30.0W Test\" position=\"-300\">\n"
            "<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"0\"/>\n"
            "<transponder frequency=\"11100000\" symbol_rate=\"27500000\" polarization=\"V\"/>\n"
            "<transponder frequency=\"11200000\" symbol_rate=\"27500000\" polarization=\"1\"/>\n"
            "</sat>\n</satellites>\n");
    b.write("<satellites><sat name=\"Broken\" position=\"130\">");
    g.close();
    b.close();

    dialogs.fileChoices = {good, bad};
    sky->ActionLoad->trigger();
    ASSERT_EQ(form->Features->Pipeline().Plans().size(), 1u);
    EXPECT_EQ(form->Features->Pipeline().Plans()[0].position, "30.0W");
    EXPECT_EQ(form->Features->Pipeline().Plans()[0].transponders.size(), 2u);
    EXPECT_EQ(dialogs.messages,
              QStringList{"Загружено: 1 позиция, 2 транспондера; пропущено записей: 1 (строка 4: неверная поляризация)"});
    sky->ActionLoad->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1], "Список спутников не загружен: строка 1: файл оборван внутри <sat>");
    ASSERT_EQ(form->Features->Pipeline().Plans().size(), 1u);
    EXPECT_EQ(form->Features->Pipeline().Plans()[0].transponders.size(), 2u);
    EXPECT_EQ(form->Features->Pipeline().Plans()[0].name, "Test");
    EXPECT_EQ(dialogs.fileDialogs.size(), 2);
    EXPECT_TRUE(dialogs.fileDialogs[0].mustExist);
}

TEST_F(PanoramaSkyWindow, TheAnalysisTableAndTheAimingToneTakeTheTranspondersFound) {
    FeatureSet* tools = form->Features.get();
    // A table entry at the second plateau's centre, on the axis (RF).
    form->StringGrid1->setCell(0, 1, "Ast 19E");
    for (int c = 1; c < 5; ++c) form->StringGrid1->setCell(c, 1, QStringList{"", "12160", "H", "27500", "1"}[c]);
    std::array<std::uint8_t, 128> frame{};
    for (int i = 0; i < 128; ++i) frame[i] = static_cast<std::uint8_t>(118 + (i * 5) % 3);
    for (int i = 30; i <= 33; ++i) frame[i] = 150;
    for (int i = 60; i <= 64; ++i) frame[i] = 160;
    sim::MeterAt(meter).scriptedSweeps = {frame};
    tools->Find<AnalysisFeature>()->ShowWindow();
    Tick();
    ASSERT_TRUE(Found()->isVisible());
    EXPECT_TRUE(Found()->Rows().empty());
    EXPECT_TRUE(Found()->LabelNote->text().contains("Shift+F3"));
    EXPECT_FALSE(StrongestFound());

    sky->ActionFind->trigger();
    const std::vector<QStringList>& rows = Found()->Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Found()->Table->rowCount(), 2);
    EXPECT_EQ(rows[0][5], "");
    EXPECT_EQ(rows[1][5], "Ast 19E 12160");
    EXPECT_EQ(Found()->Table->item(1, 5)->text(), "Ast 19E 12160");
    EXPECT_EQ(StrongestFound(), Finding().found[1].level);

    sky->ActionFind->trigger();
    EXPECT_TRUE(Found()->Rows().empty());
    EXPECT_FALSE(StrongestFound());
}
