// The meter as the simulated library and the emulated USB device both present
// it: what each request is, the meter's memory, how it answers a request in
// full, and the demo content (settings block and spectrum). Standard C++ only,
// no libusb functions, so that a program other than the simulated library can
// answer requests exactly as it does.
#pragma once

#include "sky/Plans.h"

#include <array>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// What a request is, told by its setup fields.
enum class Kind { ReadSettings, WriteSettings, Sweep, Idle, DeviceInfo, FirmwareBlock, EndOfUpload, Other };
inline constexpr int kKinds = 8;
const char* KindName(Kind kind);
// The kind named `name` (as KindName gives it); Other for an unknown name.
Kind KindNamed(const char* name);
Kind KindOf(int requestType, int request, int value);

inline constexpr int kFlashSize = 65792;

// How the meter answers one kind of request. The default answers in full.
struct Fault {
    int result = 0;        // when failing: the result returned (negative error or a short count)
    bool fail = false;     // answer with `result` instead of the full reply
    int afterCount = 0;    // answer this many requests of the kind normally first
    int delayMs = 0;       // wait before answering; at or past the time-out the request times out
};

// One meter's memory and behaviour.
struct Meter {
    std::array<std::uint8_t, 248> settings{};
    std::vector<std::uint8_t> flash = std::vector<std::uint8_t>(kFlashSize, 0xFF);
    std::array<std::uint8_t, 7> deviceInfo{};  // built from pageSize and deviceSize unless overridden
    int deviceInfoLength = 7;                  // bytes the device-information reply carries
    std::uint16_t pageSize = 128;
    std::int32_t deviceSize = 32768;
    bool rawDeviceInfo = false;                // send deviceInfo as it stands
    std::array<Fault, kKinds> faults{};        // indexed by Kind
    // The demo spectrum rises and falls slowly from sweep to sweep, as while
    // the dish is swung across a satellite and on to a second one; off:
    // every sweep alike but for its noise.
    bool swinging = false;
    std::uint32_t sweepsAnswered = 0;          // sweeps answered while swinging
    // Sweeps answered in turn (over again after the last) in place of the
    // demo spectrum, for tests that need known samples; empty: the demo.
    std::vector<std::array<std::uint8_t, 128>> scriptedSweeps;
    std::size_t nextScripted = 0;
    // A real sky in place of the demo spectrum (null: the demo spectrum).
    std::shared_ptr<const struct Sky> sky;
    Fault& FaultFor(Kind kind) { return faults[static_cast<int>(kind)]; }
};

// Answers a request as a healthy meter does: for a device-to-host request
// fills data (size bytes of room) with the reply, for a host-to-device request
// takes size bytes from data. Returns the bytes moved, or -EPIPE for a request
// the meter does not know.
int Answer(Meter& meter, Kind kind, int value, int index, std::uint8_t* data, int size);

// A plausible settings block and the demo spectrum, also used by the demo meter.
// `signal` scales the transponders above the noise floor (1: full strength).
std::array<std::uint8_t, 248> DemoSettings();
// `second` adds the transponders of a second satellite beside the first,
// at that strength (0: none, the spectrum exactly as with one satellite).
void DemoSweep(std::uint16_t value, std::uint16_t index, std::uint8_t* frame, double signal = 1.0,
               double second = 0.0);

// The signal strength of a swung dish at its n-th sweep: the dish passes
// the satellite twice in a period of 480 sweeps (12 s at 40 sweeps a
// second), between 0.15 off the satellite and 1 right on it.
double SwingSignal(std::uint32_t sweep);
// The strength of a second satellite that the swing reaches at one end of
// its travel (between 0 and 1, highest at sweep 360 of each period), so that
// the swung demo dish crosses two satellites.
double SwingSecondSignal(std::uint32_t sweep);

// The sky as a universal LNB (9750 / 10600 MHz) on a dish aimed at one
// orbital position sees it: the Ku-band transponders of every position near
// the aim, each a plateau of its symbol rate x 1.35 with sloped edges, 6 to
// 20 dB over a floor that tilts with frequency, weakened by how far the
// position lies off the dish's beam.
struct Sky {
    // A transponder as a sweep draws it, worked out once when the sky loads.
    struct Carrier {
        double frequency = 0;     // MHz
        double half = 0;          // half its width, MHz
        double peak = 0;          // linear power over the floor, right on the beam
        bool horizontal = false;  // on the horizontal (18 V) switch
    };
    struct Position {
        double longitude = 0;     // east positive
        std::vector<Carrier> carriers;
    };
    std::vector<Position> positions;  // the Ku-band plans
    double aim = 0;        // longitude the dish points at when not swung, east positive
    double lnbDrift = 0;   // MHz the LNB's oscillator lies above its nominal value
};
// The transponder plans of the data set in `folder`, Ku band only, aimed at
// `position` ("13.0E"); null when the position is not in the data set.
std::shared_ptr<const Sky> LoadSky(const std::string& folder, const std::string& position, double lnbDrift);
// One sweep of that sky with the dish `pointing` degrees east of its aim.
void SkySweep(const Sky& sky, double pointing, std::uint16_t value, std::uint16_t index, std::uint8_t* frame);
// Where a swung dish points at its n-th sweep: across the neighbouring
// positions, up to 6 degrees either side of the aim, in 480 sweeps.
double SwingPointing(std::uint32_t sweep);

}  // namespace sim
