// The firmware button as a user works it: choose a file, read the boxes.
#include "Fixture.h"
#include "../unit/TestFiles.h"

#include "firmware/HexLoader.h"

#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const QString kHexDir = QStringLiteral(TESTDATA_DIR "/hex/");

std::vector<std::uint8_t> Reference(const char* name) {
    std::ifstream in(std::string(TESTDATA_DIR "/hex/") + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using FirmwareWindowTest = WindowTest;

TEST_F(FirmwareWindowTest, FlashesTheChosenFileIntoTheMeter) {
    std::vector<int> handlesAtBox;
    dialogs.onMessage = [&](const QString&) { handlesAtBox.push_back(sim::OpenHandles()); };
    dialogs.fileChoices.push_back(kHexDir + "echo_m328p.hex");
    form->Button1->click();

    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, QStringLiteral("Прошивка Velkarn3 (*.hex)|*.hex"));
    EXPECT_EQ(dialogs.messages, (QStringList{QStringLiteral("Page size = 128\nDevice size = 32768\n"
                                                            "Доступно байт - 30720"),
                                             QStringLiteral("Прошито успешно")}));
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(handlesAtBox, (std::vector<int>{1, 1}));  // the boxes come before the close

    // Data cover 0..315; three whole blocks go out.
    const auto reference = Reference("echo_m328p.img");
    const auto& flash = sim::MeterAt(meter).flash;
    ASSERT_EQ(reference.size(), flash.size());
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 384, reference.begin()));
    EXPECT_EQ(flash, reference);
    EXPECT_EQ(sim::LogOf(sim::Kind::FirmwareBlock).size(), 3u);
    EXPECT_EQ(sim::LogOf(sim::Kind::EndOfUpload).size(), 1u);
    EXPECT_EQ(firmware::ImageStart, 0);
    EXPECT_EQ(firmware::ImageEnd, 316);
}

TEST_F(FirmwareWindowTest, CancelledOrDamagedFilesLeaveTheMeterAlone) {
    form->Button1->click();  // dialog cancelled
    EXPECT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    dialogs.fileChoices.push_back(kHexDir + "bad_checksum.hex");
    form->Button1->click();
    EXPECT_EQ(dialogs.messages, (QStringList{QStringLiteral("Warning: Checksum error between address 310"),
                                             QStringLiteral("Ошибка в файле прошивки")}));

    dialogs.messages.clear();
    dialogs.fileChoices.push_back(kHexDir + "empty.hex");
    form->Button1->click();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("No data in input file, exiting.\n")});

    // Made for a chip with more than 64 KiB: its own box, in place of the upload.
    const auto dir = testfiles::ScratchDir("firmware_window");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "big.hex", std::ios::binary) << ":020000021000EC\n:0100000011EE\n:00000001FF\n";
    dialogs.messages.clear();
    dialogs.fileChoices.push_back(QString::fromStdString(testfiles::Utf8(dir / "big.hex")));
    form->Button1->click();
    std::filesystem::remove_all(dir);
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Данные файла лежат выше 64 КБ: прошивка для другого прибора")});

    EXPECT_TRUE(sim::Log().empty());
    EXPECT_EQ(sim::Calls().open, 0);
    EXPECT_EQ(sim::MeterAt(meter).flash, std::vector<std::uint8_t>(sim::kFlashSize, 0xFF));
}

}  // namespace
