// The memories merlix-cli reads and writes, by the names a technician types:
// 24C01..24C16, 93C06..93C86 with x8 or x16, AT25C010..AT25C160, in any
// case, and the window's chip list texts ("93C46 (16)") too.
#pragma once

#include <string>
#include <vector>

#include "eeprom/chip_table.h"

namespace cli {

struct Chip {
    std::string name;       // as the command line takes it: "24C16", "93C46x16", "AT25C160"
    std::string listEntry;  // the window's chip list text; empty for the I2C memories
    eeprom::ChipFamily family = eeprom::ChipFamily::I2c;
    int bytes = 0;         // whole chip
    int organisation = 8;  // word size in bits
    int pageSize = 0;      // bytes a write may take at once; 0: one word at a time
    bool I2c() const { return family == eeprom::ChipFamily::I2c; }
};

const std::vector<Chip>& Chips();
// Finds `name`; on failure `error` is one sentence, with a hint where one helps.
bool FindChip(const std::string& name, Chip& chip, std::string& error);

}  // namespace cli
