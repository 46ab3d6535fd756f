// The serial socket's fast transfers on every adapter that reaches it: the
// parallel one on the bench, the in-memory one, and spidev through its fake
// node. On each, whole 93Cxx and 25xx chips go in and come back with the
// classic transfers' image and marks, a chip that does not store is marked
// where it differs, a stuck chip ends the write at its poll's bound, and a
// cancelled write stops without its read-back. Then what spidev alone has:
// its message limit and a bus that cannot hold its select high.
#include <gtest/gtest.h>

#include <algorithm>

#include "eeprom/fast_chip_transfers.h"
#include "eeprom/fast_transfer_fixture.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

using fasttest::All;
using fasttest::Pattern;

using testsupport::AdapterKind;
using testsupport::AdapterRig;

// The whole-chip transfers on whichever interface the rig's adapter has.
bool Read(AdapterRig& rig, const ChipParams& chip, Image& image, Image& marks, Progress& progress) {
    if (hardware::SpiMaster* spi = rig.Spi()) return ReadChipFast(*spi, chip, image, marks, progress);
    return ReadChipFast(rig.Lines(), chip, image, marks, progress);
}

bool Write(AdapterRig& rig, const ChipParams& chip, Image& image, Image& marks, Progress& progress,
           Image* readBack = nullptr) {
    if (hardware::SpiMaster* spi = rig.Spi())
        return WriteChipFast(*spi, chip, image, marks, progress, readBack);
    return WriteChipFast(rig.Lines(), chip, image, marks, progress, readBack);
}

struct CancelAfter final : Progress {
    explicit CancelAfter(int positions) : left(positions) {}
    void SetPosition(int) override { --left; }
    bool Cancelled() override { return left <= 0; }
    int left;
};

class SerialFastTransfers : public fasttest::ChipFixture {};

TEST_P(SerialFastTransfers, ChipsRoundTripAsTheClassicTransfersDo) {
    // The smallest, a middle and the largest geometry of each family, one
    // part in both organisations, and the AT25C040 with address bit 8 in its
    // opcodes.
    for (const char* entry :
         {"93C06 (16)", "93C66 (8)", "93C66 (16)", "93C86 (16)", "AT25C040", "AT25C160"}) {
        SCOPED_TRACE(entry);
        Choose(entry);
        const auto size = static_cast<std::ptrdiff_t>(ImageFileSize(chip));
        image = Pattern(static_cast<int>(size));
        marks.fill(kMarkSeen);
        ASSERT_TRUE(Write(rig, chip, image, marks, progress));
        ASSERT_EQ(image, Pattern(static_cast<int>(size)));
        ASSERT_TRUE(std::equal(image.begin(), image.begin() + size, rig.SocketMemory().begin()));
        EXPECT_TRUE(All(marks, 0, kImageSize, kMarkSeen)) << "a verified write raises no mark";

        // A read starts from a cleared image and cleared marks.
        image.fill(0x5A);
        ASSERT_TRUE(Read(rig, chip, image, marks, progress));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + size, Pattern(static_cast<int>(size)).begin()));
        EXPECT_TRUE(All(image, size, kImageSize, 0));
        EXPECT_TRUE(All(marks, 0, kImageSize, kMarkNone));
        EXPECT_TRUE(rig.LinesAtRest());
    }
    EXPECT_TRUE(progress.messages.empty());

    // An image shorter than the chip takes what fits and no more.
    Choose("93C46 (16)");
    Image bytes{ImageFileSize(chip)};
    Image bytesMarks{bytes.Size()};
    ASSERT_TRUE(Read(rig, chip, bytes, bytesMarks, progress));
    Choose("93C86 (8)");
    ASSERT_TRUE(Read(rig, chip, bytes, bytesMarks, progress));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rig.SocketMemory().begin()));

    // An empty socket answers nothing: said, and the image stays.
    rig.InsertChip("");
    image.fill(0xFF);
    EXPECT_FALSE(Read(rig, chip, image, marks, progress));
    EXPECT_FALSE(Write(rig, chip, image, marks, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>(2, kNoChipMessage));
    EXPECT_TRUE(All(image, 0, kImageSize, 0xFF));
}

TEST_P(SerialFastTransfers, AChipNotStoringIsMarkedWhereItDiffers) {
    Choose("93C46 (8)");
    rig.SetChipNoStore(true);
    image = Pattern(1);
    Image readBack{kImageSize};
    ASSERT_TRUE(Write(rig, chip, image, marks, progress, &readBack));
    EXPECT_EQ(image, Pattern(1));
    int marked = 0;
    for (std::size_t k = 0; k < 128; ++k) {
        EXPECT_EQ(marks[k] == kMarkMismatch, readBack[k] != image[k]) << k;
        marked += marks[k] == kMarkMismatch;
    }
    EXPECT_GT(marked, 0);
}

