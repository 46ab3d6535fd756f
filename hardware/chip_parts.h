// The memory parts Merlix reads and writes, one descriptor each: the 24Cxx on
// the bus, the 93Cxx and AT25Cxxx in the serial socket, and the DAC entry of
// the chip list. The engine's chip list, the command line's chip names, the
// transfers, the backups and the bench's chip models all read this table;
// none keeps a size, a page size or a family of its own.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace hardware {

enum class ChipFamily { I2c, Microwire, Spi, Dac };

// How a part reaches the bytes its address bytes alone do not.
enum class BlockSelect {
    None,
    // 24C04/08/16 (256-byte blocks), 24C1024/24M01 and 24M02 (64 KiB blocks):
    // the block in the low bits of the 7-bit device address (0x50 + b).
    DeviceAddress,
    OpcodeBit3,  // AT25C040: address bit 8 in bit 3 of the READ and WRITE instructions
    // The 24xx515 kind: two 32 KiB halves, the upper one at 7-bit device
    // address + 4 (0x54); a sequential read stays inside its half.
    UpperHalfAtPlus4,
};

struct ChipPart {
    std::string_view listText;  // the window's chip list text; empty: an I2C memory (blank entries)
    std::string_view name;      // "24C16", "93C46", "AT25C040"
    ChipFamily family;
    int bytes;         // whole chip
    int organisation;  // word size in bits: 16 for the "(16)" Microwire entries, else 8
    // Microwire: index of the top address bit of a word address (one more bit
    // is sent); SPI: 8 or 16; I2C: 8 (the word address byte).
    int addressBits;
    int addressBytes;  // word address bytes after the device address or instruction; Microwire 0
    int pageSize;      // bytes one write may take; 0: one word at a time
    BlockSelect blockSelect;
    int writeCycleMaxUs;  // the datasheet's longest self-timed write cycle (older parts included)
    // Supply range in millivolts over the part's variants; 0: not given.
    int minMillivolts = 0;
    int maxMillivolts = 0;
};

namespace chip_parts_detail {
inline constexpr int kI2cCycleUs = 10000;        // tWR 5 ms, 10 ms on older and low-voltage parts
inline constexpr int kMicrowireCycleUs = 10000;  // tWP (tE/W) up to 10 ms
inline constexpr int kSpiCycleUs = 5000;         // tWC 5 ms
constexpr ChipPart I2c(std::string_view name, int bytes, int page, BlockSelect block) {
    return {"", name, ChipFamily::I2c, bytes, 8, 8, 1, page, block, kI2cCycleUs, 1700, 5500};
}
constexpr ChipPart Microwire(std::string_view text, std::string_view name, int bytes, int organisation,
                             int addressBits) {
    return {text,
            name,
            ChipFamily::Microwire,
            bytes,
            organisation,
            addressBits,
            0,
            0,
            BlockSelect::None,
            kMicrowireCycleUs,
            4500,  // the 93C kind; the 93LC and 93AA kinds go down to 2.5 and 1.8 V
            5500};
}
constexpr ChipPart Spi(std::string_view name, int bytes, int addressBytes, int page,
                       BlockSelect block = BlockSelect::None) {
    return {name,         name, ChipFamily::Spi, bytes,       8,    8 * addressBytes,
            addressBytes, page, block,           kSpiCycleUs, 1800, 5500};
}
// The larger memories: no chip list text (the window's list keeps its
// entries), the command line's names.
constexpr ChipPart Eeprom24(std::string_view name, int bytes, int page, BlockSelect block, int cycleUs,
                            int minMillivolts) {
    const int addressBytes = bytes <= 2048 ? 1 : 2;
    return {"",   name,  ChipFamily::I2c, bytes,         8,   8 * addressBytes, addressBytes,
            page, block, cycleUs,         minMillivolts, 5500};
}
constexpr ChipPart Eeprom25(std::string_view name, int bytes, int page, int cycleUs,
                            BlockSelect block = BlockSelect::None) {
    const int addressBytes = bytes <= 512 ? 1 : bytes <= 65536 ? 2 : 3;
    return {"",           name, ChipFamily::Spi, bytes,   8,    8 * addressBytes,
            addressBytes, page, block,           cycleUs, 1800, 5500};
}
}  // namespace chip_parts_detail

