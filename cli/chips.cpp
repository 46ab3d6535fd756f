// The command line's chip names over the chip table.
#include "cli/chips.h"

#include <algorithm>
#include <cctype>

#include "eeprom/chip_table.h"
#include "eeprom/part_session.h"

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
    std::vector<Chip> chips;
    // The chip table's rows in its order: the window's list, then the larger parts.
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        Chip chip;
        chip.listEntry = part.listText;
        chip.family = part.family;
        chip.bytes = part.bytes;
        chip.organisation = part.organisation;
        chip.pageSize = part.pageSize;
        chip.name = eeprom::PartName(part);
        chip.part = &part;
        chip.large = eeprom::MovedByPartTransfers(part);
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
        // Another name of the part: the chip goes by the name the technician gave.
        for (const std::string& alias : eeprom::PartNames(*candidate.part)) {
            if (Key(alias) != key) continue;
            chip = candidate;
            chip.name = alias;
            return true;
        }
    }
    for (const Chip& candidate : Chips()) {
        if (eeprom::StrappedByOrg(*candidate.part) && Key(candidate.name).rfind(key + "x", 0) == 0) {
            // The ORG pin is wired on the board; guessing it would scramble the data.
            error = "chip '" + name + "' needs its organisation: " + name + "x8 or " + name + "x16";
            return false;
        }
    }
    error = "unknown chip '" + name + "' (see merlix-cli chips)";
    return false;
}

}  // namespace cli
