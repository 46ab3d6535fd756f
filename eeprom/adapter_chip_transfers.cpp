// The fast transfers on the session's interfaces; see adapter_chip_transfers.h.
#include "eeprom/adapter_chip_transfers.h"

#include "eeprom/fast_chip_transfers.h"

namespace eeprom {

bool Reachable(const Session& session, ChipFamily family, Progress& progress) {
    const std::string missing = session.CannotReach(family);
    if (!missing.empty()) progress.Message(missing);
    return missing.empty();
}

bool ReadSerialChipFast(Session& session, const ChipParams& chip, Image& image, Image& marks,
                        Progress& progress) {
    if (!Reachable(session, chip.family, progress)) return false;
    if (session.lines) return ReadChipFast(*session.lines, chip, image, marks, progress);
    return ReadChipFast(*session.spi, chip, image, marks, progress);
}

bool WriteSerialChipFast(Session& session, const ChipParams& chip, Image& image, Image& marks,
                         Progress& progress, Image* readBack) {
    if (!Reachable(session, chip.family, progress)) return false;
    if (session.lines) return WriteChipFast(*session.lines, chip, image, marks, progress, readBack);
    return WriteChipFast(*session.spi, chip, image, marks, progress, readBack);
}

BackupReads FastBackupReads(Session& session, const ChipParams& chip) {
    BackupReads reads;
    reads.i2cBlock = [&session](int page, int dev, Image& image, Image& marks, Progress& progress,
                                int count) {
        return Reachable(session, ChipFamily::I2c, progress) &&
               ReadI2cBlockFast(*session.i2c, page, dev, image, marks, progress, count);
    };
    reads.serialChip = [&session, chip](Image& image, Image& marks, Progress& progress) {
        return ReadSerialChipFast(session, chip, image, marks, progress);
    };
    return reads;
}

}  // namespace eeprom
