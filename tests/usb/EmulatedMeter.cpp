#include "tests/usb/EmulatedMeter.h"

#include <linux/usb/functionfs.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace usbmeter {
namespace {

constexpr std::uint8_t kHidClass = 0x03;
constexpr std::uint8_t kVendorClass = 0xFF;
constexpr std::uint8_t kDescInterface = 0x04;
constexpr std::uint8_t kDescEndpoint = 0x05;
constexpr std::uint8_t kDescHid = 0x21;
constexpr std::uint8_t kDescHidReport = 0x22;
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kHidSetIdle = 0x0A;
constexpr std::uint8_t kStandardInInterface = 0x81;
constexpr std::uint8_t kClassOutInterface = 0x21;

void Le16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Le32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

std::vector<std::uint8_t> HidDescriptor() {
    std::vector<std::uint8_t> d{9, kDescHid};
    Le16(d, 0x0111);  // HID 1.11
    d.push_back(0);   // no country
    d.push_back(1);   // one class descriptor: the report descriptor
    d.push_back(kDescHidReport);
    Le16(d, static_cast<unsigned>(HidReportDescriptor().size()));
    return d;
}

// One speed's descriptors: the interface, for HID its HID descriptor, and the
// interrupt-in endpoint that a HID interface must have. `interval` is in the
// speed's own units (frames at full speed, 2^(n-1) microframes at high speed).
int AppendSpeed(std::vector<std::uint8_t>& out, InterfaceClass cls, std::uint8_t interval) {
    const bool hid = cls == InterfaceClass::Hid;
    const std::uint8_t iface[] = {9, kDescInterface, 0, 0, 1, hid ? kHidClass : kVendorClass, 0, 0, 0};
    out.insert(out.end(), std::begin(iface), std::end(iface));
    if (hid) {
        const auto h = HidDescriptor();
        out.insert(out.end(), h.begin(), h.end());
    }
    const std::uint8_t ep[] = {7, kDescEndpoint, 0x81, 0x03, 8, 0, interval};
    out.insert(out.end(), std::begin(ep), std::end(ep));
    return hid ? 3 : 2;
}

bool ReadInt(std::istringstream& in, int& out) {
    std::string word;
    if (!(in >> word)) return false;
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || v < 0 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseInterfaceClass(const std::string& text, InterfaceClass& out) {
    if (text == "hid") out = InterfaceClass::Hid;
    else if (text == "vendor") out = InterfaceClass::Vendor;
    else return false;
    return true;
}

const std::vector<std::uint8_t>& HidReportDescriptor() {
    static const std::vector<std::uint8_t> report{
        0x06, 0x00, 0xFF,  // usage page: vendor defined
        0x09, 0x01,        // usage 1
        0xA1, 0x01,        // collection: application
        0x15, 0x00,        //   logical minimum 0
        0x26, 0xFF, 0x00,  //   logical maximum 255
        0x75, 0x08,        //   report size 8 bits
        0x95, 0x08,        //   report count 8
        0x09, 0x00,        //   usage: undefined
        0x81, 0x02,        //   input: data, variable, absolute
        0xC0,              // end collection
    };
    return report;
}

std::vector<std::uint8_t> FunctionDescriptors(InterfaceClass cls) {
    std::vector<std::uint8_t> fs, hs;
    const int fsCount = AppendSpeed(fs, cls, 10);
    const int hsCount = AppendSpeed(hs, cls, 7);
    std::vector<std::uint8_t> out;
    Le32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    Le32(out, 0);  // length, filled in below
    Le32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP);
    Le32(out, static_cast<std::uint32_t>(fsCount));
    Le32(out, static_cast<std::uint32_t>(hsCount));
    out.insert(out.end(), fs.begin(), fs.end());
    out.insert(out.end(), hs.begin(), hs.end());
    const auto length = static_cast<std::uint32_t>(out.size());
    for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<std::uint8_t>(length >> (8 * k));
    return out;
}

std::vector<std::uint8_t> FunctionStrings() {
    std::vector<std::uint8_t> out;
    Le32(out, FUNCTIONFS_STRINGS_MAGIC);
    Le32(out, 16);
    Le32(out, 0);  // strings
    Le32(out, 0);  // languages
    return out;
}

Control ParseControl(const std::string& text) {
    Control c;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string raw = line;
        line = line.substr(0, line.find('#'));
        std::istringstream in(line);
        std::string kindName, action;
        if (!(in >> kindName)) continue;  // blank or comment
        const sim::Kind kind = sim::KindNamed(kindName.c_str());
        sim::Fault f;
        bool ok = kind != sim::Kind::Other && static_cast<bool>(in >> action);
        if (ok && action == "stall") {
            f.fail = true;
            f.result = -32;  // EPIPE
        } else if (ok && action == "short") {
            f.fail = true;
            ok = ReadInt(in, f.result);
        } else if (ok && action == "delay") {
            ok = ReadInt(in, f.delayMs);
        } else {
            ok = false;
        }
        std::string word;
        if (ok && in >> word) ok = word == "after" && ReadInt(in, f.afterCount) && !(in >> word);
        if (!ok) {
            c.errors.push_back(raw);
            continue;
        }
        c.faults[static_cast<int>(kind)] = f;
    }
    return c;
}

