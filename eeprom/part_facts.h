// What the faces ask of a part, answered from its row of the chip table: the
// bus it is on, the names it goes by, how the transfers move it and what a
// job must do first. The command line, the chip window and the main window
// read these and print them; none of them looks at a chip family itself.
#pragma once

#include <string>
#include <vector>

#include "eeprom/chip_table.h"
#include "hardware/chip_parts.h"

namespace eeprom {

struct Session;

// "I2C", "Microwire" or "SPI".
const char* BusName(const hardware::ChipPart& part);
// On the I2C bus: a device address, blocks, pages of 256 bytes in the image.
bool OnI2cBus(const hardware::ChipPart& part);
// Its words are chosen by the ORG pin (a 93Cxx), which the board straps.
bool StrappedByOrg(const hardware::ChipPart& part);
// Its transfers move the whole chip: a stretch of it is written by reading
// the rest first and writing it back as it was (a 93Cxx).
bool MovedWhole(const hardware::ChipPart& part);
// A status register with block-protect bits that guard ranges from writes (a 25xx).
bool HasBlockProtection(const hardware::ChipPart& part);
// Moved by the part transfers (whole_part_transfers.h) rather than through the
// main window's chip parameters: the parts the window does not reach, and
// every 25xx, whose protection the part transfers check.
bool MovedByPartTransfers(const hardware::ChipPart& part);

// Every name the part is known by: PartName first, then its aliases.
std::vector<std::string> PartNames(const hardware::ChipPart& part);
// PartNames joined by ", ".
std::string PartNamesText(const hardware::ChipPart& part);

// Empty when the session's adapter has an I2C bus; else the sentence that says why not.
std::string CannotReachI2c(const Session& session);
// Empty when the session's adapter has serial lines or an SPI bus for the 93Cxx and 25xx.
std::string CannotReachSerial(const Session& session);
// The chip in force is an I2C memory (the main window's I2C mode).
bool ChipOnI2cBus(const ChipParams& chip);

}  // namespace eeprom
