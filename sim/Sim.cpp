#include "sim/Sim.h"

#ifdef _WIN32
#include <lusb0_usb.h>
#else
#include <usb.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#ifdef _WIN32
// libusb-win32 gives its bus list through usb_get_busses only.
static struct usb_bus* usb_busses = nullptr;
#else
// libusb-0.1 exports its bus list as a variable too.
struct usb_bus* usb_busses = nullptr;
#endif

struct usb_dev_handle {
    int device;
};

namespace sim {
namespace {

struct SimDevice {
    struct usb_device dev{};
    int bus = 0;
    bool plugged = true;
    bool openFails = false;
    std::unique_ptr<Meter> meter;
    std::array<int, 8> seen{};  // requests of each kind received
};

struct State {
    std::deque<usb_bus> busses;          // stable addresses
    std::deque<SimDevice> devices;       // stable addresses
    std::vector<std::unique_ptr<usb_dev_handle>> handles;
    std::vector<Transfer> log;
    std::vector<int> opened;
    CallCounts calls;
    // Log and opened list are kept for the tests that script this library;
    // the demo a program loads keeps neither, as nothing reads them there
    // and they would grow with every tick.
    bool keepLog = true;
};

State& S() {
    static State* state = [] {
        auto* s = new State;
        return s;
    }();
    return *state;
}

// The demo state is what a program sees that loads this library without
// scripting it. VELKARN_SIM_SWING=1 (make demo sets it) makes the demo
// meter's spectrum rise and fall as while the dish is swung. The variable is
// read by this library only, once, when it is loaded.
struct DemoInit {
    DemoInit() {
        ResetToDemo();
        S().keepLog = false;
        const char* swing = std::getenv("VELKARN_SIM_SWING");
        if (swing && *swing && std::strcmp(swing, "0") != 0) MeterAt(0).swinging = true;
        // VELKARN_SIM_SKY=13.0E: the sweep shows the real sky at that orbital
        // position, from the transponder data set (in VELKARN_SIM_SKY_DIR, or
        // where the program looks for it), the LNB's oscillator
        // VELKARN_SIM_LNB_DRIFT MHz above its nominal value.
        const char* position = std::getenv("VELKARN_SIM_SKY");
        if (position && *position) {
            const char* dir = std::getenv("VELKARN_SIM_SKY_DIR");
            const char* drift = std::getenv("VELKARN_SIM_LNB_DRIFT");
            MeterAt(0).sky = LoadSky(dir && *dir ? dir : sky::ScanFolder("."), position,
                                     drift ? std::atof(drift) : 0.0);
            if (!MeterAt(0).sky) std::fprintf(stderr, "simulated meter: no position %s in the data set\n", position);
        }
        // VELKARN_SIM_METER plays a meter the program cannot use: "none" (no
        // meter on the busses), "locked" (listed, but every open fails) or
        // "readonly" (opens, but every transfer is refused as on a device
        // node the user may only read).
        const char* meter = std::getenv("VELKARN_SIM_METER");
        if (meter && std::strcmp(meter, "none") == 0) {
            Reset();
            AddBus();
        } else if (meter && std::strcmp(meter, "locked") == 0) {
            SetOpenFails(0, true);
        } else if (meter && std::strcmp(meter, "readonly") == 0) {
            for (Fault& f : MeterAt(0).faults) f = {-EPERM, true};
        }
    }
} demoInit;

int DeviceIndexOf(const struct usb_device* dev) {
    auto& d = S().devices;
    for (std::size_t i = 0; i < d.size(); ++i)
        if (&d[i].dev == dev) return static_cast<int>(i);
    return -1;
}

void Relink() {
    State& s = S();
    usb_bus* prevBus = nullptr;
    usb_busses = nullptr;
    for (auto& b : s.busses) {
        b.prev = prevBus;
        b.next = nullptr;
        b.devices = nullptr;
        if (prevBus) prevBus->next = &b; else usb_busses = &b;
        prevBus = &b;
    }
    std::vector<struct usb_device*> last(s.busses.size(), nullptr);
    for (auto& d : s.devices) {
        d.dev.next = d.dev.prev = nullptr;
        if (!d.plugged) continue;
        usb_bus& b = s.busses[d.bus];
        d.dev.bus = &b;
        d.dev.prev = last[d.bus];
        if (last[d.bus]) last[d.bus]->next = &d.dev; else b.devices = &d.dev;
        last[d.bus] = &d.dev;
    }
}

}  // namespace

void Reset() {
    State& s = S();
    s.busses.clear();
    s.devices.clear();
    s.handles.clear();
    s.log.clear();
    s.opened.clear();
    s.calls = {};
    s.keepLog = true;
    usb_busses = nullptr;
}

void ResetToDemo() {
    Reset();
    int m = AddMeter();
    MeterAt(m).settings = DemoSettings();
}

int AddBus() {
    State& s = S();
    s.busses.emplace_back();
    usb_bus& b = s.busses.back();
    std::memset(&b, 0, sizeof b);
    std::snprintf(b.dirname, sizeof b.dirname, "%03zu", s.busses.size());
    b.location = static_cast<std::uint32_t>(s.busses.size());
    return static_cast<int>(s.busses.size()) - 1;
}

int AddDevice(int bus, std::uint16_t vendor, std::uint16_t product) {
    State& s = S();
    while (static_cast<int>(s.busses.size()) <= bus) AddBus();
    s.devices.emplace_back();
    SimDevice& d = s.devices.back();
    d.bus = bus;
    d.dev.descriptor.bLength = USB_DT_DEVICE_SIZE;
    d.dev.descriptor.bDescriptorType = USB_DT_DEVICE;
    d.dev.descriptor.idVendor = vendor;
    d.dev.descriptor.idProduct = product;
    d.dev.devnum = static_cast<std::uint8_t>(s.devices.size());
    std::snprintf(d.dev.filename, sizeof d.dev.filename, "%03zu", s.devices.size());
    if (vendor == 0x16C0 && product == 0x05DF) d.meter = std::make_unique<Meter>();
    return static_cast<int>(s.devices.size()) - 1;
}

int AddMeter(int bus) { return AddDevice(bus, 0x16C0, 0x05DF); }

Meter& MeterAt(int device) { return *S().devices.at(device).meter; }

void SetOpenFails(int device, bool fails) { S().devices.at(device).openFails = fails; }
void Unplug(int device) { S().devices.at(device).plugged = false; }
void Replug(int device) { S().devices.at(device).plugged = true; }

const std::vector<Transfer>& Log() { return S().log; }

std::vector<Transfer> LogOf(Kind kind) {
    std::vector<Transfer> out;
    for (const auto& t : S().log)
        if (t.kind == kind) out.push_back(t);
    return out;
}

void ClearLog() { S().log.clear(); }
const CallCounts& Calls() { return S().calls; }
int OpenHandles() { return static_cast<int>(S().handles.size()); }
const std::vector<int>& Opened() { return S().opened; }

}  // namespace sim

