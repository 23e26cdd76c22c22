// The program on a Windows PC without libusb-win32 (no driver installed), or
// with a libusb0.dll that lacks functions the link needs: it behaves exactly
// as with no meter attached. Run from a folder that holds no usable DLL.
#include "device/UsbLink.h"
#include "firmware/Upload.h"
#include "panorama/Panorama.h"
#include "settings/Exchange.h"

#include "RecordingPrompt.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(NoLibusb, EveryOperationFindsNoMeterAndSaysSo) {
    EXPECT_FALSE(device::LoadUsbLibrary());
    EXPECT_EQ(device::FindDevice(), nullptr);
    {
        device::MeterSession s;
        EXPECT_FALSE(s);
    }

    // The panorama tick is silent, in either position of the toggle, and
    // leaves the settings buffer alone.
    panorama::SweepFrame frame{};
    settings::SettingsBlock buf{};
    buf.fill(0x5A);
    EXPECT_EQ(panorama::ExchangeTick(true, 0xE000, 950, 10, frame, buf), panorama::TickResult::NoMeter);
    device::LinkState link = device::LinkState::Connected;
    EXPECT_EQ(panorama::ExchangeTick(false, 0, 950, 10, frame, buf, &link), panorama::TickResult::NoMeter);
    // The window tells why: the driver, not the meter, is missing.
    EXPECT_EQ(link, device::LinkState::NoDriver);
    EXPECT_STREQ(device::StateText(link), "Нет драйвера libusb-win32");
    settings::SettingsBlock untouched{};
    untouched.fill(0x5A);
    EXPECT_EQ(buf, untouched);

    // The user's operations say the meter is disconnected, and nothing more.
    RecordingPrompt prompt;
    int steps = 0;
    settings::ReadFromMeter(buf, prompt, [&] { ++steps; });
    settings::WriteToMeter(buf, prompt, [&] { ++steps; });
    firmware::Image image{};
    image.fill(0xFF);
    std::FILE* out = std::fopen("NUL", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(firmware::UploadFirmware(image, 0, 128, prompt, out), 0);
    std::fclose(out);
    EXPECT_EQ(prompt.messages,
              (std::vector<std::string>{"Velkarn3 отключен", "Velkarn3 отключен", "Velkarn3 отключен"}));
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(buf, untouched);
}
