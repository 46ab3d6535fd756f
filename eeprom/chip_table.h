// The chip list and the chip parameters it sets. The whole-chip transfers
// read the parameters, and the image file size follows them.
#pragma once

#include <array>
#include <string>

namespace eeprom {

// The parameters of the chip in force. All zero at start.
struct ChipParams {
    // 93 (Microwire), 25 (SPI) or 0 (I2C memories on the bus).
    int family = 0;
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

inline constexpr const char* kDacEntry = "M62358,M62359";

// The chip list in list order: three blank entries (I2C mode) first.
inline constexpr std::array<const char*, 21> kChipListEntries{
    "",           "",           "",          "93C06 (8)",  "93C06 (16)", "93C46 (8)",  "93C46 (16)",
    "93C56 (8)",  "93C56 (16)", "93C66 (8)", "93C66 (16)", "93C76 (8)",  "93C76 (16)", "93C86 (8)",
    "93C86 (16)", kDacEntry,    "AT25C010",  "AT25C020",   "AT25C040",   "AT25C080",   "AT25C160",
};

// Applies the parameters of one chip-list entry, matched exactly. A blank
// entry only sets family 0; the DAC entry and unknown texts change nothing;
// the SPI entries keep the organisation and the cursor.
void ApplyChipChoice(ChipParams& chip, const std::string& entryText);

// Bytes an image file holds for the chip in force: the whole 2048-byte buffer
// in I2C mode, two bytes per word for the "(16)" Microwire entries, never
// more than the buffer.
int ImageFileSize(const ChipParams& chip);

}  // namespace eeprom
