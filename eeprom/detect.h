// What memory is on the bus or in the socket, found without writing to it:
// which I2C addresses answer, and a 24Cxx's or a 25xx's address bytes and
// size, beside what a 25xx's status register says. Reading proves only that
// a part is at least some size: a wrap at N bytes and a larger part holding
// the same N bytes over and over read alike, so every larger size of the
// kind stays a candidate, and the answer is sure only for the largest (or
// where the device addresses that answer settle it). Contents that look the
// same everywhere (an erased part) show nothing: every part that fits stays
// a candidate.
//
// Nothing is written to the memory: random reads send a word address only.
// Telling one word-address byte from two sends two bytes followed by a
// repeated START, which a one-byte part takes as a data byte that the START
// drops before any write cycle; on an adapter that cannot join a write and a
// read with a repeated START that step is left out (and the answer is not
// sure), because its STOP would start the cycle.
#pragma once

#include <string>
#include <vector>

#include "eeprom/whole_part_transfers.h"
#include "hardware/chip_parts.h"

namespace hardware {
class I2cMaster;
}

namespace eeprom {

struct Detection {
    std::vector<int> answering;  // I2C: the 7-bit addresses that acknowledged a read
    int device = -1;             // I2C: the 7-bit address of the memory sized (its first block), -1 for none
    int status = -1;             // SPI: the status register, -1 when no chip answered
    // Parts that fit what was seen, in the chip table's order.
    std::vector<const hardware::ChipPart*> candidates;
    // Exactly one answer fits: the candidates (one, or names of one geometry
    // such as AT25C040 and 25040) read and write alike.
    bool sure = false;
    std::string said;  // one sentence: what the part showed
};

// Every address 0x08..0x77 tried with a one-byte read, then the memory at
// the lowest answering address of 0x50..0x57 sized.
Detection DetectI2c(hardware::I2cMaster& i2c);
// The 25xx in the socket (an SPI master or bit-banged lines).
Detection DetectSpi(PartBus bus, Progress& progress);

}  // namespace eeprom
