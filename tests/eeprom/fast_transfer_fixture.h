// What the fast-transfer suites share: a patterned image, a range check, and
// the fixture of one rig with a chip choice, an image, its marks and a
// recording progress.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "eeprom/chip_progress.h"
#include "eeprom/chip_table.h"
#include "eeprom/image.h"
#include "support/adapter_rig.h"

namespace fasttest {

inline eeprom::Image Pattern(int seed) {
    eeprom::Image pattern{eeprom::kImageSize};
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 256);
    return pattern;
}

inline bool All(const eeprom::Image& bytes, std::ptrdiff_t from, std::ptrdiff_t to, std::uint8_t value) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to,
                       [value](std::uint8_t b) { return b == value; });
}

class ChipFixture : public testsupport::OnEveryAdapter {
protected:
    void Choose(const std::string& entry) {
        eeprom::ApplyChipChoice(chip, entry);
        rig.InsertChip(entry);
    }

    eeprom::ChipParams chip;
    eeprom::Image image{eeprom::kImageSize};
    eeprom::Image marks{eeprom::kImageSize};
    RecordingProgress progress;
};

}  // namespace fasttest
