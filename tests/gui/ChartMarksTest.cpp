// The chart's vertical marks and marked point: marks go with the cached
// static layer (they change only with the axis or what they mark), the
// marked point with the trace that a tick repaints.
#include "toolkit/Chart.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(ChartMarks, MarksJoinTheStaticLayerAndTheMarkerOnlyTheTrace) {
    toolkit::Chart chart;
    chart.bottomAxis().setMaximum(1000);
    chart.bottomAxis().setMinimum(0);
    const QColor green(96, 224, 96), white(255, 255, 255);
    const QImage plain = chart.staticLayer().toImage();
    // x 500 of 0..1000 lies in the middle of the plot: pixel 33 + 320.
    chart.setMarks({{500, QStringLiteral("Ast 19E")}}, green);
    const QImage marked = chart.staticLayer().toImage();
    EXPECT_EQ(marked.pixelColor(353, 300), green);
    EXPECT_EQ(marked.pixelColor(353, 394), green) << "down to the plot's bottom";
    EXPECT_NE(marked.copy(355, 35, 16, 60), plain.copy(355, 35, 16, 60)) << "the label beside the line";

    chart.setMarker(toolkit::ChartMarker{{250, 100}, QStringLiteral("85 dBuV")}, white);
    EXPECT_EQ(chart.staticLayer().toImage(), marked) << "the marker is no part of the static layer";
    const QImage shown = chart.grab().toImage();
    // Value 250, 100 of 0..1000, 0..255: pixel 193, 254, the label above it.
    EXPECT_NE(shown.copy(160, 225, 70, 35), marked.copy(160, 225, 70, 35));

    chart.setMarker(std::nullopt, white);
    chart.setMarks({}, green);
    EXPECT_EQ(chart.staticLayer().toImage(), plain);
    EXPECT_EQ(chart.grab().toImage(), plain);
}
