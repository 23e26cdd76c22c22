#include "tests/usb/RealStack.h"

#include "device/UsbLink.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace realstack {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
}

// A value "0x1f" or "9" after "key=" in a log field.
bool Field(const std::string& word, const char* key, int& out) {
    const std::string k = std::string(key) + "=";
    if (word.compare(0, k.size(), k) != 0) return false;
    out = static_cast<int>(std::strtol(word.c_str() + k.size(), nullptr, 0));
    return true;
}

}  // namespace

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool Available() { return !Env("USB_METER_LOG").empty() && !Env("USB_GADGET_UDC").empty(); }

std::vector<LoggedRequest> ReadLog(const std::string& path) {
    std::vector<LoggedRequest> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        LoggedRequest r;
        std::string w;
        if (!(words >> r.time)) continue;
        bool isRequest = false;
        while (words >> w) {
            if (Field(w, "type", r.requestType)) isRequest = true;
            else if (Field(w, "req", r.request) || Field(w, "value", r.value) || Field(w, "index", r.index) ||
                     Field(w, "len", r.length)) {
            } else if (w.rfind("kind=", 0) == 0) {
                r.kind = w.substr(5);
                std::getline(words, r.outcome);
                if (!r.outcome.empty() && r.outcome[0] == ' ') r.outcome.erase(0, 1);
                break;
            }
        }
        if (isRequest) out.push_back(r);
    }
    return out;
}

std::vector<LoggedRequest> MeterLog() { return ReadLog(Env("USB_METER_LOG")); }

std::vector<LoggedRequest> OfKind(const std::vector<LoggedRequest>& log, const std::string& kind) {
    std::vector<LoggedRequest> out;
    for (const auto& r : log)
        if (r.kind == kind) out.push_back(r);
    return out;
}

void SetControl(const std::string& text) {
    const std::string path = Env("USB_METER_CONTROL");
    WriteFile(path + ".new", text);
    std::rename((path + ".new").c_str(), path.c_str());
}

void Unplug() { WriteFile(Env("USB_GADGET_UDC"), "\n"); }

bool Replug(std::chrono::milliseconds timeout) {
    WriteFile(Env("USB_GADGET_UDC"), Env("USB_UDC_NAME") + "\n");
    const auto t0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - t0 < timeout) {
        {
            device::MeterSession s;
            std::uint8_t info[7];
            if (s && s.Transfer(device::kDeviceInfo, info) == 7) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::vector<std::string> OpenUsbFiles() {
    std::vector<std::string> out;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        char target[512];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        if (std::string(target).rfind("/dev/bus/usb/", 0) == 0) out.emplace_back(target);
    }
    closedir(d);
    return out;
}

double MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace realstack
