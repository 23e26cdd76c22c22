// One tick's exchange with the meter.
#include "panorama/Panorama.h"

#include "device/UsbLink.h"

namespace panorama {

TickResult ExchangeTick(bool panoramaOn, std::uint32_t flags, std::int32_t shift,
                        std::uint32_t step, SweepFrame& frame, settings::SettingsBlock& settingsBuf,
                        device::LinkState* link) {
    device::MeterSession meter;
    const TickResult result = [&] {
        if (!meter) return TickResult::NoMeter;
        if (panoramaOn) {
            frame.fill(0);
            meter.Transfer(device::SweepRequest(flags, shift, step), frame.data());
            return TickResult::Swept;
        }
        // A short or failed reply must not leave a half-overwritten block that a
        // later save or write would pass on.
        settings::SettingsBlock reply = settingsBuf;
        if (meter.Transfer(device::kIdle, reply.data()) == static_cast<int>(settings::kBlockSize))
            settingsBuf = reply;
        return TickResult::Idle;
    }();
    if (link) *link = meter.State();
    return result;
}

}  // namespace panorama
