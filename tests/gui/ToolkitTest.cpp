#include "Fixture.h"

#include "common/Convert.h"
#include "toolkit/Application.h"
#include "toolkit/ChartAxis.h"
#include "toolkit/MaskEdit.h"
#include "toolkit/RadioGroup.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

TEST(ToolkitRadioGroup, SelectionFromCodeRunsTheClickOnlyOnAChange) {
    toolkit::RadioGroup g("G", {"a", "b", "c"});
    QSignalSpy clicks(&g, &toolkit::RadioGroup::clicked);
    EXPECT_EQ(g.itemIndex(), -1);
    g.setItemIndex(1);
    EXPECT_EQ(clicks.count(), 1);
    g.setItemIndex(1);
    EXPECT_EQ(clicks.count(), 1);
    // Out-of-range indexes are limited to the items.
    g.setItemIndex(255);
    EXPECT_EQ(g.itemIndex(), 2);
    g.setItemIndex(-7);
    EXPECT_EQ(g.itemIndex(), -1);
    EXPECT_EQ(clicks.count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(g.button(i)->isChecked());
    // A user's click selects, a click on the selected item changes nothing.
    g.button(0)->click();
    g.button(0)->click();
    EXPECT_EQ(g.itemIndex(), 0);
    EXPECT_TRUE(g.button(0)->isChecked());
    EXPECT_EQ(clicks.count(), 4);
}

// The 39-pixel field of five digits under the wide fallback font: the
// first digit stays in sight with the cursor at the end.
TEST(ToolkitMaskEdit, AWiderFallbackFontStillShowsEveryDigit) {
    QWidget window;
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setBold(true);
    window.setFont(f);
    toolkit::MaskEdit own("99999", "10000", &window);
    own.setGeometry(152, 520, 39, 21);
    own.end(false);
    (void)own.grab();
    EXPECT_EQ(own.cursorPositionAt(QPoint(4, 10)), 0);
    EXPECT_LT(own.font().pixelSize(), 11);
}

TEST(ToolkitMaskEdit, UnfilledPositionsReadAsBlanks) {
    toolkit::MaskEdit lati("99,9", "50,0");
    EXPECT_EQ(lati.maskedText(), "50,0");
    lati.setMaskedText("5 ,0");
    EXPECT_EQ(lati.maskedText(), "5 ,0");
    toolkit::MaskEdit longi("999,9", "036,0");
    EXPECT_EQ(longi.maskedText(), "036,0");
    // Typing replaces digits in place; letters are not taken.
    longi.show();
    longi.setFocus();
    longi.setCursorPosition(0);
    QTest::keyClicks(&longi, "1x2");
    EXPECT_EQ(longi.maskedText(), "126,0");
    longi.setCursorPosition(5);
    QTest::keyClick(&longi, Qt::Key_Backspace);
    EXPECT_EQ(longi.maskedText(), "126, ");
}

TEST(ToolkitChartAxis, RefusesAnInvertedRangeAndKeepsTheOldOne) {
    toolkit::ChartAxis axis(0, 255);
    int changes = 0;
    axis.setOnChange([&] { ++changes; });
    axis.setMinimum(255);
    EXPECT_THROW(axis.setMinimum(256), std::exception);
    EXPECT_THROW(axis.setMaximum(254), std::exception);
    EXPECT_EQ(axis.minimum(), 255);
    EXPECT_EQ(axis.maximum(), 255);
    EXPECT_EQ(changes, 1);  // a refused limit is not a change
    axis.setMaximum(1000);
    axis.setMinimum(-1000);
    EXPECT_EQ(axis.minimum(), -1000);
    EXPECT_EQ(axis.maximum(), 1000);
    EXPECT_EQ(changes, 3);
}

// From any range to any other through the floor, never inverted on the way.
TEST(ToolkitChartAxis, ARangeSetFromTheFloorIsNeverRefused) {
    toolkit::ChartAxis axis(45, 125);
    axis.setRangeFromFloor(-1000, 5, -75);  // wholly below the old range
    EXPECT_EQ(axis.minimum(), -75);
    EXPECT_EQ(axis.maximum(), 5);
    axis.setRangeFromFloor(-1000, 125, 45);  // wholly above it
    EXPECT_EQ(axis.minimum(), 45);
    EXPECT_EQ(axis.maximum(), 125);
}

namespace {
class Throwing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Range check error");
        return QObject::event(e);
    }
};
}  // namespace

TEST(ToolkitErrors, AnExceptionEscapingDeliveryIsShownAndTheLoopGoesOn) {
    ScriptedDialogs d;
    toolkit::setDialogs(&d);
    Throwing t;
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(d.errors, (QStringList{"Range check error", "Range check error"}));
    toolkit::guarded([] { throw common::UserError("'x' is not a valid integer value"); });
    EXPECT_EQ(d.errors.last(), "'x' is not a valid integer value");
    toolkit::setDialogs(nullptr);
}
