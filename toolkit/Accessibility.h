// What assistive technology (a screen reader over AT-SPI or UI Automation)
// learns about the toolkit's own controls: the items of a radio group are
// radio buttons although the group keeps the selection itself, the toggle
// button is a button with a pressed state, a spin editor is a spin box with
// a value, the chart is a chart with the labels on it, and the marked point's values,
// as its children.
#pragma once

class QString;
class QWidget;

namespace toolkit {

// Installs the interfaces above. Call once, after the application object
// exists and before the first control is created; toolkit::Application does.
void installAccessibility();

class Chart;

// Tells assistive technology that the chart's marked point (its values, read
// as a label of the chart) appeared, changed or went; call after setting it.
void announceMarker(Chart* chart);

// Names a control for assistive technology. A spin editor passes the name on
// to its text field, which is what holds the keyboard focus; a combo box
// takes it also as its description and passes it on to its text field.
void setAccessibleName(QWidget* control, const QString& name);

}  // namespace toolkit
