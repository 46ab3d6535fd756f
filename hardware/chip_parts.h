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
    DeviceAddress,  // 24C04/08/16: the 256-byte block in device address bits 3..1 (A0 + 2b)
    OpcodeBit3,     // AT25C040: address bit 8 in bit 3 of the READ and WRITE instructions
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
};

namespace chip_parts_detail {
inline constexpr int kI2cCycleUs = 10000;        // tWR 5 ms, 10 ms on older and low-voltage parts
inline constexpr int kMicrowireCycleUs = 10000;  // tWP (tE/W) up to 10 ms
inline constexpr int kSpiCycleUs = 5000;         // tWC 5 ms
constexpr ChipPart I2c(std::string_view name, int bytes, int page, BlockSelect block) {
    return {"", name, ChipFamily::I2c, bytes, 8, 8, 1, page, block, kI2cCycleUs};
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
            kMicrowireCycleUs};
}
constexpr ChipPart Spi(std::string_view name, int bytes, int addressBytes, int page,
                       BlockSelect block = BlockSelect::None) {
    return {name, name, ChipFamily::Spi, bytes, 8, 8 * addressBytes, addressBytes, page, block, kSpiCycleUs};
}
}  // namespace chip_parts_detail

// Chip list order for the entries that have a list text.
inline constexpr auto kChipParts = [] {
    using namespace chip_parts_detail;
    return std::array{
        I2c("24C01", 128, 8, BlockSelect::None),
        I2c("24C02", 256, 8, BlockSelect::None),
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
        ChipPart{"M62358,M62359", "M62358", ChipFamily::Dac, 0, 8, 0, 0, 0, BlockSelect::None, 0},
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
