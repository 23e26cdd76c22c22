// Settings exchange with the meter: the read and write requests.
#include "settings/Exchange.h"

#include "device/UsbLink.h"

namespace settings {

void ReadFromMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& apply) {
    device::MeterSession meter;
    if (!meter) {
        prompt.Message(kMsgDisconnected);
        return;
    }
    // The reply lands in a block of its own: a short or failed read must not
    // leave a half-replaced buffer behind.
    SettingsBlock received{};
    if (meter.Transfer(device::kReadSettings, received.data()) == static_cast<int>(kBlockSize)) {
        buffer = received;
        apply();
        prompt.Message(kMsgReceived);
    } else {
        prompt.Message(kMsgReadError);
    }
}  // the meter is closed here, after the box

void WriteToMeter(SettingsBlock& buffer, common::UserPrompt& prompt, const Step& gatherAndApply) {
    device::MeterSession meter;
    if (!meter) {
        prompt.Message(kMsgDisconnected);
        return;
    }
    if (!prompt.Ask(kAskWrite, kAttention)) return;
    gatherAndApply();
    const bool sent = meter.Transfer(device::kWriteSettings, buffer.data()) == static_cast<int>(kBlockSize);
    prompt.Message(sent ? kMsgSent : kMsgWriteError);
}

}  // namespace settings
