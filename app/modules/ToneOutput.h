// The sound device the aiming tone plays on, one implementation per system:
// Qt Multimedia's audio sink where Qt has it (Linux: PulseAudio or PipeWire),
// the system's own waveOut where the program's Qt comes without Multimedia
// (the static Windows build; win32/ToneOutputWaveOut.cpp). Free of Qt, so
// that either can sit behind it. Everything is called on the window's thread.
#pragma once

#include "aiming/Aiming.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class ToneOutput {
public:
    virtual ~ToneOutput() = default;

    // Empty while the system offers a sound output; otherwise why it does
    // not, as the user is told (UTF-8).
    virtual std::string Unavailable() = 0;
    // Opens the device and plays the tone's silence; false when it cannot.
    // Small buffers: what is set is heard within some 40 ms.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual bool Playing() const = 0;
    // The tone: a pitch in Hz, or silence; and a double beep over it.
    virtual void Set(std::optional<double> hz) = 0;
    virtual void Beep() = 0;

    // Called when outputs come or go, or the one playing fails.
    std::function<void()> changed;
};

// The system's output.
std::unique_ptr<ToneOutput> MakeToneOutput();

// The texts the user sees when there is no sound (UTF-8).
inline constexpr const char* kNoSoundDevice = "Нет устройства вывода звука";
inline constexpr const char* kSoundDeviceFailed = "Устройство вывода звука не открывается";