EmulatedMeter::EmulatedMeter(InterfaceClass cls) : class_(cls) { meter_.settings = sim::DemoSettings(); }

void EmulatedMeter::SetFaults(const std::array<sim::Fault, sim::kKinds>& faults) {
    meter_.faults = faults;
    seen_.fill(0);
}

const sim::Fault* EmulatedMeter::FaultFor(sim::Kind kind) {
    const int k = static_cast<int>(kind);
    const sim::Fault& f = meter_.faults[k];
    const bool ordered = f.fail || f.delayMs > 0;
    return ++seen_[k] > f.afterCount && ordered ? &f : nullptr;
}

Decision EmulatedMeter::In(const Setup& s) {
    Decision d;
    const sim::Kind kind = sim::KindOf(s.requestType, s.request, s.value);
    if (kind == sim::Kind::Other) {
        // The host's HID driver asks for the report descriptor (and may ask
        // for the HID descriptor); everything else unknown is refused.
        const int type = s.value >> 8;
        if (class_ == InterfaceClass::Hid && s.requestType == kStandardInInterface &&
            s.request == kGetDescriptor && s.index == 0 && (type == kDescHidReport || type == kDescHid)) {
            d.reply = type == kDescHidReport ? HidReportDescriptor() : HidDescriptor();
            if (d.reply.size() > s.length) d.reply.resize(s.length);
            return d;
        }
        d.stall = true;
        d.note = "unknown";
        return d;
    }
    const sim::Fault* f = FaultFor(kind);
    if (f) d.delayMs = f->delayMs;
    std::vector<std::uint8_t> buf(std::max<std::size_t>(s.length, 256), 0);
    const int n = sim::Answer(meter_, kind, s.value, s.index, buf.data(), s.length);
    if (f && f->fail && f->result < 0) {
        d.stall = true;
        d.note = "ordered-stall";
        return d;
    }
    if (n < 0) {
        d.stall = true;
        return d;
    }
    int count = n;
    if (f && f->fail) {
        count = std::min(n, f->result);
        d.note = "ordered-short";
    } else if (f) {
        d.note = "ordered-delay";
    }
    d.reply.assign(buf.begin(), buf.begin() + count);
    return d;
}

Decision EmulatedMeter::BeforeOut(const Setup& s) {
    Decision d;
    const sim::Kind kind = sim::KindOf(s.requestType, s.request, s.value);
    if (kind == sim::Kind::Other) {
        // The HID driver sets the idle rate; taking it is all there is to do.
        if (class_ == InterfaceClass::Hid && s.requestType == kClassOutInterface && s.request == kHidSetIdle)
            return d;
        d.stall = true;
        d.note = "unknown";
        return d;
    }
    const sim::Fault* f = FaultFor(kind);
    if (!f) return d;
    d.delayMs = f->delayMs;
    if (f->fail && f->result < 0) {
        d.stall = true;
        d.note = "ordered-stall";
    } else if (f->fail) {
        // The host always sends the whole data stage: a short count cannot be
        // made on this side.
        d.note = "ordered-short-ignored";
    } else {
        d.note = "ordered-delay";
    }
    return d;
}

void EmulatedMeter::Out(const Setup& s, const std::uint8_t* data, int size) {
    const sim::Kind kind = sim::KindOf(s.requestType, s.request, s.value);
    if (kind == sim::Kind::Other) return;
    std::vector<std::uint8_t> copy(data, data + size);
    sim::Answer(meter_, kind, s.value, s.index, copy.data(), size);
}

std::string LogLine(double seconds, const Setup& s, const std::string& outcome) {
    char head[160];
    std::snprintf(head, sizeof head, "%.6f type=0x%02x req=%u value=0x%04x index=0x%04x len=%u kind=%s ",
                  seconds, s.requestType, s.request, s.value, s.index, s.length,
                  sim::KindName(sim::KindOf(s.requestType, s.request, s.value)));
    return head + outcome;
}

}  // namespace usbmeter
