// The memories merlix-cli reads and writes, by the names a technician types:
// every row of the chip table by its name or an alias (24C01..24M02,
// 93C06..93C86 with x8 or x16, AT25C010..AT25C160 also as 25010..25160,
// 25320..25M02), and the window's list texts such as "93C46 (16)", in any case.
#pragma once

#include <string>
#include <vector>

#include "eeprom/chip_table.h"
#include "eeprom/part_facts.h"
#include "hardware/chip_parts.h"

namespace cli {

struct Chip {
    std::string name;       // as the command line takes it: "24C16", "93C46x16", "AT25C160", "25160"
    std::string listEntry;  // the window's chip list text; empty for the I2C memories
    eeprom::ChipFamily family{};
    int bytes = 0;         // whole chip
    int organisation = 8;  // word size in bits
    int pageSize = 0;      // bytes a write may take at once; 0: one word at a time
    const hardware::ChipPart* part = nullptr;
    // Moved by the part transfers (eeprom/whole_part_transfers.h), not through the
    // session's chip parameters.
    bool large = false;
    bool I2c() const { return eeprom::OnI2cBus(*part); }
};

const std::vector<Chip>& Chips();
// Finds `name`; on failure `error` is one sentence, with a hint where one helps.
bool FindChip(const std::string& name, Chip& chip, std::string& error);

}  // namespace cli
