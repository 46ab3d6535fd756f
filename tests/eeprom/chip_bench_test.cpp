// The classic chip transfers end to end on the simulated bench: the chip-list
// choice puts the chip in the socket, and every line change goes through the
// port, the latch and the controller as it would on the adapter. The fast
// transfers have their suite on every adapter (fast_transfer_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>

#include "eeprom/chip_progress.h"
#include "hardware/port_adapter.h"
#include "simulator/simulated_bench.h"
#include "support/serial_socket.h"

using namespace eeprom;

namespace {

Image Pattern(int seed) {
    Image pattern{kImageSize};
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 256);
    return pattern;
}

bool NoMarks(const Image& marks) {
    return std::all_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m == kMarkNone; });
}

class ClassicBench : public ::testing::Test {
protected:
    ClassicBench() {
        adapter.SetBase(hardware::kLpt1);
        adapter.SetLatch(0xFD);
        adapter.ConfigurePort();
        adapter.ResetAdapter(0, adapter.Latch());
    }

    void Choose(const std::string& entry) {
        ApplyChipChoice(chip, entry);
        bench.SetChipListChoice(entry);
    }

    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
    hardware::PortAdapter adapter{bench, clock};
    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    RecordingProgress progress;
};

TEST_F(ClassicBench, EveryChipRoundTrips) {
    for (std::size_t k = 3; k < kChipListEntries.size(); ++k) {
        const std::string entry = kChipListEntries[k];
        if (entry == kDacEntry) continue;
        SCOPED_TRACE(entry);
        Choose(entry);
        const auto size = static_cast<long>(ImageFileSize(chip));
        Image pattern{kImageSize};
        for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 13 + k);
        image = pattern;
        WriteSerialChip(adapter, chip, image, marks, progress);
        ASSERT_EQ(image, pattern);
        ASSERT_TRUE(std::all_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m == 0; }));
        ReadSerialChip(adapter, chip, image, marks, progress);
        ASSERT_TRUE(std::equal(pattern.begin(), pattern.begin() + size, image.begin()));
        ASSERT_TRUE(std::all_of(image.begin() + size, image.end(), [](std::uint8_t b) { return b == 0; }));
        ASSERT_TRUE(
            std::equal(pattern.begin(), pattern.begin() + size, bench.SocketChip()->Memory().begin()));
        EXPECT_EQ(bench.Latch() & 0xF0, 0xF0);
    }
}

TEST_F(ClassicBench, I2cPageThroughTheController) {
    for (int i = 0; i < 256; ++i)
        image[static_cast<std::size_t>(5 * 256 + i)] = static_cast<std::uint8_t>(i ^ 0xC3);
    EXPECT_TRUE(WriteI2cPage(adapter, 5, 0xAB, image, progress));
    EXPECT_TRUE(
        std::equal(image.begin() + 5 * 256, image.begin() + 6 * 256, bench.Eeprom().begin() + 5 * 256));
    const Image written = image;
    image.fill(0);
    marks.fill(kMarkSeen);
    EXPECT_TRUE(ReadI2cPage(adapter, 5, 0xAA, image, marks, progress));
    EXPECT_TRUE(std::equal(image.begin() + 5 * 256, image.begin() + 6 * 256, written.begin() + 5 * 256));
    EXPECT_EQ(marks[5 * 256 + 17], kMarkNone);
    EXPECT_EQ(marks[4 * 256 + 17], kMarkSeen);

    bench.SetSlavesNack(true);
    EXPECT_FALSE(ReadI2cPage(adapter, 5, 0xAA, image, marks, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>{kI2cTimeoutMessage});
    EXPECT_TRUE(std::equal(image.begin() + 5 * 256, image.begin() + 6 * 256, written.begin() + 5 * 256));
}

// With no adapter on the port, or nothing in the socket, the data line reads
// high: a read would show a blank FF chip and an all-FF write would verify.
// Nothing is reported from a chip that did not answer.
TEST_F(ClassicBench, NoChipAnsweringIsSaidAndNothingIsReadOrVerified) {
    for (const char* entry : {"93C46 (8)", "93C66 (16)", "AT25C040"}) {
        for (const bool adapterAbsent : {true, false}) {
            SCOPED_TRACE(std::string(entry) + (adapterAbsent ? ", adapter absent" : ", empty socket"));
            Choose(entry);
            const std::vector<std::uint8_t> held(bench.SocketChip()->Memory().size(), 0x5A);
            bench.SocketChip()->Memory() = held;
            if (adapterAbsent) {
                bench.SetPort(simulator::SimulatedBench::Port::None);
            } else {
                bench.InsertSocketChip(nullptr);
            }
            image.fill(0xFF);
            marks.fill(kMarkSeen);
            marks[3] = kMarkMismatch;
            const Image oldMarks = marks;
            progress.messages.clear();
            EXPECT_FALSE(WriteSerialChip(adapter, chip, image, marks, progress));
            EXPECT_FALSE(ReadSerialChip(adapter, chip, image, marks, progress));
            EXPECT_EQ(progress.messages, (std::vector<std::string>(2, kNoChipMessage)));
            EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; }));
            EXPECT_EQ(marks, oldMarks);

            bench.SetPort(simulator::SimulatedBench::Port::Lpt1);
            if (adapterAbsent) {
                EXPECT_EQ(bench.SocketChip()->Memory(), held);
            }
        }
    }
    // A chip that does answer still reads after all this.
    Choose("AT25C040");
    EXPECT_TRUE(ReadSerialChip(adapter, chip, image, marks, progress));
}

TEST_F(ClassicBench, ClassicVerifyWaitsForASlowMicrowirePart) {
    // A 10 ms write cycle outlasts the 5 ms the classic write waits: the
    // verify would start while the last word is still being written.
    bench.SetSlowParts(true);
    Choose("93C46 (8)");
    ASSERT_EQ(bench.SocketWriteCycleUs(), 10'000);
    image = Pattern(6);
    WriteSerialChip(adapter, chip, image, marks, progress);
    EXPECT_TRUE(NoMarks(marks));
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 128, bench.SocketChip()->Memory().begin()));
}

}  // namespace