// Chip list order for the entries that have a list text.
inline constexpr auto kChipParts = [] {
    using namespace chip_parts_detail;
    return std::array{
        // 24C01/02: 8-byte pages (Microchip 24AA02/24LC02B DS21709; ST's
        // M24C01/02 take 16, the smaller wins); one address byte.
        I2c("24C01", 128, 8, BlockSelect::None),
        I2c("24C02", 256, 8, BlockSelect::None),
        // 24C04/08/16: 16-byte pages, A8..A10 in the device select code
        // (ST M24C16/08/04/02/01 Doc ID 5067 table 3; Microchip 24LC16B).
        I2c("24C04", 512, 16, BlockSelect::DeviceAddress),
        I2c("24C08", 1024, 16, BlockSelect::DeviceAddress),
        I2c("24C16", 2048, 16, BlockSelect::DeviceAddress),
        Microwire("93C06 (8)", "93C06", 32, 8, 6),
        Microwire("93C06 (16)", "93C06", 32, 16, 5),
        Microwire("93C46 (8)", "93C46", 128, 8, 6),
        Microwire("93C46 (16)", "93C46", 128, 16, 5),
        Microwire("93C56 (8)", "93C56", 256, 8, 8),  // one top address bit unused
        Microwire("93C56 (16)", "93C56", 256, 16, 7),
        Microwire("93C66 (8)", "93C66", 512, 8, 8),
        Microwire("93C66 (16)", "93C66", 512, 16, 7),
        Microwire("93C76 (8)", "93C76", 1024, 8, 10),
        Microwire("93C76 (16)", "93C76", 1024, 16, 9),
        Microwire("93C86 (8)", "93C86", 2048, 8, 10),
        Microwire("93C86 (16)", "93C86", 2048, 16, 9),
        ChipPart{"M62358,M62359", "M62358", ChipFamily::Dac, 0, 8, 0, 0, 0, BlockSelect::None, 0, 0, 0},
        // Atmel's own: 8-byte pages, A8 in the opcode of the 040, "don't
        // care" there on the 010/020 (AT25010B/AT25020B/AT25040B DS20006251);
        // 32-byte pages on the 080/160 (AT25080B/AT25160B DS20006244).
        Spi("AT25C010", 128, 1, 8),  // 7 address bits, sent as one byte
        Spi("AT25C020", 256, 1, 8),
        Spi("AT25C040", 512, 1, 8, BlockSelect::OpcodeBit3),
        Spi("AT25C080", 1024, 2, 32),
        Spi("AT25C160", 2048, 2, 32),
    };
}();

// The part with this chip list text (exactly), or null.
constexpr const ChipPart* FindChipPart(std::string_view listText) {
    if (listText.empty()) return nullptr;
    for (const ChipPart& part : kChipParts) {
        if (part.listText == listText) return &part;
    }
    return nullptr;
}

// The first part of this name and family ("93C46" gives its "(8)" entry), or null.
constexpr const ChipPart* FindChipPartNamed(std::string_view name, ChipFamily family) {
    for (const ChipPart& part : kChipParts) {
        if (part.name == name && part.family == family) return &part;
    }
    return nullptr;
}

// Every memory part: the chip list's (above, in its order) and the larger
// ones, which only the fast transfers, detection and the bench know. Datasheet
// facts per row: pages, address bytes, the longest write cycle (tWR, tWC) and
// the widest supply range of the part's variants.
inline constexpr auto kMemoryParts = [] {
    using namespace chip_parts_detail;
    constexpr std::array kLarger{
        // A generic name takes the smallest page and the longest write cycle
        // of the makers' parts it covers; the datasheets beside each row.
        // 24C32: 8-byte pages on Microchip's 24C32/24AA32 "Smart Serial"
        // (DS21124, eight pages cached), 32 on the 24xx32A/AF (DS22184)
        // and ST's M24C32 (Doc ID 4578, 10 ms at 1.6 V); 24C64: 32.
        Eeprom24("24C32", 4096, 8, BlockSelect::None, 10000, 1700),
        Eeprom24("24C64", 8192, 32, BlockSelect::None, 10000, 1700),
        // 24C128/256: 64-byte pages (AT24C256, 24LC256, Fairchild FM24C256),
        // tWR 6 ms on the FM24C256.
        Eeprom24("24C128", 16384, 64, BlockSelect::None, 6000, 1700),
        Eeprom24("24C256", 32768, 64, BlockSelect::None, 6000, 1700),
        // 24C512: 128-byte pages, tWR 5 ms (24LC512, AT24C512).
        Eeprom24("24C512", 65536, 128, BlockSelect::None, 5000, 1700),
        // The 24xx515 kind: 64-byte pages, the upper half at 0x54 (its block
        // bit B0 in device address bit 3, A15 "don't care"), 5 ms, 1.8 V
        // (24AA515/24LC515/24FC515 DS21673).
        Eeprom24("24C515", 65536, 64, BlockSelect::UpperHalfAtPlus4, 5000, 1800),
        // 24C1024: A16 in device address bit 1 (0x50, 0x51); 256-byte pages
        // on the AT24C1024, 128 on Microchip's 24xx1026 (DS20002270, 1.7 V),
        // 5 ms. 24M01 (ST M24M01): 256-byte pages, 5 ms.
        Eeprom24("24C1024", 131072, 128, BlockSelect::DeviceAddress, 5000, 1700),
        Eeprom24("24M01", 131072, 256, BlockSelect::DeviceAddress, 5000, 1700),
        // 24M02 (ST M24M02-DR): A17 and A16 in device address bits 2..1
        // (0x50..0x53), 256-byte pages, tW 10 ms.
        Eeprom24("24M02", 262144, 256, BlockSelect::DeviceAddress, 10000, 1800),
        // 25010/020/040: one address byte (A8 in the opcode for the 040);
        // 8-byte pages on Atmel's (DS20006251), 16 on Microchip's 25xx040A
        // and ST's M95040; tWC 5 ms.
        Eeprom25("25010", 128, 8, 5000),
        Eeprom25("25020", 256, 8, 5000),
        Eeprom25("25040", 512, 8, 5000, BlockSelect::OpcodeBit3),
        // 25080/160: two address bytes; 16-byte pages on Microchip's
        // 25xx080A/C and 25xx160A/C (DS22150), 32 on Atmel's and the B/D
        // versions; tWC 5 ms.
        Eeprom25("25080", 1024, 16, 5000),
        Eeprom25("25160", 2048, 16, 5000),
        // 25320/640: 32-byte pages (AT25320B/AT25640B DS20006310,
        // 25xx640A), 5 ms.
        Eeprom25("25320", 4096, 32, 5000),
        Eeprom25("25640", 8192, 32, 5000),
        // 25128/256: 64-byte pages (AT25128B/AT25256B DS20006193, 25LC256);
        // 25512: 128 (Microchip 25A512 DS22237, 25LC512); 5 ms.
        Eeprom25("25128", 16384, 64, 5000),
        Eeprom25("25256", 32768, 64, 5000),
        Eeprom25("25512", 65536, 128, 5000),
        // 25M01/M02: three address bytes, 256-byte pages; tWC 6 ms on
        // Microchip's 25xx1024 (DS20001836), tW 10 ms on ST's M95M02.
        Eeprom25("25M01", 131072, 256, 6000),
        Eeprom25("25M02", 262144, 256, 10000),
    };
    constexpr std::size_t listed = [] {
        std::size_t count = 0;
        for (const ChipPart& part : kChipParts) count += part.family == ChipFamily::Dac ? 0 : 1;
        return count;
    }();
    std::array<ChipPart, listed + kLarger.size()> parts{};
    std::size_t at = 0;
    for (const ChipPart& part : kChipParts) {
        if (part.family != ChipFamily::Dac) parts[at++] = part;
    }
    for (const ChipPart& part : kLarger) parts[at++] = part;
    return parts;
}();

