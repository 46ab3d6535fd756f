// The chip list and the parameters each entry sets, and the image file size
// that follows from them.
#include <gtest/gtest.h>

#include <vector>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"
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

// Each part's facts as its datasheets give them, typed by hand (never read
// from hardware/chip_parts.h, which the bench's chip models share, so a
// wrong page there passes every other suite): bytes, page, address bytes,
// the bytes one device address or instruction reaches (block rule). Where
// makers differ, the smallest page of the parts a name covers.
TEST(ChipParts, MatchTheDatasheets) {
    using B = hardware::BlockSelect;
    struct Fact {
        const char* name;
        int bytes, page, addressBytes;
        B block;
    };
    const Fact facts[] = {
        {"24C01", 128, 8, 1, B::None},                  // 24AA01/24LC01B
        {"24C02", 256, 8, 1, B::None},                  // 24AA02/24LC02B (ST M24C02: 16)
        {"24C04", 512, 16, 1, B::DeviceAddress},        // M24C04 select code E2 E1 A8
        {"24C08", 1024, 16, 1, B::DeviceAddress},       // M24C08: E2 A9 A8
        {"24C16", 2048, 16, 1, B::DeviceAddress},       // M24C16: A10 A9 A8
        {"24C32", 4096, 8, 2, B::None},                 // Microchip 24C32 Smart Serial: 8-byte pages
        {"24C64", 8192, 32, 2, B::None},                // 24LC64, M24C64
        {"24C128", 16384, 64, 2, B::None},              // 24LC128, AT24C128
        {"24C256", 32768, 64, 2, B::None},              // 24LC256, FM24C256
        {"24C512", 65536, 128, 2, B::None},             // 24LC512, AT24C512
        {"24C515", 65536, 64, 2, B::UpperHalfAtPlus4},  // 24LC515: B0 in control byte bit 3
        {"24C1024", 131072, 128, 2, B::DeviceAddress},  // 24LC1026 128, AT24C1024 256
        {"24M01", 131072, 256, 2, B::DeviceAddress},    // M24M01
        {"24M02", 262144, 256, 2, B::DeviceAddress},    // M24M02-DR
        {"AT25C010", 128, 8, 1, B::None},               // AT25010B 8, 25AA010A 16
        {"AT25C020", 256, 8, 1, B::None},               // AT25020B
        {"AT25C040", 512, 8, 1, B::OpcodeBit3},         // AT25040B: A8 in the opcode
        {"AT25C080", 1024, 16, 2, B::None},             // 25LC080A/C 16, AT25080B 32
        {"AT25C160", 2048, 16, 2, B::None},             // 25LC160A/C 16, AT25160B 32
        {"25320", 4096, 32, 2, B::None},                // AT25320B, 25LC320A
        {"25640", 8192, 32, 2, B::None},                // AT25640B, 25LC640A
        {"25128", 16384, 64, 2, B::None},               // AT25128B, 25LC128
        {"25256", 32768, 64, 2, B::None},               // AT25256B, 25LC256
        {"25512", 65536, 128, 2, B::None},              // 25LC512, 25A512
        {"25M01", 131072, 256, 3, B::None},             // 25LC1024, M95M01
        {"25M02", 262144, 256, 3, B::None},             // M95M02
    };
    std::size_t memories = 0;
    for (const hardware::ChipPart& part : hardware::kMemoryParts)
        memories += part.family == hardware::ChipFamily::Microwire ? 0 : 1;
    EXPECT_EQ(memories, std::size(facts)) << "a part without its datasheet facts here";
    for (const Fact& fact : facts) {
        const hardware::ChipPart* part = hardware::FindMemoryPart(fact.name);
        ASSERT_NE(part, nullptr) << fact.name;
        EXPECT_EQ(part->bytes, fact.bytes) << fact.name;
        EXPECT_EQ(part->pageSize, fact.page) << fact.name;
        EXPECT_EQ(part->addressBytes, fact.addressBytes) << fact.name;
        EXPECT_EQ(part->blockSelect, fact.block) << fact.name;
    }
}

// One row per part: a 25xx of the window's list and its generic name are one
// row, found by either in any case; no other name is shared by two rows (a
// 93Cxx's two organisations are one chip in two list entries). The
// instructions as the datasheets give them (AT25010B DS20006251 table 5-1,
// 93C46 DS21749 table 1-4).
TEST(ChipParts, EveryNameFindsItsOneRowAndTheInstructionsAreTheDatasheets) {
    for (const auto& [listed, generic] :
         {std::pair{"AT25C010", "25010"}, std::pair{"AT25C020", "25020"}, std::pair{"AT25C040", "25040"},
          std::pair{"AT25C080", "25080"}, std::pair{"at25c160", "25160"}}) {
        const hardware::ChipPart* part = hardware::FindMemoryPart(listed);
        ASSERT_NE(part, nullptr) << listed;
        EXPECT_EQ(hardware::FindMemoryPart(generic), part) << generic;
        EXPECT_TRUE(part->inMainWindow) << listed;
    }
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (part.family == hardware::ChipFamily::Microwire) continue;
        int rows = 0;
        for (const hardware::ChipPart& other : hardware::kMemoryParts)
            rows += hardware::NamesPart(other, part.name);
        EXPECT_EQ(rows, 1) << part.name;
    }
    const hardware::ChipCommands& spi = hardware::kSpiCommands;
    EXPECT_EQ(std::vector<int>({spi.writeStatus, spi.write, spi.read, spi.writeDisable, spi.readStatus,
                                spi.writeEnable, spi.busyBit, spi.writeEnabledBit, spi.protectBits}),
              std::vector<int>({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x01, 0x02, 0x0C}));
    const hardware::ChipCommands& mw = hardware::kMicrowireCommands;
    EXPECT_EQ(std::vector<int>({mw.read, mw.write, mw.erase, mw.special, mw.writeEnable, mw.eraseAll,
                                mw.writeAll, mw.writeDisable}),
              std::vector<int>({0b10, 0b01, 0b11, 0b00, 0b11, 0b10, 0b01, 0b00}));
}

}  // namespace
