// Replaying a recording at its own pace: the sweeps shown so far (a history,
// as the live sweeps are kept), the replay's clock, its speed and pause, and
// the start of a stretch to export.
#pragma once

#include "recording/Recording.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace recording {

class Player {
public:
    // A recording with at least one sweep; the first is shown at once.
    explicit Player(Recording recording);

    const Recording& Source() const { return recording_; }
    const History& Shown() const { return shown_; }
    // The next sweep to show: those before it are shown.
    std::size_t Next() const { return next_; }
    bool AtEnd() const { return next_ >= recording_.sweeps.size(); }

    // Shows the recording up to sweep `index` (the last one at most), the
    // clock at its time.
    void Seek(std::size_t index);
    // A tick `elapsedMs` after the one before: the clock runs on at the
    // speed (not while paused), and every sweep whose time has come is shown,
    // `each` told of each one as it is added.
    void Advance(std::int64_t elapsedMs, const std::function<void(const Sweep&)>& each);
    // 1, 4 or 16 times the recording's pace (anything else: 1).
    void SetSpeed(int factor);
    int Speed() const { return speed_; }
    // Played again at the end, the replay starts from its first sweep:
    // true when it did.
    bool SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // The stretch to export starts at the sweep shown last.
    void MarkStart();
    std::optional<std::size_t> StretchStart() const { return stretchStart_; }

private:
    Recording recording_;
    History shown_;
    std::size_t next_ = 0;
    std::int64_t clockMs_ = 0;
    int speed_ = 1;
    bool paused_ = false;
    std::optional<std::size_t> stretchStart_;
};

}  // namespace recording
