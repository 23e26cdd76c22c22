// What the window says about the meter's state, and what to do about it.
#include "device/UsbLink.h"

namespace device {

const char* StateText(LinkState state) {
    switch (state) {
    case LinkState::Connected: return "Прибор подключён";
    case LinkState::NotFound: return "Прибор не найден";
    case LinkState::NoAccess: return "Нет доступа к прибору";
    case LinkState::NoDriver: return "Нет драйвера libusb-win32";
    }
    return "";
}

const char* StateHint(LinkState state) {
    switch (state) {
    case LinkState::Connected: return "Velkarn3 (USB 16c0:05df) найден и отвечает";
    case LinkState::NotFound:
        return "Velkarn3 (USB 16c0:05df) не найден ни на одной шине USB:\nподключите прибор кабелем USB";
    case LinkState::NoAccess:
#ifdef _WIN32
        return "Velkarn3 (USB 16c0:05df) подключён, но не открывается.\n"
               "Установите для него драйвер libusb-win32 (фильтр-драйвер libusb-win32 1.2.x\n"
               "или драйвер libusb-win32 через inf-wizard или Zadig) и подключите прибор заново.";
#else
        return "Velkarn3 (USB 16c0:05df) подключён, но система не даёт его открыть.\n"
               "Установите пакет velkarn3-pano: его правило udev даёт доступ вошедшему пользователю.\n"
               "Или скопируйте правило udev/60-velkarn3.rules в /etc/udev/rules.d/ и добавьте себя\n"
               "в группу plugdev (sudo usermod -aG plugdev $USER, затем войдите в систему заново).\n"
               "После этого подключите прибор заново.";
#endif
    case LinkState::NoDriver:
        return "Не найдена библиотека libusb0.dll.\n"
               "Установите для прибора драйвер libusb-win32: фильтр-драйвер libusb-win32 1.2.x\n"
               "(install-filter-win.exe) или драйвер libusb-win32 через inf-wizard или Zadig.";
    }
    return "";
}

}  // namespace device
