// The settings editor's handlers: the transponder grid's in-cell editors and
// the exchange with the meter and with settings files.
#include "app/Unit1.h"

#include "toolkit/StringGrid.h"

void TForm1::StringGrid1DrawCell(QObject*, int, int, QRect, toolkit::DrawState) {}
void TForm1::ComboBoxNameChange(QObject*) {}
void TForm1::ComboBoxPolChange(QObject*) {}
void TForm1::ComboBoxDsChange(QObject*) {}
void TForm1::CSpinEdit1Change(QObject*) {}
void TForm1::GatherSettings() {}
void TForm1::ApplySettings() {}
void TForm1::ButtonReadClick(QObject*) {}
void TForm1::ButtonWriteClick(QObject*) {}
void TForm1::ButtOpenClick(QObject*) {}
void TForm1::ButtSaveClick(QObject*) {}
