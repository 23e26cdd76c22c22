// What the window announces to assistive technology as it changes: the
// events a screen reader is told of. Qt hands these on only while a live
// accessibility bridge is active, so run.sh runs this under the AT-SPI bus
// on a real X server; the update handler installed here takes the events
// in the bridge's place.
#include "Fixture.h"

#include "app/Features.h"
#include "app/modules/Guide.h"
#include "app/modules/GuideWindow.h"

#include "toolkit/Application.h"
#include "toolkit/Chart.h"
#include "toolkit/RadioGroup.h"
#include "toolkit/SpinEdit.h"
#include "toolkit/StringGrid.h"

#include <QAccessible>
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

struct Seen {
    QAccessible::Event type;
    QObject* object;
    QAccessible::State changed;  // for a state change
};
std::vector<Seen>& Events() {
    static std::vector<Seen> events;
    return events;
}
void Record(QAccessibleEvent* e) {
    Seen s{e->type(), e->object(), {}};
    if (e->type() == QAccessible::StateChanged) s.changed = static_cast<QAccessibleStateChangeEvent*>(e)->changedStates();
    Events().push_back(s);
}
bool Announced(QAccessible::Event type, QObject* o) {
    return std::any_of(Events().begin(), Events().end(), [&](const Seen& s) { return s.type == type && s.object == o; });
}
template <typename Flag>
bool StateAnnounced(QObject* o, Flag flag) {
    return std::any_of(Events().begin(), Events().end(), [&](const Seen& s) {
        return s.type == QAccessible::StateChanged && s.object == o && flag(s.changed);
    });
}
bool Checked(const QAccessible::State& s) { return s.checked; }
bool Pressed(const QAccessible::State& s) { return s.pressed; }

class Announce : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QAccessible::installUpdateHandler(&Record);
        Events().clear();
    }
    void TearDown() override {
        QAccessible::installUpdateHandler(nullptr);
        WindowTest::TearDown();
    }
};

}  // namespace

TEST_F(Announce, TheReadOutAndTheUnitLabelTellTheirNewTexts) {
    TForm1& f = *form;
    // A pointer move as the window system delivers it (QTest's would move
    // the real pointer here, and arrive some time later).
    QWidget* surface = f.Chart1;
    QMouseEvent move(QEvent::MouseMove, QPointF(133, 215), surface->mapToGlobal(QPointF(133, 215)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(surface, &move);
    ASSERT_NE(f.Label9->text(), "xxx");
    EXPECT_TRUE(Announced(QAccessible::NameChanged, f.Label9));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.Label9)->text(QAccessible::Name), f.Label9->text());

    f.RadioGroupEdin->setItemIndex(1);
    f.ButtonRead_PANOClick();
    EXPECT_TRUE(Announced(QAccessible::NameChanged, f.Label10));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.Label10)->text(QAccessible::Name), "dBm");

    // A tick that changes nothing announces nothing.
    Events().clear();
    f.ButtonRead_PANOClick();
    EXPECT_FALSE(Announced(QAccessible::NameChanged, f.Label10));
}

TEST_F(Announce, ARadioSelectionTellsTheItemsCheckedStates) {
    TForm1& f = *form;
    QRadioButton* dbuv = f.RadioGroupEdin->button(0);
    QRadioButton* dbm = f.RadioGroupEdin->button(1);
    QAccessible::queryAccessibleInterface(dbm)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(StateAnnounced(dbm, Checked));
    EXPECT_TRUE(StateAnnounced(dbuv, Checked));
    EXPECT_TRUE(Announced(QAccessible::ValueChanged, f.ScrollBar1));  // the handler ran
}

TEST_F(Announce, TheToggleTellsItsPressedState) {
    TForm1& f = *form;
    f.SpeedButton1->click();
    EXPECT_TRUE(StateAnnounced(f.SpeedButton1, Pressed));
    EXPECT_TRUE(StateAnnounced(f.SpeedButton1, Checked));
}

TEST_F(Announce, SpinEditorsTellTheirValueAndTheSharedOneItsNewName) {
    TForm1& f = *form;
    f.ZenderEdit->setValue(85);
    EXPECT_TRUE(Announced(QAccessible::ValueChanged, f.ZenderEdit));
    f.StringGrid1->selectCell(3, 1);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Announced(QAccessible::NameChanged, f.CSpinEdit1->lineEdit()));
}

TEST_F(Announce, TheMetersStateAndThePeakMarkerTellWhatBecameOfThem) {
    TForm1& f = *form;
    f.ButtonRead_PANOClick();
    sim::Unplug(meter);
    f.ButtonRead_PANOClick();
    EXPECT_TRUE(Announced(QAccessible::NameChanged, f.LabelState));
    sim::Replug(meter);
    f.SpeedButton1->setChecked(true);
    f.Features->Item("ActionPeak")->trigger();
    f.ButtonRead_PANOClick();
    // The marker has no widget of its own: its events come without one.
    EXPECT_TRUE(Announced(QAccessible::ObjectShow, nullptr));
    f.Features->Item("ActionPeak")->trigger();
    EXPECT_TRUE(Announced(QAccessible::ObjectHide, nullptr));
}

// The guided aiming's verdict, read by its text and described "Наведение",
// tells each change; the same text again tells nothing.
TEST_F(Announce, TheGuidesVerdictTellsEachChange) {
    GuideFeature* guide = form->Features->Find<GuideFeature>();
    form->Features->Item("ActionGuide")->trigger();
    ASSERT_TRUE(guide->Window && guide->Window->isVisible());
    QLabel* verdict = guide->Window->LabelVerdict;
    EXPECT_EQ(QAccessible::queryAccessibleInterface(verdict)->text(QAccessible::Description), "Наведение");
    for (const char* text : {"Сигнала спутника нет", "На цели: 13.0E Hotbird"}) {
        Events().clear();
        guide->Window->ShowVerdict(QString::fromUtf8(text));
        EXPECT_TRUE(Announced(QAccessible::NameChanged, verdict)) << text;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(verdict)->text(QAccessible::Name), QString::fromUtf8(text));
    }
    Events().clear();
    guide->Window->ShowVerdict(QStringLiteral("На цели: 13.0E Hotbird"));
    EXPECT_FALSE(Announced(QAccessible::NameChanged, verdict));
    guide->Window->close();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    toolkit::Application app(argc, argv);
    // The bridge comes up once it has reached the AT-SPI bus.
    QElapsedTimer waited;
    waited.start();
    while (!QAccessible::isActive() && waited.elapsed() < 15000) QTest::qWait(50);
    if (!QAccessible::isActive()) {
        std::fprintf(stderr, "no active accessibility bridge: run this under tests/a11y/run.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
