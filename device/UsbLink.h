// The one way to the meter: vendor control transfers on the default control
// endpoint through libusb-0.1. Every operation enumerates the busses afresh,
// opens the meter, makes its transfers and closes it again.
#pragma once

#include <cstdint>

struct usb_dev_handle;

namespace device {

inline constexpr std::uint16_t kVendorId = 0x16C0;
inline constexpr std::uint16_t kProductId = 0x05DF;
inline constexpr int kTimeoutMs = 5000;

inline constexpr std::uint8_t kVendorIn = 0xC0;   // vendor, device to host, recipient device
inline constexpr std::uint8_t kVendorOut = 0x40;  // vendor, host to device, recipient device

struct ControlRequest {
    std::uint8_t requestType;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    std::uint16_t length;
};

// The meter's requests. The sweep's wValue and wIndex depend on the panorama
// state: see SweepRequest().
inline constexpr ControlRequest kReadSettings{kVendorIn, 9, 1, 0, 248};
inline constexpr ControlRequest kWriteSettings{kVendorOut, 1, 0, 0, 248};
inline constexpr ControlRequest kSweepBase{kVendorIn, 9, 2, 0, 128};
inline constexpr ControlRequest kIdle{kVendorIn, 9, 3, 0, 248};
inline constexpr ControlRequest kDeviceInfo{kVendorIn, 1, 0, 0, 7};
inline constexpr ControlRequest kFirmwareBlock{kVendorOut, 9, 2, 0, 132};
inline constexpr ControlRequest kEndOfUpload{kVendorOut, 9, 1, 0, 7};

// The sweep request for a control word, an IF start (MHz) and a step (MHz):
// wValue = (flags AND 0xFF00) + 2, wIndex = (shift AND 0x0FFF) OR ((step << 12) AND 0xF000).
constexpr ControlRequest SweepRequest(std::uint32_t panoFlags, std::int32_t panoShift,
                                      std::uint32_t panoStep) {
    ControlRequest r = kSweepBase;
    r.value = static_cast<std::uint16_t>((panoFlags & 0xFF00u) + 2u);
    r.index = static_cast<std::uint16_t>((static_cast<std::uint32_t>(panoShift) & 0x0FFFu) |
                                         ((panoStep << 12) & 0xF000u));
    return r;
}

// Makes the libusb-0.1 functions available; true when they are. Linux links
// the library. Windows loads libusb-win32's libusb0.dll once (the first call
// of this or of any usb_ function does); when it is missing, every operation
// simply finds no meter. The program calls it at start.
bool LoadUsbLibrary();

// What FindDevice met on the busses.
enum class FindOutcome { Opened, NotFound, OpenRefused };

// Walks the bus list in order and opens the first device with the meter's
// vendor and product ids; returns usb_open's result for it (null when it
// fails, without trying another), or null when none matches. `outcome`, when
// given, learns which of the three it was.
usb_dev_handle* FindDevice(FindOutcome* outcome = nullptr);

// The meter as the last operation met it.
enum class LinkState {
    Connected,  // found and opened, and no transfer was refused
    NotFound,   // no device with the meter's ids on any bus
    NoAccess,   // on a bus, but the system refused to open it or to let a
                // transfer through (no permission for its device node)
    NoDriver,   // Windows: libusb-win32's libusb0.dll could not be loaded
};

// The state as the window shows it: a short line, and the tooltip that says
// what to do about it (on this system).
const char* StateText(LinkState state);
const char* StateHint(LinkState state);

// One operation with the meter: the constructor runs usb_init,
// usb_find_busses, usb_find_devices and FindDevice; the destructor closes the
// handle, whatever path the operation left by.
class MeterSession {
public:
    MeterSession();
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    explicit operator bool() const { return IsOpen(); }

    // One control transfer of request.length bytes from or to data, with the
    // 5000 ms time-out; returns libusb's result (bytes moved, or a negative error).
    int Transfer(const ControlRequest& request, void* data);

    // What this operation learned of the meter so far, from what it already
    // did: the search, the open and the transfers' results. Asks nothing more.
    LinkState State() const;

private:
    usb_dev_handle* handle_;
    FindOutcome found_ = FindOutcome::NotFound;
    bool refused_ = false;  // a transfer failed for lack of permission
};

}  // namespace device
