// Start-up: the toolkit, the one window, the message loop. The process ends
// with exit code 0 whatever happens.
#include "app/Unit1.h"
#include "device/UsbLink.h"
#include "toolkit/Application.h"
#include "toolkit/Dialogs.h"

int main(int argc, char** argv) {
    // Windows: libusb-win32's DLL, when its driver is installed; without it
    // the program runs as with no meter attached.
    device::LoadUsbLibrary();
    try {
        toolkit::Application app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Velkarn3Pano"));
        try {
            TForm1 form;
            form.show();
            QApplication::exec();
        } catch (const std::exception& e) {
            toolkit::showException(e);
        }
    } catch (...) {
    }
    return 0;
}
