// The classic whole-chip transfers of the Microwire and SPI memories against the socket
// chip models: round trips for every chip-list entry, the image layout of
// word chips, the write verify and the progress the loops report.
#include <gtest/gtest.h>

#include <algorithm>

#include "eeprom/chip_progress.h"
#include "support/serial_socket.h"

using namespace eeprom;

namespace {

using testsupport::SelectedFrames;
using testsupport::SocketRig;

class ClassicSerial : public ::testing::Test {
protected:
    void SetUp() override {
        image.fill(0);
        marks.fill(0);
    }

    void Choose(const std::string& entry) {
        ApplyChipChoice(chip, entry);
        rig.Insert(entry);
    }

    static Image Pattern(unsigned seed) {
        Image pattern{kImageSize};
        for (std::size_t k = 0; k < pattern.size(); ++k)
            pattern[k] = static_cast<std::uint8_t>(k * 7 + seed + (k >> 8));
        return pattern;
    }

    SocketRig rig;
    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    RecordingProgress progress;
};

TEST_F(ClassicSerial, WordChipsFillTheImageHighByteFirst) {
    Choose("93C46 (16)");
    auto& memory = rig.chip->Memory();
    for (std::size_t k = 0; k < memory.size(); ++k) memory[k] = static_cast<std::uint8_t>(k + 1);
    ReadSerialEeprom(rig.adapter, chip, image, progress);
    const auto frames = SelectedFrames(rig.port.Loads(), true);
    ASSERT_EQ(frames.size(), 64u + 1);  // and the select line left high at the end
    EXPECT_EQ(frames[63].size(), 1u + 2 + 6 + 1 + 16);
    EXPECT_EQ(testsupport::Bits(frames[63], 3, 6), 63);
    for (int k = 0; k < 128; ++k) ASSERT_EQ(image[static_cast<std::size_t>(k)], k + 1) << k;
    EXPECT_EQ(image[128], 0);
    // Positions run 1..64 for words.
    ASSERT_EQ(progress.positions.size(), 65u);
    EXPECT_EQ(progress.positions[0], 1);
    EXPECT_EQ(progress.positions[63], 64);
    EXPECT_EQ(progress.ranges, (std::vector<std::pair<int, int>>{{0, 64}, {0, 255}}));
    EXPECT_EQ(progress.positions.back(), 0);

    rig.port.Loads().clear();
    const std::vector<std::uint8_t> contents = memory;
    Choose("93C46 (8)");
    rig.chip->Memory() = contents;
    ReadSerialEeprom(rig.adapter, chip, image, progress);
    EXPECT_EQ(SelectedFrames(rig.port.Loads(), true).size(), 128u + 1);
    for (int k = 0; k < 128; ++k) ASSERT_EQ(image[static_cast<std::size_t>(k)], k + 1) << k;
}

TEST_F(ClassicSerial, VerifyMarksOnlyWhatTheChipDidNotStore) {
    for (const char* entry : {"93C66 (16)", "AT25C080"}) {
        SCOPED_TRACE(entry);
        Choose(entry);
        const auto size = static_cast<std::size_t>(ImageFileSize(chip));
        auto& memory = rig.chip->Memory();
        const Image old = Pattern(1);
        std::copy(old.begin(), old.begin() + static_cast<long>(size), memory.begin());
        Image wanted = old;
        for (std::size_t k = 0; k < size; k += 3) wanted[k] ^= 0x40;  // every third byte changes
        image = wanted;
        marks.fill(0);
        marks[size - 2] = kMarkSeen;
        // Red from an earlier failed write goes where this one verifies;
        // outside the chip it is not this write's to clear.
        marks[1] = kMarkMismatch;
        marks[size + 1] = kMarkMismatch;
        rig.chip->SetStoreFault(true);
        WriteSerialEeprom(rig.adapter, chip, image, marks, progress);
        EXPECT_EQ(image, wanted);
        for (std::size_t k = 0; k < marks.size(); ++k) {
            const std::uint8_t expected = (k < size && k % 3 == 0) || k == size + 1 ? kMarkMismatch
                                          : k == size - 2                           ? kMarkSeen
                                                                                    : 0;
            ASSERT_EQ(marks[k], expected) << k;
        }
        EXPECT_TRUE(std::equal(old.begin(), old.begin() + static_cast<long>(size), memory.begin()));
    }
}

TEST_F(ClassicSerial, NoSerialFamilyMovesNothing) {
    Choose("AT25C020");
    ApplyChipChoice(chip, "");  // the I2C family, the rest kept
    image = Pattern(3);
    WriteSerialChip(rig.adapter, chip, image, marks, progress);
    EXPECT_EQ(image, Pattern(3));
    EXPECT_TRUE(std::all_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m == 0; }));
    EXPECT_EQ(rig.chip->Memory(), std::vector<std::uint8_t>(256, 0xFF));
    // Only the idle-high line settings reach the latch.
    for (std::uint8_t latch : rig.port.Loads()) EXPECT_EQ(latch & 0xF0, 0xF0);
    marks.fill(kMarkSeen);
    ReadSerialChip(rig.adapter, chip, image, marks, progress);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m == 0; }));
}

