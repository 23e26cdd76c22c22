// The firmware button: load an Intel HEX file and upload it to the meter.
#include "app/Unit1.h"

#include "firmware/Upload.h"
#include "toolkit/Dialogs.h"

void TForm1::Button1Click(QObject*) {
    toolkit::FileDialogOptions openDialog2;
    openDialog2.filter = QStringLiteral("Прошивка Velkarn3 (*.hex)|*.hex");
    const QString name = toolkit::dialogs().openFile(openDialog2);
    if (name.isEmpty()) return;
    // The logic takes file names as UTF-8 on every system.
    firmware::UpdateFromFile(name.toStdString(), firmware::FirmwareImage,
                             firmware::ImageStart, firmware::ImageEnd, Prompt());
}