TEST_P(SerialFastTransfers, AStuckChipEndsTheWriteAndACancelSkipsTheReadBack) {
    rig.ForceWriteCycleUs(60'000);
    image = Pattern(5);
    for (const char* entry : {"93C46 (8)", "AT25C010"}) {
        SCOPED_TRACE(entry);
        Choose(entry);
        marks.fill(kMarkNone);
        const std::int64_t start = rig.Adapter().NowUs();
        Write(rig, chip, image, marks, progress);
        // The first unit's poll gives up; nothing after it is written, and
        // the verify shows it.
        EXPECT_LT(rig.Adapter().NowUs() - start, (kChipWaitLimitMs + 18) * 1000);
        EXPECT_FALSE(All(marks, 0, kImageSize, kMarkNone));
        EXPECT_EQ(image, Pattern(5));
    }

    rig.ForceWriteCycleUs(0);
    Choose("AT25C160");
    std::fill(rig.SocketMemory().begin(), rig.SocketMemory().end(), std::uint8_t{0xFF});
    marks.fill(kMarkNone);
    CancelAfter cancel(2);
    EXPECT_TRUE(Write(rig, chip, image, marks, cancel));
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 32, rig.SocketMemory().begin())) << "two pages";
    EXPECT_TRUE(std::all_of(rig.SocketMemory().begin() + 32, rig.SocketMemory().end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(All(marks, 0, kImageSize, kMarkNone)) << "no read-back";
}

INSTANTIATE_TEST_SUITE_P(Adapters, SerialFastTransfers, testsupport::kSerialAdapters,
                         testsupport::AdapterName);

// spidev: a bus whose messages take 40 bytes still reads and writes whole
// chips (a READ per 40-byte message); the node refuses a longer message.
TEST(SpidevTransfers, ReadsSplitAtTheModulesBufferLimit) {
    simulator::FakeSpidev::Config config;
    config.bufsiz = 40;
    AdapterRig rig(AdapterKind::Spidev, config);
    RecordingProgress progress;
    for (const char* entry : {"AT25C160", "93C66 (16)"}) {
        SCOPED_TRACE(entry);
        ChipParams chip;
        ApplyChipChoice(chip, entry);
        rig.InsertChip(entry);
        const auto size = static_cast<std::ptrdiff_t>(ImageFileSize(chip));
        Image image = Pattern(9);
        Image marks{kImageSize};
        ASSERT_TRUE(WriteChipFast(*rig.Spi(), chip, image, marks, progress));
        EXPECT_TRUE(All(marks, 0, kImageSize, kMarkNone));
        const std::uint64_t before = rig.SpidevNode().Messages();
        ASSERT_TRUE(ReadChipFast(*rig.Spi(), chip, image, marks, progress));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + size, Pattern(9).begin()));
        EXPECT_GE(rig.SpidevNode().Messages() - before, static_cast<std::uint64_t>(size / 40))
            << "one READ per message";
    }
    std::vector<std::uint8_t> in;
    EXPECT_FALSE(rig.Spi()->Transfer(std::vector<std::uint8_t>(41), in));
    EXPECT_TRUE(progress.messages.empty());
}

// Selects a 93Cxx (active high) cannot use: a native one that cannot be held
// high, a GPIO one the device tree makes active low, one whose level the
// system does not show. A 93Cxx is refused with a sentence that says what to
// set; a 25xx still works. A GPIO select the device tree makes active high
// runs the 93Cxx and refuses the 25xx instead, never claiming a level.
TEST(SpidevTransfers, MicrowireNeedsASelectProvenHigh) {
    struct Case {
        const char* name;
        simulator::FakeSpidev::Config config;
        const char* refusal;  // in the refused chip's message
        bool microwire;       // the 93C46 works, else the AT25C010 does
    };
    const Case cases[] = {
        {"native, low only", {.csHighSupported = false}, "cannot hold chip select high", false},
        {"GPIO, active low",
         {.gpioSelect = true},
         "needs spi-cs-high in the device-tree node of spidev@0",
         false},
        {"GPIO, no device tree", {.gpioSelect = true, .deviceTree = false}, "does not show", false},
        {"GPIO, spi-cs-high", {.gpioSelect = true, .deviceTreeCsHigh = true}, "remove spi-cs-high", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdapterRig rig(AdapterKind::Spidev, c.config);
        RecordingProgress progress;
        ChipParams chip;
        Image image = Pattern(2);
        Image marks{kImageSize};
        const char* refused = c.microwire ? "AT25C010" : "93C46 (8)";
        ApplyChipChoice(chip, refused);
        rig.InsertChip(refused);
        const std::vector<std::uint8_t> held = rig.SocketMemory();
        EXPECT_FALSE(WriteChipFast(*rig.Spi(), chip, image, marks, progress));
        ASSERT_EQ(progress.messages.size(), 1u);
        EXPECT_NE(progress.messages[0].find(c.refusal), std::string::npos) << progress.messages[0];
        EXPECT_EQ(rig.SocketMemory(), held);

        const char* works = c.microwire ? "93C46 (8)" : "AT25C010";
        ApplyChipChoice(chip, works);
        rig.InsertChip(works);
        EXPECT_TRUE(WriteChipFast(*rig.Spi(), chip, image, marks, progress));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + 128, rig.SocketMemory().begin()));
    }
}

}  // namespace
