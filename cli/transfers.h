// The chip transfers merlix-cli runs: the whole chip, or one 256-byte block of
// an I2C memory. This is the one place that picks the engine's sequences: the
// fast ones (eeprom/fast_transfers.h), and for the parts beyond the window's
// list the whole-part ones (eeprom/part_transfers.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/chips.h"
#include "cli/progress.h"
#include "eeprom/part_transfers.h"
#include "eeprom/session.h"

namespace cli {

// What a command works on: bytes [offset, offset+size) of the chip. For an
// I2C memory `device` is the 8-bit address of the block at `offset` (blocks of
// 256 bytes follow at device+2, device+4, ...).
struct Region {
    int offset = 0;
    int size = 0;
    int device = 0xA0;
    // A 25xx's block protection is cleared for the write and set again after it.
    bool unprotect = false;
    // A stretch of the chip that is neither the whole chip nor a page: moved
    // by the part transfers from `offset` on (`device` the part's first), a
    // 93Cxx whole with the bytes around the stretch kept.
    bool ranged = false;
};

// Reads the region into `data`, the line showing `phase` ("verifying" for a
// read-back). False with one sentence on a time-out.
bool ReadRegion(eeprom::Session& session, const Chip& chip, const Region& region,
                std::vector<std::uint8_t>& data, ProgressLine& line, std::string& error,
                const char* phase = "reading");
// True, with the sentence, when the chip would refuse a write to the region
// before changing anything (a 25xx's block protection): asked before the backup.
bool WriteRefused(eeprom::Session& session, const Chip& chip, const Region& region, std::string& error);
// Writes `data` (region.size bytes) to the region.
bool WriteRegion(eeprom::Session& session, const Chip& chip, const Region& region,
                 const std::vector<std::uint8_t>& data, ProgressLine& line, std::string& error);

}  // namespace cli
