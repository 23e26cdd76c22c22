// The firmware button: load an Intel HEX file and upload it to the meter.
#include "app/Unit1.h"

void TForm1::Button1Click(QObject*) {}
