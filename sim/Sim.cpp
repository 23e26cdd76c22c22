#include "sim/Sim.h"

#include <usb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

// libusb-0.1 exports its bus list as a variable too.
struct usb_bus* usb_busses = nullptr;

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
    std::uint32_t noise = 12345;
};

State& S() {
    static State* state = [] {
        auto* s = new State;
        return s;
    }();
    return *state;
}

// The demo state is what a program sees that loads this library without
// scripting it.
struct DemoInit {
    DemoInit() { ResetToDemo(); }
} demoInit;

int DeviceIndexOf(const struct usb_device* dev) {
    auto& d = S().devices;
    for (std::size_t i = 0; i < d.size(); ++i)
        if (&d[i].dev == dev) return static_cast<int>(i);
    return -1;
}

void PutLe(std::uint8_t* p, std::uint32_t v, int count) {
    for (int k = 0; k < count; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}

// Answers a request as a healthy meter does; returns the full result.
int Answer(Meter& m, Kind kind, int value, int index, std::uint8_t* data, int size) {
    switch (kind) {
    case Kind::ReadSettings:
    case Kind::Idle: {
        int n = std::min<int>(size, 248);
        std::memcpy(data, m.settings.data(), n);
        return n;
    }
    case Kind::WriteSettings: {
        int n = std::min<int>(size, 248);
        std::memcpy(m.settings.data(), data, n);
        return n;
    }
    case Kind::Sweep: {
        std::uint8_t frame[128];
        DemoSweep(static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index), frame);
        int n = std::min(size, 128);
        std::memcpy(data, frame, n);
        return n;
    }
    case Kind::DeviceInfo: {
        std::array<std::uint8_t, 7> info = m.deviceInfo;
        if (!m.rawDeviceInfo) {
            info[0] = 0;
            PutLe(&info[1], m.pageSize, 2);
            PutLe(&info[3], static_cast<std::uint32_t>(m.deviceSize), 4);
        }
        int n = std::min({size, 7, m.deviceInfoLength});
        std::memcpy(data, info.data(), n);
        return n;
    }
    case Kind::FirmwareBlock: {
        if (size >= 4) {
            std::uint32_t addr = data[1] | (data[2] << 8) | (data[3] << 16);
            for (int i = 4; i < size; ++i)
                if (addr + (i - 4) < m.flash.size()) m.flash[addr + (i - 4)] = data[i];
        }
        return size;
    }
    case Kind::EndOfUpload:
        return size;
    case Kind::Other:
        break;
    }
    return -EPIPE;
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

const char* KindName(Kind kind) {
    static const char* names[] = {"ReadSettings", "WriteSettings", "Sweep", "Idle",
                                  "DeviceInfo", "FirmwareBlock", "EndOfUpload", "Other"};
    return names[static_cast<int>(kind)];
}

Kind KindOf(int requestType, int request, int value) {
    int selector = value & 0xFF;
    if (requestType == 0xC0 && request == 9) {
        if (selector == 1) return Kind::ReadSettings;
        if (selector == 2) return Kind::Sweep;
        if (selector == 3) return Kind::Idle;
    }
    if (requestType == 0xC0 && request == 1 && value == 0) return Kind::DeviceInfo;
    if (requestType == 0x40 && request == 1 && value == 0) return Kind::WriteSettings;
    if (requestType == 0x40 && request == 9 && value == 2) return Kind::FirmwareBlock;
    if (requestType == 0x40 && request == 9 && value == 1) return Kind::EndOfUpload;
    return Kind::Other;
}

void Reset() {
    State& s = S();
    s.busses.clear();
    s.devices.clear();
    s.handles.clear();
    s.log.clear();
    s.opened.clear();
    s.calls = {};
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

std::array<std::uint8_t, 248> DemoSettings() {
    std::array<std::uint8_t, 248> b{};
    struct Row { const char* name; int freq; char pol; int rate; int input; };
    const Row rows[] = {
        {"Ast 19E", 11766, 'H', 27500, 0}, {"Hot 13E", 11034, 'V', 27500, 1},
        {"Exp 96E", 11265, 'H', 27500, 2}, {"Sir  5E", 12054, 'H', 27500, 3},
        {"Exp 40E", 11139, 'V', 6000, 20},
    };
    int e = 0;
    for (const Row& r : rows) {
        std::uint8_t* p = &b[16 * e++];
        std::memcpy(p, r.name, 7);
        PutLe(p + 8, r.freq, 2);
        p[10] = static_cast<std::uint8_t>(r.pol);
        PutLe(p + 11, r.rate, 2);
        p[13] = static_cast<std::uint8_t>(r.input);
    }
    b[240] = 55; b[241] = 7 << 4;   // latitude 55,7
    b[242] = 37; b[243] = 6 << 4;   // longitude 037,6
    b[244] = 2;                     // Li-ion
    b[245] = 5 * (105 - 85);        // battery code for Z = 85
    b[246] = 250 - 85;              // Zener code for Z = 85
    return b;
}

void DemoSweep(std::uint16_t value, std::uint16_t index, std::uint8_t* frame) {
    const int flags = value >> 8;
    const bool pol = flags & 0x80, upper = flags & 0x40, amp = flags & 0x20, att = flags & 0x10;
    const int shift = index & 0x0FFF;
    int step = index >> 12;
    if (step == 0) step = 16;
    const int band = (pol ? 1 : 0) + (upper ? 2 : 0);
    const int floor = 118 + (amp ? 21 : 0) - (att ? 46 : 0);
    std::uint32_t& rng = S().noise;
    for (int i = 0; i < 128; ++i) {
        const int f = shift + i * step;  // IF of this sample, MHz
        double level = floor - (f - 950) / 160.0;
        // Transponders of 30 MHz every 38 MHz or so; which exist and how
        // strong depends on band and polarisation.
        const int slot = (f - 940) / 38;
        const std::uint32_t h = (static_cast<std::uint32_t>(slot) * 2654435761u) ^ (band * 40503u);
        if (slot >= 0 && (h >> 7) % 4 != 0) {
            const double centre = 940 + slot * 38 + 19 + static_cast<int>((h >> 3) % 5) - 2;
            const double d = std::abs(f - centre);
            const double height = 28 + (h >> 11) % 45;
            if (d < 15) level += height * (d < 10 ? 1.0 : (15 - d) / 5.0);
        }
        rng = rng * 1103515245u + 12345u;
        level += static_cast<int>((rng >> 16) % 9) - 4;
        frame[i] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(level), 0, 255));
    }
}

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
    s.opened.push_back(i);
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
        s.log.push_back(t);
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
