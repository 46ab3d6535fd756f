// Any memory part of the chip table reached through a session's bus
// interfaces, as both faces reach it: the name a technician types for it, the
// bus it is on, what answers on every bus the adapter has, and the whole part
// read or written. The 24Cxx and 25xx go through the part transfers
// (whole_part_transfers.h); a 93Cxx, which only the serial chip transfers speak,
// through the session's fast serial transfers with chip parameters of its
// own, so the session's chip in force stays as it was.
#pragma once

#include <string>
#include <vector>

#include "eeprom/detect.h"
#include "eeprom/session.h"
#include "eeprom/whole_part_transfers.h"
#include "hardware/chip_parts.h"

namespace eeprom {

// The name the command line takes: "24C256", "AT25C160", "93C46x16" (a
// Microwire part with its organisation).
std::string PartName(const hardware::ChipPart& part);

// The chip name of the part's backups: the list's form for the serial chips
// of the window's list ("93C46x8", "AT25C010"), the part's own name otherwise.
std::string PartBackupName(const hardware::ChipPart& part);

// The device addresses (8-bit, A0..AE) an I2C part can answer at, one for
// each way its address pins can be strapped: its blocks follow its first by
// the chip table's block rule and stay inside A0..AF, and block bits that
// take the address's low bits start where those bits are 0 (a 24C04 at A0,
// A4, ..., AC; a 24M02 at A0 and A8; a 24C16 at A0 only). Empty for parts
// on other buses.
std::vector<int> PartDevices(const hardware::ChipPart& part);
// The one of PartDevices(part) whose blocks take in `device`, so that a part
// on the same pins keeps them; A0 when none does.
int PartDeviceFor(const hardware::ChipPart& part, int device);

// The bus the session reaches `part` on: its I2C master with the 7-bit base of
// `device` (8-bit, A0..AE), else the SPI master, else the serial lines.
PartBus PartBusFor(Session& session, const hardware::ChipPart& part, int device = 0xA0);

// What answered on one bus of the adapter.
struct BusDetection {
    const char* bus;  // "I2C" or "SPI"
    Detection detection;
};
// Detection on every bus the session's adapter has: the I2C bus, then the
// serial socket.
std::vector<BusDetection> DetectEveryBus(Session& session, Progress& progress);

// The whole part into `image` (part.bytes long). False with one sentence
// through `progress` when the adapter cannot reach it or it did not answer.
bool ReadWholePart(Session& session, const hardware::ChipPart& part, Image& image, Progress& progress,
                   int device = 0xA0);
// `image` (part.bytes long) into the part, page by page (word by word on a
// 93Cxx); cancelling stops after the page in flight. Positions reported
// through `progress` run over the part in its own units (bytes, or words
// of a x16 93Cxx): scale them by part.bytes / range.
bool WriteWholePart(Session& session, const hardware::ChipPart& part, const Image& image, Progress& progress,
                    int device = 0xA0);

}  // namespace eeprom