using namespace sim;

extern "C" {

void usb_init(void) { ++S().calls.init; }

int usb_find_busses(void) {
    ++S().calls.findBusses;
    Relink();
    return 0;
}

int usb_find_devices(void) {
    ++S().calls.findDevices;
    Relink();
    return 0;
}

struct usb_bus* usb_get_busses(void) {
    ++S().calls.getBusses;
    return usb_busses;
}

usb_dev_handle* usb_open(struct usb_device* dev) {
    State& s = S();
    ++s.calls.open;
    int i = DeviceIndexOf(dev);
    if (i < 0 || s.devices[i].openFails || !s.devices[i].plugged) return nullptr;
    s.handles.push_back(std::make_unique<usb_dev_handle>(usb_dev_handle{i}));
    if (s.keepLog) s.opened.push_back(i);
    return s.handles.back().get();
}

int usb_close(usb_dev_handle* h) {
    State& s = S();
    ++s.calls.close;
    auto it = std::find_if(s.handles.begin(), s.handles.end(),
                           [h](const auto& p) { return p.get() == h; });
    if (it == s.handles.end()) return -EBADF;
    s.handles.erase(it);
    return 0;
}

int usb_control_msg(usb_dev_handle* h, int requesttype, int request, int value, int index,
                    char* bytes, int size, int timeout) {
    State& s = S();
    ++s.calls.controlMsg;
    auto it = std::find_if(s.handles.begin(), s.handles.end(),
                           [h](const auto& p) { return p.get() == h; });
    Transfer t;
    t.requestType = requesttype; t.request = request; t.value = value; t.index = index;
    t.size = size; t.timeout = timeout;
    t.kind = KindOf(requesttype, request, value);
    auto* data = reinterpret_cast<std::uint8_t*>(bytes);
    const bool out = (requesttype & 0x80) == 0;
    if (out && size > 0) t.dataOut.assign(data, data + size);

    auto finish = [&](int result) {
        t.result = result;
        if (!out && result > 0) t.dataIn.assign(data, data + std::min(result, size));
        if (s.keepLog) s.log.push_back(std::move(t));
        return result;
    };
    if (it == s.handles.end()) return finish(-EBADF);
    t.device = h->device;
    SimDevice& d = s.devices[h->device];
    if (!d.plugged) return finish(-ENODEV);
    if (!d.meter || t.kind == Kind::Other) return finish(-EPIPE);

    const int k = static_cast<int>(t.kind);
    const Fault& f = d.meter->faults[k];
    const bool faulty = ++d.seen[k] > f.afterCount;
    if (faulty && f.delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(f.delayMs, timeout)));
        if (f.delayMs >= timeout) return finish(-ETIMEDOUT);
    }
    if (faulty && f.fail) {
        if (f.result > 0 && !out) {
            std::vector<std::uint8_t> full(std::max(size, 248));
            Answer(*d.meter, t.kind, value, index, full.data(), size);
            std::memcpy(data, full.data(), std::min(f.result, size));
        }
        return finish(f.result);
    }
    return finish(Answer(*d.meter, t.kind, value, index, data, size));
}

// Present in the real library; harmless here.
void usb_set_debug(int) {}
char* usb_strerror(void) { return const_cast<char*>("simulated meter"); }

}  // extern "C"
