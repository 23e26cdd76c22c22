// The meter as a USB device function: its descriptors for FunctionFS, how it
// answers each control request on endpoint 0 (the meter's own requests as the
// simulated meter answers them, plus the few standard and class requests a
// HID interface is asked), the faults a test may order through a control
// text, and one log line per request. No I/O here: usb_gadget_meter does that.
#pragma once

#include "sim/Meter.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace usbmeter {

// The class the meter's one interface presents. With Hid the host binds its
// HID driver to the interface; with Vendor no driver binds.
enum class InterfaceClass { Hid, Vendor };
bool ParseInterfaceClass(const std::string& text, InterfaceClass& out);

struct Setup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    bool DeviceToHost() const { return (requestType & 0x80) != 0; }
};

// The FunctionFS descriptor block: full- and high-speed descriptors of one
// interface with one interrupt-in endpoint (HID class: with its HID
// descriptor), flagged so that requests addressed to the device come to
// endpoint 0 of the function too.
std::vector<std::uint8_t> FunctionDescriptors(InterfaceClass cls);
// The FunctionFS string block: no strings.
std::vector<std::uint8_t> FunctionStrings();
// The HID report descriptor: one vendor-defined 8-byte input report.
const std::vector<std::uint8_t>& HidReportDescriptor();

// Faults ordered by a control text, one line per fault ('#' starts a comment):
//   <Kind> stall [after N]       stall the request
//   <Kind> short BYTES [after N] answer only BYTES bytes (device-to-host only)
//   <Kind> delay MS [after N]    answer MS milliseconds late
// Kind is a request kind's name (ReadSettings, Sweep, ...). "after N" lets the
// first N requests of the kind through. Lines that cannot be read are listed
// in `errors` and ignored.
struct Control {
    std::array<sim::Fault, sim::kKinds> faults{};
    std::vector<std::string> errors;
};
Control ParseControl(const std::string& text);

// What to do with one request.
struct Decision {
    bool stall = false;
    int delayMs = 0;
    std::vector<std::uint8_t> reply;  // device-to-host: the bytes to send (may be short)
    std::string note;                 // why, for the log (empty: answered normally)
};

class EmulatedMeter {
public:
    explicit EmulatedMeter(InterfaceClass cls);

    // A device-to-host request: the reply or a stall.
    Decision In(const Setup& setup);
    // A host-to-device request before its data stage: stall, or take the data.
    Decision BeforeOut(const Setup& setup);
    // The data stage of a host-to-device request that was taken.
    void Out(const Setup& setup, const std::uint8_t* data, int size);

    // Replaces the ordered faults; counting for "after N" starts again.
    void SetFaults(const std::array<sim::Fault, sim::kKinds>& faults);

    sim::Meter& meter() { return meter_; }
    InterfaceClass interfaceClass() const { return class_; }

private:
    // The fault that applies to this request of the kind, if any; counts it.
    const sim::Fault* FaultFor(sim::Kind kind);

    InterfaceClass class_;
    sim::Meter meter_;
    std::array<int, sim::kKinds> seen_{};
};

// One log line: time (seconds, 6 decimals), the setup fields, the request's
// kind and what came of it. Fields are separated by single spaces.
std::string LogLine(double seconds, const Setup& setup, const std::string& outcome);

}  // namespace usbmeter
