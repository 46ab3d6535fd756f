// The memory parts Merlix reads and writes, one row each: the 24Cxx on the
// bus, the 93Cxx and 25xx in the serial socket, and the DAC entry of the chip
// list. A row says everything a transfer, the faces, the backups and the
// bench's chip models need about its part: its names, geometry, where its
// extra address bits go, its page, its instructions and status bits, how far
// a sequential read runs before it wraps, and whether the main window lists
// it. None of them keeps a size, a page size or a family of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// Where a sequential read's address counter goes after the last byte it can reach.
enum class ReadWrap {
    Part,   // to the part's first byte (24Cxx, 25xx, 93Cxx)
    Block,  // to the first byte of the block it reads in (the 24xx515's halves, DS21673)
};

// A serial part's instructions and status bits. SPI: the 25xx instruction
// byte and status register (AT25010B/020B/040B DS20006251, AT25080B/160B
// DS20006244, Microchip 25xx DS22150, ST M95xxx); with OpcodeBit3, A8 rides
// in bit 3 of READ and WRITE. Microwire: the two opcode bits after the start
// bit (93C46 family, Microchip DS21749); `special` takes its instruction
// (write enable, erase all, write all, write disable) from the top two
// address bits.
struct ChipCommands {
    std::uint8_t read = 0;
    std::uint8_t write = 0;
    std::uint8_t writeEnable = 0;   // SPI WREN; Microwire EWEN (after `special`)
    std::uint8_t writeDisable = 0;  // SPI WRDI; Microwire EWDS (after `special`)
    std::uint8_t readStatus = 0;    // SPI RDSR
    std::uint8_t writeStatus = 0;   // SPI WRSR
    std::uint8_t erase = 0;         // Microwire ERASE
    std::uint8_t special = 0;       // Microwire 00
    std::uint8_t eraseAll = 0;      // Microwire ERAL (after `special`)
    std::uint8_t writeAll = 0;      // Microwire WRAL (after `special`)
    std::uint8_t busyBit = 0;       // SPI status: write in progress
    std::uint8_t writeEnabledBit = 0;
    std::uint8_t protectBits = 0;     // SPI status: BP1, BP0
    std::uint8_t writableStatus = 0;  // SPI status bits WRSR sets: WPEN, BP1, BP0
};
inline constexpr ChipCommands kSpiCommands{.read = 0x03,
                                           .write = 0x02,
                                           .writeEnable = 0x06,
                                           .writeDisable = 0x04,
                                           .readStatus = 0x05,
                                           .writeStatus = 0x01,
                                           .busyBit = 0x01,
                                           .writeEnabledBit = 0x02,
                                           .protectBits = 0x0C,
                                           .writableStatus = 0x8C};
inline constexpr ChipCommands kMicrowireCommands{.read = 0b10,
                                                 .write = 0b01,
                                                 .writeEnable = 0b11,
                                                 .writeDisable = 0b00,
                                                 .erase = 0b11,
                                                 .special = 0b00,
                                                 .eraseAll = 0b10,
                                                 .writeAll = 0b01};
inline constexpr ChipCommands kNoCommands{};

struct ChipPart {
    std::string_view listText;  // the main window's chip list text; empty: not in the list
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
    // Other names of the same part, blank-separated ("25010"): every lookup
    // by name, the command line, backups and stored files take them too.
    std::string_view aliases = {};
    // The main window reaches it: an entry of its chip list, or one of the
    // 24C01..24C16 its I2C mode's 2048-byte buffer holds.
    bool inMainWindow = false;
    ReadWrap wrap = ReadWrap::Part;
    const ChipCommands* commands = &kNoCommands;
};

namespace chip_parts_detail {
inline constexpr int kI2cCycleUs = 10000;        // tWR 5 ms, 10 ms on older and low-voltage parts
inline constexpr int kMicrowireCycleUs = 10000;  // tWP (tE/W) up to 10 ms
inline constexpr int kSpiCycleUs = 5000;         // tWC 5 ms
// 24C01..24C16: the main window's I2C mode, one address byte.
constexpr ChipPart I2c(std::string_view name, int bytes, int page, BlockSelect block) {
    return {"", name, ChipFamily::I2c, bytes, 8, 8, 1, page, block, kI2cCycleUs, 1700, 5500, {}, true};
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
            5500,
            {},
            true,
            ReadWrap::Part,
            &kMicrowireCommands};
}
// A 25xx of the main window's list, by its list name, with its generic name as an alias.
constexpr ChipPart Spi(std::string_view name, std::string_view alias, int bytes, int addressBytes, int page,
                       BlockSelect block = BlockSelect::None) {
    return {name,         name, ChipFamily::Spi, bytes,        8,    8 * addressBytes,
            addressBytes, page, block,           kSpiCycleUs,  1800, 5500,
            alias,        true, ReadWrap::Part,  &kSpiCommands};
}
// The larger memories: not in the main window, the command line's names.
constexpr ChipPart Eeprom24(std::string_view name, int bytes, int page, BlockSelect block, int cycleUs,
                            int minMillivolts) {
    const int addressBytes = bytes <= 2048 ? 1 : 2;
    const ReadWrap wrap = block == BlockSelect::UpperHalfAtPlus4 ? ReadWrap::Block : ReadWrap::Part;
    return {"",
            name,
            ChipFamily::I2c,
            bytes,
            8,
            8 * addressBytes,
            addressBytes,
            page,
            block,
            cycleUs,
            minMillivolts,
            5500,
            {},
            false,
            wrap};
}
constexpr ChipPart Eeprom25(std::string_view name, int bytes, int page, int cycleUs,
                            BlockSelect block = BlockSelect::None) {
    const int addressBytes = bytes <= 512 ? 1 : bytes <= 65536 ? 2 : 3;
    return {"",           name,  ChipFamily::Spi, bytes,        8,    8 * addressBytes,
            addressBytes, page,  block,           cycleUs,      1800, 5500,
            {},           false, ReadWrap::Part,  &kSpiCommands};
}
}  // namespace chip_parts_detail

