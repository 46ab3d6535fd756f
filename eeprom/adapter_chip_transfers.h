// The fast chip transfers on whichever bus interface the session's adapter
// has: a serial chip over the serial lines or an SPI master, an I2C memory
// over the I2C master. An interface the adapter lacks ends the transfer with
// one sentence through `progress` (false, nothing changed). Both faces call
// these, so a chip is reached the same way from either.
#pragma once

#include "eeprom/backup.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/session.h"

namespace eeprom {

// True when the session's adapter has the bus a `family` chip is on; else
// false with the sentence that says why through `progress`.
bool Reachable(const Session& session, ChipFamily family, Progress& progress);

bool ReadSerialChipFast(Session& session, const ChipParams& chip, Image& image, Image& marks,
                        Progress& progress);
bool WriteSerialChipFast(Session& session, const ChipParams& chip, Image& image, Image& marks,
                         Progress& progress, Image* readBack = nullptr);
// FastBackupReads on the session's interfaces.
BackupReads FastBackupReads(Session& session, const ChipParams& chip);

}  // namespace eeprom
