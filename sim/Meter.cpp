#include "sim/Meter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

// The demo spectrum's noise: one sequence for the whole process.
std::uint32_t noise = 12345;

void PutLe(std::uint8_t* p, std::uint32_t v, int count) {
    for (int k = 0; k < count; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
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

Kind KindNamed(const char* name) {
    for (int k = 0; k < kKinds; ++k)
        if (std::strcmp(name, KindName(static_cast<Kind>(k))) == 0) return static_cast<Kind>(k);
    return Kind::Other;
}

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
        if (!m.scriptedSweeps.empty()) {
            std::memcpy(frame, m.scriptedSweeps[m.nextScripted % m.scriptedSweeps.size()].data(), 128);
            ++m.nextScripted;
        } else if (m.sky) {
            const double pointing = m.swinging ? SwingPointing(m.sweepsAnswered++) : 0.0;
            SkySweep(*m.sky, pointing, static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index), frame);
        } else {
            const double signal = m.swinging ? SwingSignal(m.sweepsAnswered) : 1.0;
            const double second = m.swinging ? SwingSecondSignal(m.sweepsAnswered++) : 0.0;
            DemoSweep(static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index), frame, signal, second);
        }
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

double SwingSignal(std::uint32_t sweep) {
    const double pi = 3.14159265358979323846;
    const double pointingError = 2 * std::sin(2 * pi * (sweep % 480) / 480.0);
    return 0.15 + 0.85 * std::exp(-pointingError * pointingError);
}

double SwingSecondSignal(std::uint32_t sweep) {
    const double pi = 3.14159265358979323846;
    const double offSecond = 2 * std::sin(2 * pi * (sweep % 480) / 480.0) + 2;
    return std::exp(-2 * offSecond * offSecond);
}

void DemoSweep(std::uint16_t value, std::uint16_t index, std::uint8_t* frame, double signal, double second) {
    const int flags = value >> 8;
    const bool pol = flags & 0x80, upper = flags & 0x40, amp = flags & 0x20, att = flags & 0x10;
    const int shift = index & 0x0FFF;
    int step = index >> 12;
    if (step == 0) step = 16;
    const int band = (pol ? 1 : 0) + (upper ? 2 : 0);
    const int floor = 118 + (amp ? 21 : 0) - (att ? 46 : 0);
    std::uint32_t& rng = noise;
    for (int i = 0; i < 128; ++i) {
        const int f = shift + i * step;  // IF of this sample, MHz
        double level = floor - (f - 950) / 160.0;
        // Transponders of 30 MHz every 38 MHz or so; which exist and how
        // strong depends on band and polarisation.
        // The second satellite's plan is another draw of the same kind; where
        // both have a transponder, the stronger one shows.
        const int slot = (f - 940) / 38;
        auto transponder = [f, slot](std::uint32_t h, double strength) {
            if (slot < 0 || (h >> 7) % 4 == 0 || strength <= 0) return 0.0;
            const double centre = 940 + slot * 38 + 19 + static_cast<int>((h >> 3) % 5) - 2;
            const double d = std::abs(f - centre);
            const double height = (28 + (h >> 11) % 45) * strength;
            return d < 15 ? height * (d < 10 ? 1.0 : (15 - d) / 5.0) : 0.0;
        };
        const std::uint32_t h = (static_cast<std::uint32_t>(slot) * 2654435761u) ^ (band * 40503u);
        const double first = transponder(h, signal);
        const double other = transponder(h * 2246822519u + 0x9E3779B9u, second);
        if (first > 0 || other > 0) level += std::max(first, other);
        rng = rng * 1103515245u + 12345u;
        level += static_cast<int>((rng >> 16) % 9) - 4;
        frame[i] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(level), 0, 255));
    }
}