// The first memory part of this name, in any case ("24c256", "93C46" gives
// its "(8)" entry), or null.
constexpr const ChipPart* FindMemoryPart(std::string_view name) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const ChipPart& part : kMemoryParts) {
        if (part.name.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) same = lower(part.name[i]) == lower(name[i]);
        if (same) return &part;
    }
    return nullptr;
}

// 7-bit device addresses a part takes from its base (0x50 with its address
// pins low): one per block.
constexpr int DeviceBlocks(const ChipPart& part) {
    if (part.family != ChipFamily::I2c) return 0;
    if (part.blockSelect == BlockSelect::UpperHalfAtPlus4) return 2;
    const int perBlock = part.addressBytes == 1 ? 256 : 65536;
    return part.bytes > perBlock ? part.bytes / perBlock : 1;
}
// Bytes one device address reaches.
constexpr int BlockBytes(const ChipPart& part) {
    const int blocks = DeviceBlocks(part);
    return blocks > 0 ? part.bytes / blocks : part.bytes;
}
// The 7-bit device address of block `block` from `base`.
constexpr int BlockDevice(const ChipPart& part, int base, int block) {
    return part.blockSelect == BlockSelect::UpperHalfAtPlus4 ? base + 4 * block : base + block;
}

// How a part reaches the bytes its address bytes alone do not, in a few
// words ("none" when it has no such rule): what both faces print.
constexpr const char* BlockRuleText(const ChipPart& part) {
    switch (part.blockSelect) {
        case BlockSelect::DeviceAddress:
            return "block bits in the device address";
        case BlockSelect::OpcodeBit3:
            return "A8 in the opcode";
        case BlockSelect::UpperHalfAtPlus4:
            return "upper half at device + 4";
        case BlockSelect::None:
            break;
    }
    return "none";
}

// Address bits a Microwire part takes after its opcode with ORG low (x8).
constexpr int MicrowireAddressBitsX8(const ChipPart& part) {
    return part.addressBits + (part.organisation == 16 ? 2 : 1);
}

// The slowest write cycle of any part of the family, or of any part at all.
constexpr int SlowestWriteCycleUs(const ChipFamily* family = nullptr) {
    int slowest = 0;
    for (const ChipPart& part : kChipParts) {
        if ((family == nullptr || part.family == *family) && part.writeCycleMaxUs > slowest) {
            slowest = part.writeCycleMaxUs;
        }
    }
    return slowest;
}
constexpr int SlowestWriteCycleUs(ChipFamily family) { return SlowestWriteCycleUs(&family); }

// The smallest page of any part of the family: a page write of this size fits them all.
constexpr int SmallestPageSize(ChipFamily family) {
    int smallest = 0;
    for (const ChipPart& part : kChipParts) {
        if (part.family == family && part.pageSize > 0 && (smallest == 0 || part.pageSize < smallest)) {
            smallest = part.pageSize;
        }
    }
    return smallest;
}

}  // namespace hardware
