// The simulated meter: the libusb-0.1 functions the program calls, backed by
// a scripted set of USB busses and devices. Tests link it in place of the real
// library and steer it through this interface; loaded in front of the real
// library (make demo) it presents one meter with a plausible spectrum.
#pragma once

#include "sim/Meter.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct usb_dev_handle;

namespace sim {

// One call of usb_control_msg as the program made it.
struct Transfer {
    int device = -1;  // index of the device the handle belongs to
    int requestType = 0, request = 0, value = 0, index = 0, size = 0, timeout = 0;
    Kind kind = Kind::Other;
    std::vector<std::uint8_t> dataOut;  // what the host sent (host-to-device requests)
    std::vector<std::uint8_t> dataIn;   // what the meter answered (device-to-host requests)
    int result = 0;
};

struct CallCounts {
    int init = 0, findBusses = 0, findDevices = 0, getBusses = 0, open = 0, close = 0, controlMsg = 0;
};

// Removes every bus and device, clears the log and counters; no meter attached.
void Reset();
// The state the demo starts in: one bus with one meter holding plausible settings.
void ResetToDemo();

// Adds a bus; returns its index. Devices are listed on their bus in the order added.
int AddBus();
// Adds a device on a bus; returns its index. A device with the meter's ids gets a Meter.
int AddDevice(int bus, std::uint16_t vendor, std::uint16_t product);
// Adds a meter (16c0:05df), creating bus 0 if there is none; returns its index.
int AddMeter(int bus = 0);
Meter& MeterAt(int device);
// usb_open on this device returns null.
void SetOpenFails(int device, bool fails);
// Unplugs a device: the next rescan no longer lists it and its open handles fail.
void Unplug(int device);
void Replug(int device);

// The transfers and opens since the last Reset (or ClearLog). Kept from a
// Reset() on; the demo state the library starts in when a program loads it
// keeps none, so that its memory stays flat tick after tick.
const std::vector<Transfer>& Log();
std::vector<Transfer> LogOf(Kind kind);
void ClearLog();
const CallCounts& Calls();
int OpenHandles();
// The device each successful usb_open returned a handle to, in order.
const std::vector<int>& Opened();

}  // namespace sim