std::shared_ptr<const Sky> LoadSky(const std::string& folder, const std::string& position, double lnbDrift) {
    sky::Catalogue catalogue = sky::LoadScanFolder(folder);
    auto result = std::make_shared<Sky>();
    result->lnbDrift = lnbDrift;
    bool found = false;
    for (const sky::Satellite& s : catalogue.satellites) {
        if (s.cBand) continue;
        if (s.position == position) {
            found = true;
            result->aim = s.longitude;
        }
        Sky::Position& p = result->positions.emplace_back();
        p.longitude = s.longitude;
        p.carriers.reserve(s.transponders.size());
        for (const sky::Transponder& t : s.transponders) {
            // Its height, 6..20 dB, fixed by its frequency.
            const auto h = static_cast<std::uint32_t>(t.frequency * 1000) * 2654435761u;
            const double height = 6 + (h >> 20) % 15;
            p.carriers.push_back({t.frequency, t.Width() / 2, std::pow(10.0, height / 10),
                                  sky::OnHorizontalSwitch(t.polarisation)});
        }
    }
    if (!found) return nullptr;
    return result;
}

double SwingPointing(std::uint32_t sweep) {
    const double pi = 3.14159265358979323846;
    return 6 * std::sin(2 * pi * (sweep % 480) / 480.0);
}

void SkySweep(const Sky& sky, double pointing, std::uint16_t value, std::uint16_t index, std::uint8_t* frame) {
    const int flags = value >> 8;
    const bool horizontal = flags & 0x80, upper = flags & 0x40, amp = flags & 0x20, att = flags & 0x10;
    const int shift = index & 0x0FFF;
    int step = index >> 12;
    if (step == 0) step = 16;
    const double lo = (upper ? 10600 : 9750) + sky.lnbDrift;
    const double koef = 0.43;  // dB per sample unit at the default calibration
    // Linear power above the floor per sample, summed over the satellites in view.
    double excess[128] = {};
    const double aim = sky.aim + pointing;
    for (const Sky::Position& sat : sky.positions) {
        // Off the beam: 12 (off / beamwidth)^2 dB, with a half-power beamwidth of 1.8 degrees.
        const double off = sat.longitude - aim;
        const double loss = 12 * (off / 1.8) * (off / 1.8);
        if (loss > 30) continue;
        const double weakened = std::pow(10.0, -loss / 10);
        for (const Sky::Carrier& t : sat.carriers) {
            if (t.horizontal != horizontal) continue;
            const double centre = t.frequency - lo;  // IF
            const double half = t.half;
            if (centre + 3 * half < shift || centre - 3 * half > shift + 127.0 * step) continue;
            const double peak = t.peak * weakened;
            // Sample i stands for the IF the chart places it at: the start
            // plus (i - 1) steps. Only the samples within three half-widths
            // of the centre: beyond them a transponder adds less than
            // 1/59049 of its peak.
            const int first = std::max(0, static_cast<int>(std::ceil((centre - 3 * half - shift) / step)) + 1);
            const int last = std::min(127, static_cast<int>(std::floor((centre + 3 * half - shift) / step)) + 1);
            for (int i = first; i <= last; ++i) {
                const double d = (shift + (i - 1) * step - centre) / half;
                const double d2 = d * d;
                excess[i] += peak / (1 + d2 * d2 * d2 * d2 * d2);  // flat top, -3 dB at the edges
            }
        }
    }
    std::uint32_t& rng = noise;
    for (int i = 0; i < 128; ++i) {
        const int f = shift + (i - 1) * step;
        // The floor falls by about 4 dB across the IF band, as a cable's loss grows.
        double db = 118 * koef + (amp ? 9 : 0) - (att ? 20 : 0) - (f - 950) / 300.0;
        if (excess[i] > 0) db += 10 * std::log10(1 + excess[i]);
        double n = 0;
        for (int k = 0; k < 4; ++k) {
            rng = rng * 1103515245u + 12345u;
            n += ((rng >> 16) & 0x7FFF) / 32768.0 - 0.5;
        }
        db += n * 0.9;  // about 0.5 dB of noise
        frame[i] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(db / koef)), 0, 255));
    }
}

}  // namespace sim
