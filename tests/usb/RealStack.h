// What the programs that run against the emulated meter share: where the
// meter's log, control and flash files are (given by the environment the VM
// script sets), reading the log, ordering faults, unplugging and plugging the
// gadget, and counting this process's open USB device files.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace realstack {

// An environment variable, or "" when unset.
std::string Env(const char* name);

// True when the emulated meter's environment is present (inside the VM).
bool Available();

// One request line of the meter's log.
struct LoggedRequest {
    double time = 0;
    int requestType = 0, request = 0, value = 0, index = 0, length = 0;
    std::string kind;     // the request's kind, e.g. "Sweep"
    std::string outcome;  // the rest of the line: "sent=128 took=...", "stalled", ...
};
// The request lines of a log file (event and control lines left out).
std::vector<LoggedRequest> ReadLog(const std::string& path);
std::vector<LoggedRequest> MeterLog();
std::vector<LoggedRequest> OfKind(const std::vector<LoggedRequest>& log, const std::string& kind);

// Orders faults from the meter (see EmulatedMeter.h); "" clears them. The file
// is replaced whole so that the meter never reads half of it.
void SetControl(const std::string& text);

// Unbinds the gadget from its controller: the device leaves the bus.
void Unplug();
// Binds it again and waits until the meter answers (false after timeout).
bool Replug(std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));

// File descriptors of this process open on /dev/bus/usb device files, with
// the paths they name.
std::vector<std::string> OpenUsbFiles();

// Milliseconds since an earlier point.
double MsSince(std::chrono::steady_clock::time_point t0);

}  // namespace realstack
