#include "device/UsbLink.h"

#ifdef _WIN32
// libusb-win32's name for its usb.h: Windows has a usb.h of its own.
#include <lusb0_usb.h>
#else
#include <usb.h>
#endif

namespace device {

#ifndef _WIN32
bool LoadUsbLibrary() { return true; }  // linked
#endif

usb_dev_handle* FindDevice() {
    for (usb_bus* bus = usb_get_busses(); bus != nullptr; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev != nullptr; dev = dev->next) {
            if (dev->descriptor.idVendor == kVendorId && dev->descriptor.idProduct == kProductId)
                return usb_open(dev);
        }
    }
    return nullptr;
}

MeterSession::MeterSession() {
    usb_init();
    usb_find_busses();
    usb_find_devices();
    handle_ = FindDevice();
}

MeterSession::~MeterSession() {
    if (handle_ != nullptr) usb_close(handle_);
}

int MeterSession::Transfer(const ControlRequest& request, void* data) {
    return usb_control_msg(handle_, request.requestType, request.request, request.value,
                           request.index, static_cast<char*>(data), request.length, kTimeoutMs);
}

}  // namespace device
