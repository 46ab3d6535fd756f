// The chip list and the chip parameters it sets. The whole-chip transfers
// read the parameters, and the image file size follows them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "hardware/chip_parts.h"

namespace eeprom {

using hardware::ChipFamily;

// The parameters of the chip in force. All zero at start.
struct ChipParams {
    // I2c: the memories on the bus, page by page.
    ChipFamily family = ChipFamily::I2c;
    // Microwire: index of the top address bit (one more bit is sent); SPI: 8 or 16.
    int addressBits = 0;
    // Microwire word size, 8 or 16.
    int organisation = 0;
    // Bytes, or 16-bit words for the "(16)" Microwire entries; 0: I2C mode, whole buffer.
    int capacity = 0;
    // The unit where the classic serial transfers left off: a Microwire entry
    // of the chip list sets 0, each classic read or write leaves it past the
    // last unit it clocked (an empty read leaves 0). The write's settling
    // read goes to this unit.
    int cursor = 0;
};

// The converter's entry ("M62358,M62359"): it sets no chip parameters.
inline constexpr const char* kDacEntry = [] {
    for (const hardware::ChipPart& part : hardware::kChipParts) {
        if (part.family == ChipFamily::Dac) return part.listText.data();
    }
    return "";
}();

namespace chip_table_detail {
inline constexpr int kBlankEntries = 3;
constexpr std::size_t ListedParts() {
    std::size_t count = 0;
    for (const hardware::ChipPart& part : hardware::kChipParts) count += part.listText.empty() ? 0 : 1;
    return count;
}
}  // namespace chip_table_detail

// The chip list in list order: three blank entries (I2C mode) first, then
// every part of the chip table that has a list text.
inline constexpr auto kChipListEntries = [] {
    std::array<const char*, chip_table_detail::kBlankEntries + chip_table_detail::ListedParts()> entries{};
    std::size_t at = 0;
    for (; at < chip_table_detail::kBlankEntries; ++at) entries[at] = "";
    for (const hardware::ChipPart& part : hardware::kChipParts) {
        if (!part.listText.empty()) entries[at++] = part.listText.data();
    }
    return entries;
}();
// The window's list keeps its 21 entries with the DAC between the two serial families.
static_assert(kChipListEntries.size() == 21 && std::string_view(kChipListEntries[15]) == kDacEntry);

// Applies the parameters of one chip-list entry, matched exactly. A blank
// entry only sets the I2C family; the DAC entry and unknown texts change nothing;
// the SPI entries keep the organisation and the cursor.
void ApplyChipChoice(ChipParams& chip, const std::string& entryText);

// Bytes an image file holds for the chip in force: the whole 2048-byte buffer
// in I2C mode, two bytes per word for the "(16)" Microwire entries, never
// more than the buffer.
int ImageFileSize(const ChipParams& chip);

}  // namespace eeprom
