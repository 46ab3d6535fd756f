// The chip list and the parameters each entry sets, and the image file size
// that follows from them.
#include <gtest/gtest.h>

#include "eeprom/chip_table.h"
#include "simulator/serial_chip.h"

using namespace eeprom;

namespace {

constexpr ChipParams kBefore{ChipFamily::Dac, 2, 3, 4, 5};  // no entry sets these

bool Same(const ChipParams& a, const ChipParams& b) {
    return a.family == b.family && a.addressBits == b.addressBits && a.organisation == b.organisation &&
           a.capacity == b.capacity && a.cursor == b.cursor;
}

class ChipTable : public ::testing::Test {
protected:
    ChipParams chip;
};

TEST_F(ChipTable, EveryEntrySetsItsRow) {
    constexpr int keep = -1;
    constexpr ChipFamily kept = kBefore.family;
    const std::pair<const char*, ChipParams> rows[] = {
        {"93C06 (8)", {ChipFamily::Microwire, 6, 8, 32, 0}},
        {"93C06 (16)", {ChipFamily::Microwire, 5, 16, 16, 0}},
        {"93C46 (8)", {ChipFamily::Microwire, 6, 8, 128, 0}},
        {"93C46 (16)", {ChipFamily::Microwire, 5, 16, 64, 0}},
        {"93C56 (8)", {ChipFamily::Microwire, 8, 8, 256, 0}},
        {"93C56 (16)", {ChipFamily::Microwire, 7, 16, 128, 0}},
        {"93C66 (8)", {ChipFamily::Microwire, 8, 8, 512, 0}},
        {"93C66 (16)", {ChipFamily::Microwire, 7, 16, 256, 0}},
        {"93C76 (8)", {ChipFamily::Microwire, 10, 8, 1024, 0}},
        {"93C76 (16)", {ChipFamily::Microwire, 9, 16, 512, 0}},
        {"93C86 (8)", {ChipFamily::Microwire, 10, 8, 2048, 0}},
        {"93C86 (16)", {ChipFamily::Microwire, 9, 16, 1024, 0}},
        {"AT25C010", {ChipFamily::Spi, 8, keep, 128, keep}},
        {"AT25C020", {ChipFamily::Spi, 8, keep, 256, keep}},
        {"AT25C040", {ChipFamily::Spi, 8, keep, 512, keep}},
        {"AT25C080", {ChipFamily::Spi, 16, keep, 1024, keep}},
        {"AT25C160", {ChipFamily::Spi, 16, keep, 2048, keep}},
        {"", {ChipFamily::I2c, keep, keep, keep, keep}},
        {"M62358,M62359", {kept, keep, keep, keep, keep}},
        {"93C46", {kept, keep, keep, keep, keep}},
        {"AT25C160 ", {kept, keep, keep, keep, keep}},
    };
    for (const auto& [text, want] : rows) {
        chip = kBefore;
        ApplyChipChoice(chip, text);
        const ChipParams expected{want.family,
                                  want.addressBits == keep ? kBefore.addressBits : want.addressBits,
                                  want.organisation == keep ? kBefore.organisation : want.organisation,
                                  want.capacity == keep ? kBefore.capacity : want.capacity,
                                  want.cursor == keep ? kBefore.cursor : want.cursor};
        EXPECT_TRUE(Same(chip, expected)) << '"' << text << '"';
    }
}

TEST_F(ChipTable, ListOrderAndSocketModels) {
    ASSERT_EQ(kChipListEntries.size(), 21u);
    for (int k = 0; k < 3; ++k) EXPECT_STREQ(kChipListEntries[static_cast<std::size_t>(k)], "");
    EXPECT_STREQ(kChipListEntries[3], "93C06 (8)");
    EXPECT_STREQ(kChipListEntries[15], "M62358,M62359");
    EXPECT_STREQ(kChipListEntries[20], "AT25C160");
    // Every non-blank entry puts a chip into the bench's socket.
    for (std::size_t k = 3; k < kChipListEntries.size(); ++k) {
        EXPECT_NE(simulator::MakeSerialChip(kChipListEntries[k]), nullptr) << kChipListEntries[k];
    }
}

TEST_F(ChipTable, ImageFileSizeFollowsTheChip) {
    chip = {};
    EXPECT_EQ(ImageFileSize(chip), 2048);
    const std::pair<const char*, int> sizes[] = {
        {"93C46 (8)", 128}, {"93C46 (16)", 128}, {"93C06 (16)", 32}, {"93C86 (16)", 2048},
        {"AT25C160", 2048}, {"AT25C010", 128},  // organisation 16 left from before: bytes all the same
    };
    for (const auto& [text, size] : sizes) {
        ApplyChipChoice(chip, text);
        EXPECT_EQ(ImageFileSize(chip), size) << text;
    }
    ApplyChipChoice(chip, "");  // I2C mode keeps the capacity until a transfer clears it
    EXPECT_EQ(ImageFileSize(chip), 128);
    chip.capacity = 0;
    EXPECT_EQ(ImageFileSize(chip), 2048);
    chip.capacity = 5000;
    EXPECT_EQ(ImageFileSize(chip), 2048);
}

}  // namespace
