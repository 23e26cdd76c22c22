// usb_gadget_meter: the meter behind a FunctionFS mount. Writes the function's
// descriptors, then answers every control request that reaches endpoint 0,
// logging each one, until it is killed.
//
//   usb_gadget_meter --ffs DIR [--class hid|vendor] [--log FILE]
//                    [--control FILE] [--flash FILE] [--ready FILE]
//
// --control names a file of ordered faults (see EmulatedMeter.h), read again
// whenever it changes; --flash receives the assembled flash image after each
// end-of-upload request; --ready is created once the descriptors are in place
// (the gadget may then be bound to its controller).
#include "tests/usb/EmulatedMeter.h"

#include <linux/usb/functionfs.h>

#include <endian.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    std::string ffs, log, control, flash, ready;
    usbmeter::InterfaceClass cls = usbmeter::InterfaceClass::Hid;
};

int logFd = -1;

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void Log(const std::string& line) {
    if (logFd < 0) return;
    const std::string l = line + "\n";
    if (write(logFd, l.data(), l.size()) < 0) std::perror("usb_gadget_meter: log");
}

void LogEvent(const char* what) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.6f event=%s", Now(), what);
    Log(buf);
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    return write(fd, data, size) == static_cast<ssize_t>(size);
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string tmp = path + ".tmp";
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, bytes.data(), bytes.size());
    close(fd);
    return ok && rename(tmp.c_str(), path.c_str()) == 0;
}

// Rereads the control file when it appeared, vanished or changed.
class ControlWatch {
public:
    explicit ControlWatch(std::string path) : path_(std::move(path)) {}
    void Update(usbmeter::EmulatedMeter& meter) {
        if (path_.empty()) return;
        struct stat st{};
        std::string key = "absent";
        if (stat(path_.c_str(), &st) == 0)
            key = std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
                  std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (key == key_) return;
        key_ = key;
        std::string text;
        if (FILE* f = std::fopen(path_.c_str(), "r")) {
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
            std::fclose(f);
        }
        const usbmeter::Control c = usbmeter::ParseControl(text);
        meter.SetFaults(c.faults);
        char head[64];
        std::snprintf(head, sizeof head, "%.6f control", Now());
        Log(std::string(head) + " loaded " + std::to_string(text.size()) + " bytes");
        for (const auto& e : c.errors) Log(std::string(head) + " unreadable: " + e);
    }

private:
    std::string path_;
    std::string key_ = "absent";
};

void Sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Errno(const char* what) { return std::string(what) + "-failed:" + std::strerror(errno); }

void HandleSetup(int ep0, const usb_ctrlrequest& raw, usbmeter::EmulatedMeter& meter, ControlWatch& control,
                 const Options& opt) {
    usbmeter::Setup s;
    s.requestType = raw.bRequestType;
    s.request = raw.bRequest;
    s.value = le16toh(raw.wValue);
    s.index = le16toh(raw.wIndex);
    s.length = le16toh(raw.wLength);
    const double t = Now();
    control.Update(meter);
    std::string outcome;
    if (s.DeviceToHost()) {
        const usbmeter::Decision d = meter.In(s);
        Sleep(d.delayMs);
        if (d.stall) {
            // A read while a device-to-host request waits stalls it.
            (void)!read(ep0, nullptr, 0);
            outcome = "stalled";
        } else if (write(ep0, d.reply.data(), d.reply.size()) < 0) {
            outcome = Errno("reply");
        } else {
            outcome = "sent=" + std::to_string(d.reply.size());
        }
        if (!d.note.empty()) outcome += " " + d.note;
    } else {
        const usbmeter::Decision d = meter.BeforeOut(s);
        Sleep(d.delayMs);
        if (d.stall) {
            // A write while a host-to-device request waits stalls it.
            (void)!write(ep0, nullptr, 0);
            outcome = "stalled";
        } else {
            std::vector<std::uint8_t> data(s.length);
            const ssize_t n = read(ep0, data.data(), data.size());
            if (n < 0) {
                outcome = Errno("receive");
            } else {
                meter.Out(s, data.data(), static_cast<int>(n));
                outcome = "received=" + std::to_string(n);
                if (sim::KindOf(s.requestType, s.request, s.value) == sim::Kind::EndOfUpload && !opt.flash.empty() &&
                    !WriteFileAtomically(opt.flash, meter.meter().flash))
                    outcome += " flash-file-failed";
            }
        }
        if (!d.note.empty()) outcome += " " + d.note;
    }
    char took[48];
    std::snprintf(took, sizeof took, " took=%.3fms", (Now() - t) * 1000);
    Log(usbmeter::LogLine(t, s, outcome + took));
}

int Usage() {
    std::fprintf(stderr,
                 "usage: usb_gadget_meter --ffs DIR [--class hid|vendor] [--log FILE] [--control FILE]"
                 " [--flash FILE] [--ready FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string v = argv[++i];
        if (a == "--ffs") opt.ffs = v;
        else if (a == "--log") opt.log = v;
        else if (a == "--control") opt.control = v;
        else if (a == "--flash") opt.flash = v;
        else if (a == "--ready") opt.ready = v;
        else if (a == "--class") {
            if (!usbmeter::ParseInterfaceClass(v, opt.cls)) return Usage();
        } else {
            return Usage();
        }
    }
    if (opt.ffs.empty()) return Usage();
    if (!opt.log.empty()) {
        logFd = open(opt.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (logFd < 0) std::perror(opt.log.c_str());
    }

    const int ep0 = open((opt.ffs + "/ep0").c_str(), O_RDWR);
    if (ep0 < 0) {
        std::perror((opt.ffs + "/ep0").c_str());
        return 1;
    }
    const auto descs = usbmeter::FunctionDescriptors(opt.cls);
    const auto strings = usbmeter::FunctionStrings();
    if (!WriteAll(ep0, descs.data(), descs.size())) {
        std::perror("usb_gadget_meter: descriptors");
        return 1;
    }
    if (!WriteAll(ep0, strings.data(), strings.size())) {
        std::perror("usb_gadget_meter: strings");
        return 1;
    }
    LogEvent(opt.cls == usbmeter::InterfaceClass::Hid ? "READY class=hid" : "READY class=vendor");
    if (!opt.ready.empty()) {
        const int fd = open(opt.ready.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) close(fd);
    }

    usbmeter::EmulatedMeter meter(opt.cls);
    ControlWatch control(opt.control);
    int failures = 0;
    for (;;) {
        usb_functionfs_event ev{};
        const ssize_t n = read(ep0, &ev, sizeof ev);
        if (n < 0) {
            if (errno == EINTR) continue;
            Log(Errno("event"));
            if (++failures > 1000) return 1;
            Sleep(10);
            continue;
        }
        failures = 0;
        if (n != static_cast<ssize_t>(sizeof ev)) continue;
        switch (ev.type) {
        case FUNCTIONFS_SETUP: HandleSetup(ep0, ev.u.setup, meter, control, opt); break;
        case FUNCTIONFS_BIND: LogEvent("BIND"); break;
        case FUNCTIONFS_UNBIND: LogEvent("UNBIND"); break;
        case FUNCTIONFS_ENABLE: LogEvent("ENABLE"); break;
        case FUNCTIONFS_DISABLE: LogEvent("DISABLE"); break;
        case FUNCTIONFS_SUSPEND: LogEvent("SUSPEND"); break;
        case FUNCTIONFS_RESUME: LogEvent("RESUME"); break;
        default: LogEvent("OTHER"); break;
        }
    }
}
