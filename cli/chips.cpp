// The command line's chip names; the parameters come from the engine's chip table.
#include "cli/chips.h"

#include <algorithm>
#include <cctype>

#include "eeprom/chip_table.h"

namespace cli {

namespace {

// Lower case without blanks, "(8)" and "(16)" spelled "x8" and "x16".
std::string Key(const std::string& text) {
    std::string key;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ')') continue;
        key += c == '(' ? 'x' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::vector<Chip> BuildChips() {
    std::vector<Chip> chips = {
        {"24C01", "", 0, 128, 8, 8},   {"24C02", "", 0, 256, 8, 8},   {"24C04", "", 0, 512, 8, 16},
        {"24C08", "", 0, 1024, 8, 16}, {"24C16", "", 0, 2048, 8, 16},
    };
    for (const char* entry : eeprom::kChipListEntries) {
        const std::string text = entry;
        if (text.empty() || text == eeprom::kDacEntry) continue;
        eeprom::ChipParams params;
        params.organisation = 8;
        eeprom::ApplyChipChoice(params, text);
        Chip chip;
        chip.listEntry = text;
        chip.family = params.family;
        chip.bytes = eeprom::ImageFileSize(params);
        chip.organisation = params.organisation;
        if (chip.family == 93) {
            const std::size_t open = text.find(" (");
            chip.name = text.substr(0, open) + " x" + std::to_string(params.organisation);
        } else {
            chip.name = text;
            chip.pageSize = chip.bytes <= 512 ? 8 : 32;
        }
        chips.push_back(chip);
    }
    return chips;
}

}  // namespace

const std::vector<Chip>& Chips() {
    static const std::vector<Chip> chips = BuildChips();
    return chips;
}

bool FindChip(const std::string& name, Chip& chip, std::string& error) {
    const std::string key = Key(name);
    for (const Chip& candidate : Chips()) {
        if (Key(candidate.name) == key || (!candidate.listEntry.empty() && Key(candidate.listEntry) == key)) {
            chip = candidate;
            return true;
        }
    }
    for (const Chip& candidate : Chips()) {
        if (candidate.family == 93 && Key(candidate.name).rfind(key + "x", 0) == 0) {
            // The ORG pin is wired on the board; guessing it would scramble the data.
            error = "chip '" + name + "' needs its organisation: " + name + "x8 or " + name + "x16";
            return false;
        }
    }
    error = "unknown chip '" + name + "' (see merlix-cli chips)";
    return false;
}

}  // namespace cli
