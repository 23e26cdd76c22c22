// Windows: the libusb-0.1 functions of libusb-win32's libusb0.dll, which its
// driver installation puts into the system folder (or which lies beside the
// program). The DLL is loaded once, by name, from the program's folder or the
// system folders only (never the current folder). These definitions stand in
// for the library's own, so the rest of the link calls usb_init and the others
// exactly as on Linux. Without the DLL (no driver installed) the busses are
// empty: every operation finds no meter, as when none is attached.
#ifdef _WIN32

#include "device/UsbLink.h"

#include <windows.h>

#include <lusb0_usb.h>

#include <cerrno>
#include <cstddef>

// The records are read in place from the DLL's lists: they must have
// libusb-win32's byte-packed 64-bit layout.
static_assert(sizeof(void*) != 8 || (offsetof(usb_device, filename) == 16 &&
                                     offsetof(usb_device, bus) == 528 &&
                                     offsetof(usb_device, descriptor) == 536 &&
                                     offsetof(usb_device, config) == 554 &&
                                     offsetof(usb_device, devnum) == 570 &&
                                     offsetof(usb_device, children) == 572 &&
                                     sizeof(usb_device) == 580),
              "usb_device must have libusb-win32's layout");
static_assert(sizeof(void*) != 8 || (offsetof(usb_bus, devices) == 528 &&
                                     offsetof(usb_bus, location) == 536 &&
                                     offsetof(usb_bus, root_dev) == 540 &&
                                     sizeof(usb_bus) == 548),
              "usb_bus must have libusb-win32's layout");
static_assert(sizeof(usb_device_descriptor) == 18 &&
                  offsetof(usb_device_descriptor, idVendor) == 8 &&
                  offsetof(usb_device_descriptor, idProduct) == 10,
              "usb_device_descriptor must be packed");

namespace {

struct Libusb0 {
    HMODULE module = nullptr;
    void (*init)() = nullptr;
    int (*findBusses)() = nullptr;
    int (*findDevices)() = nullptr;
    usb_bus* (*getBusses)() = nullptr;
    usb_dev_handle* (*open)(usb_device*) = nullptr;
    int (*close)(usb_dev_handle*) = nullptr;
    int (*controlMsg)(usb_dev_handle*, int, int, int, int, char*, int, int) = nullptr;
};

template <typename F>
bool Resolve(HMODULE module, const char* name, F& f) {
    // Through void* so that no function-pointer conversion warning hides a
    // wrong signature elsewhere.
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return f != nullptr;
}

Libusb0 Load() {
    Libusb0 lib;
    HMODULE m = LoadLibraryExW(L"libusb0.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    // Systems without the restricted search flags refuse them as invalid.
    if (m == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        m = LoadLibraryExW(L"libusb0.dll", nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (m == nullptr) return lib;
    // All or nothing: a DLL that lacks one of the functions is not used.
    if (!Resolve(m, "usb_init", lib.init) || !Resolve(m, "usb_find_busses", lib.findBusses) ||
        !Resolve(m, "usb_find_devices", lib.findDevices) ||
        !Resolve(m, "usb_get_busses", lib.getBusses) || !Resolve(m, "usb_open", lib.open) ||
        !Resolve(m, "usb_close", lib.close) || !Resolve(m, "usb_control_msg", lib.controlMsg)) {
        FreeLibrary(m);
        return Libusb0{};
    }
    lib.module = m;
    return lib;
}

const Libusb0& Lib() {
    static const Libusb0 lib = Load();
    return lib;
}

}  // namespace

namespace device {

bool LoadUsbLibrary() { return Lib().module != nullptr; }

}  // namespace device

extern "C" {

void usb_init(void) {
    if (Lib().init) Lib().init();
}

int usb_find_busses(void) { return Lib().findBusses ? Lib().findBusses() : 0; }

int usb_find_devices(void) { return Lib().findDevices ? Lib().findDevices() : 0; }

struct usb_bus* usb_get_busses(void) { return Lib().getBusses ? Lib().getBusses() : nullptr; }

usb_dev_handle* usb_open(struct usb_device* dev) { return Lib().open ? Lib().open(dev) : nullptr; }

int usb_close(usb_dev_handle* dev) { return Lib().close ? Lib().close(dev) : -ENODEV; }

int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index,
                    char* bytes, int size, int timeout) {
    if (!Lib().controlMsg) return -ENODEV;
    return Lib().controlMsg(dev, requesttype, request, value, index, bytes, size, timeout);
}

}  // extern "C"

#endif  // _WIN32