// Every part, one row each: the main window's chip list in its order (the
// rows with a list text), then the larger parts only the fast transfers,
// detection, the chip window and the bench know. Datasheet facts per row:
// pages, address bytes, the longest write cycle (tWR, tWC) and the widest
// supply range of the part's variants.
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
        ChipPart{
            "M62358,M62359", "M62358", ChipFamily::Dac, 0, 8, 0, 0, 0, BlockSelect::None, 0, 0, 0, {}, true},
        // 25010/020/040: one address byte, A8 in the opcode of the 040,
        // "don't care" there on the 010/020; 8-byte pages on Atmel's
        // (AT25010B/AT25020B/AT25040B DS20006251), 16 on Microchip's
        // 25xx040A and ST's M95040: the smaller wins.
        Spi("AT25C010", "25010", 128, 1, 8),  // 7 address bits, sent as one byte
        Spi("AT25C020", "25020", 256, 1, 8),
        Spi("AT25C040", "25040", 512, 1, 8, BlockSelect::OpcodeBit3),
        // 25080/160: two address bytes; 16-byte pages on Microchip's
        // 25xx080A/C and 25xx160A/C (DS22150), 32 on Atmel's AT25080B/160B
        // (DS20006244) and the B/D versions: the smaller wins, so a page
        // write never wraps on any maker's part.
        Spi("AT25C080", "25080", 1024, 2, 16),
        Spi("AT25C160", "25160", 2048, 2, 16),
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
}();

// The part with this chip list text (exactly), or null.
constexpr const ChipPart* FindChipPart(std::string_view listText) {
    if (listText.empty()) return nullptr;
    for (const ChipPart& part : kChipParts) {
        if (part.listText == listText) return &part;
    }
    return nullptr;
}

// Every memory part (all rows but the DAC), in the table's order.
inline constexpr auto kMemoryParts = [] {
    constexpr std::size_t memories = [] {
        std::size_t count = 0;
        for (const ChipPart& part : kChipParts) count += part.family == ChipFamily::Dac ? 0 : 1;
        return count;
    }();
    std::array<ChipPart, memories> parts{};
    std::size_t at = 0;
    for (const ChipPart& part : kChipParts) {
        if (part.family != ChipFamily::Dac) parts[at++] = part;
    }
    return parts;
}();

namespace chip_parts_detail {
constexpr bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}
}  // namespace chip_parts_detail

// Whether `name` is the part's name or one of its aliases, in any case.
constexpr bool NamesPart(const ChipPart& part, std::string_view name) {
    if (chip_parts_detail::SameName(part.name, name)) return true;
    std::string_view rest = part.aliases;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        if (chip_parts_detail::SameName(rest.substr(0, blank), name)) return true;
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
    }
    return false;
}

// The first memory part of this name or alias, in any case ("24c256",
// "25010" gives the AT25C010, "93C46" its "(8)" entry), or null.
constexpr const ChipPart* FindMemoryPart(std::string_view name) {
    for (const ChipPart& part : kMemoryParts) {
        if (NamesPart(part, name)) return &part;
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

// The slowest write cycle of any part of the main window of the family, or
// of any of its parts at all.
constexpr int SlowestWriteCycleUs(const ChipFamily* family = nullptr) {
    int slowest = 0;
    for (const ChipPart& part : kChipParts) {
        if (part.inMainWindow && (family == nullptr || part.family == *family) &&
            part.writeCycleMaxUs > slowest) {
            slowest = part.writeCycleMaxUs;
        }
    }
    return slowest;
}
constexpr int SlowestWriteCycleUs(ChipFamily family) { return SlowestWriteCycleUs(&family); }

// The smallest page of any part of the main window of the family: a page
// write of this size fits them all.
constexpr int SmallestPageSize(ChipFamily family) {
    int smallest = 0;
    for (const ChipPart& part : kChipParts) {
        if (part.inMainWindow && part.family == family && part.pageSize > 0 &&
            (smallest == 0 || part.pageSize < smallest)) {
            smallest = part.pageSize;
        }
    }
    return smallest;
}

}  // namespace hardware
