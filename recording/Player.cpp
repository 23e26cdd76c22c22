#include "recording/Player.h"

#include <algorithm>

namespace recording {

Player::Player(Recording recording) : recording_(std::move(recording)) { Seek(0); }

void Player::Seek(std::size_t index) {
    if (recording_.sweeps.empty()) return;
    index = std::min(index, recording_.sweeps.size() - 1);
    shown_.Clear();
    const std::size_t from = index + 1 > shown_.Capacity() ? index + 1 - shown_.Capacity() : 0;
    for (std::size_t i = from; i <= index; ++i) shown_.Add(recording_.sweeps[i]);
    next_ = index + 1;
    clockMs_ = recording_.sweeps[index].timeMs;
}

void Player::Advance(std::int64_t elapsedMs, const std::function<void(const Sweep&)>& each) {
    if (paused_) return;
    clockMs_ += std::max<std::int64_t>(0, elapsedMs) * speed_;
    while (next_ < recording_.sweeps.size() && recording_.sweeps[next_].timeMs <= clockMs_) {
        shown_.Add(recording_.sweeps[next_++]);
        if (each) each(shown_.Newest());
    }
}

void Player::SetSpeed(int factor) { speed_ = factor == 16 || factor == 4 ? factor : 1; }

bool Player::SetPaused(bool paused) {
    paused_ = paused;
    if (paused || !AtEnd() || recording_.sweeps.size() < 2) return false;
    Seek(0);
    return true;
}

void Player::MarkStart() {
    if (next_ > 0) stretchStart_ = next_ - 1;
}

}  // namespace recording
