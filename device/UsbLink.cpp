#include "device/UsbLink.h"

#ifdef _WIN32
// libusb-win32's name for its usb.h: Windows has a usb.h of its own.
#include <lusb0_usb.h>
#else
#include <usb.h>
#endif

#include <cerrno>

namespace device {

#ifndef _WIN32
bool LoadUsbLibrary() { return true; }  // linked
#endif

usb_dev_handle* FindDevice(FindOutcome* outcome) {
    for (usb_bus* bus = usb_get_busses(); bus != nullptr; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev != nullptr; dev = dev->next) {
            if (dev->descriptor.idVendor == kVendorId && dev->descriptor.idProduct == kProductId) {
                usb_dev_handle* handle = usb_open(dev);
                if (outcome) *outcome = handle ? FindOutcome::Opened : FindOutcome::OpenRefused;
                return handle;
            }
        }
    }
    if (outcome) *outcome = FindOutcome::NotFound;
    return nullptr;
}

MeterSession::MeterSession() {
    usb_init();
    usb_find_busses();
    usb_find_devices();
    handle_ = FindDevice(&found_);
}

MeterSession::~MeterSession() {
    if (handle_ != nullptr) usb_close(handle_);
}

int MeterSession::Transfer(const ControlRequest& request, void* data) {
    const int result = usb_control_msg(handle_, request.requestType, request.request, request.value,
                                       request.index, static_cast<char*>(data), request.length, kTimeoutMs);
    // libusb-0.1 opens a device node it may only read, and the system then
    // refuses every transfer on it: -EPERM from the kernel, -EACCES where the
    // library maps it so.
    if (result == -EPERM || result == -EACCES) refused_ = true;
    return result;
}

LinkState MeterSession::State() const {
    if (found_ == FindOutcome::NotFound) return LoadUsbLibrary() ? LinkState::NotFound : LinkState::NoDriver;
    if (found_ == FindOutcome::OpenRefused || refused_) return LinkState::NoAccess;
    return LinkState::Connected;
}

}  // namespace device