TEST_F(ClassicSerial, WriteSettlesTheLinesWithAnEmptyReadFirst) {
    Choose("93C56 (8)");
    image = Pattern(5);
    WriteSerialChip(rig.adapter, chip, image, marks, progress);
    EXPECT_EQ(chip.capacity, 256);
    const auto frames = SelectedFrames(rig.port.Loads(), true);
    // One dropped READ, then EWEN + WRITE + busy check per byte, the ready
    // poll before the verify, the verify, and the select line left high at
    // the end.
    ASSERT_EQ(frames.size(), 1u + 3 * 256 + 1 + 256 + 1);
    EXPECT_EQ(testsupport::Bits(frames[0], 0, 3), 0b110);
    EXPECT_EQ(testsupport::Bits(frames[0], 3, 9), 0) << "at unit 0, where the chip-list entry put the cursor";
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 256, rig.chip->Memory().begin()));

    // Right after a read, the settling READ goes where the read left the
    // cursor: past the last of the 32 bytes of a 93C06.
    Choose("93C06 (8)");
    ASSERT_TRUE(ReadSerialChip(rig.adapter, chip, image, marks, progress));
    rig.port.Loads().clear();
    ASSERT_TRUE(WriteSerialChip(rig.adapter, chip, image, marks, progress));
    const auto after = SelectedFrames(rig.port.Loads(), true);
    ASSERT_EQ(after.size(), 1u + 3 * 32 + 1 + 32 + 1);
    // The lines were left idle high, so a 0 is clocked before the start bit.
    const auto start =
        static_cast<std::size_t>(std::find(after[0].begin(), after[0].end(), 1) - after[0].begin());
    EXPECT_EQ(testsupport::Bits(after[0], start, 3), 0b110);
    EXPECT_EQ(testsupport::Bits(after[0], start + 3, 7), 32);
    EXPECT_EQ(chip.cursor, 32) << "the verify read ends past the last byte too";
}

TEST_F(ClassicSerial, OversizedCapacityStaysInsideTheImage) {
    Choose("AT25C160");
    chip.capacity = 4096;
    ReadSerialEeprom(rig.adapter, chip, image, progress);
    EXPECT_EQ(progress.positions.size(), 2048u + 1);
    progress.positions.clear();
    Choose("93C86 (16)");
    chip.capacity = 2048;
    image = Pattern(9);
    WriteSerialEeprom(rig.adapter, chip, image, marks, progress);
    EXPECT_EQ(image, Pattern(9));
    EXPECT_LE(progress.positions.size(), 2u * (1024 + 1) + 4);
}

}  // namespace
