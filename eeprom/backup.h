// The automatic backups taken before every chip write: the part about to be
// written (the whole serial chip, or one I2C page) read from the chip and kept
// as a raw file in the backup folder, newest 200 kept. Both faces call
// BackUpBeforeWrite before a write and ListBackups / LoadBackup to restore.
//
// File names tell what a file holds: chip, then device and page for an I2C
// page, then the local time, e.g. 24C16-A0-p3-20261208-143001.bin or
// 93C46x8-20261208-143001.bin (a second backup within the same second gets
// -2, -3 ... before .bin, so no backup ever replaces another).
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "eeprom/chip_table.h"
#include "eeprom/chip_transfers.h"

namespace hardware {
class PortAdapter;
}

namespace eeprom {

inline constexpr int kBackupsKept = 200;

// $XDG_DATA_HOME/merlix/backups, $HOME/.local/share/merlix/backups when
// XDG_DATA_HOME is unset or not absolute (as the XDG rules say).
QString BackupFolder();

// What a backup holds: the chip's file name part, and for an I2C page its
// write address (A0..AE) and page; device and page are -1 for serial chips.
struct BackupTarget {
    std::string chip;
    int device = -1;
    int page = -1;
};

// The file-name part of a chip-list entry: "93C46 (8)" gives "93C46x8",
// "AT25C010" stays; a blank entry (I2C mode, the 24C16 layout) gives "24C16".
std::string BackupChipName(const std::string& chipListEntry);

// What a write of the chip in force covers: the serial chip whole, or page
// `page` of the I2C memory at `dev` (either address form).
BackupTarget WriteTarget(const std::string& chipListEntry, int page, int dev);

// Bytes a backup of `target` holds: one page for I2C, else the image-file
// size of `chip`.
int BackupSize(const BackupTarget& target, const ChipParams& chip);

// Saves `size` bytes as a new backup of `target` taken at `when`, atomically,
// then deletes the oldest backups beyond kBackupsKept (only files named as
// backups are touched). On failure (folder not creatable, disk full) returns
// false with one sentence in `error`; `path` gets the new file's path.
bool SaveBackup(const QString& folder, const BackupTarget& target, const std::uint8_t* data, int size,
                const QDateTime& when, QString& path, std::string& error);

struct BackupEntry {
    QString path;
    QDateTime time;
    BackupTarget target;
    qint64 size = 0;
    std::uint32_t crc32 = 0;
};

// The backups of chip `chip` (every chip when empty) in `folder`, newest first.
std::vector<BackupEntry> ListBackups(const QString& folder, const std::string& chip);

// What a backup's file name (without its folder) says it holds; false for a
// name that is not a backup's.
bool ParseBackupFileName(const std::string& name, BackupTarget& target);

// Reads a backup for restoring: it must hold exactly `expectedSize` bytes, so
// a truncated file or one of another chip is refused with `error`. `path` is
// the system's bytes or a QString.
bool LoadBackup(const std::string& path, int expectedSize, std::vector<std::uint8_t>& data,
                std::string& error);
bool LoadBackup(const QString& path, int expectedSize, std::vector<std::uint8_t>& data, std::string& error);

// Reads what a write of `target` is about to replace, with the fast
// sequential reads when `fast` (as the write that follows will run), else the
// reads as specified, and saves it in `folder`. When the read fails or the file cannot be saved,
// returns false with the reason in `error`, and the caller must not write.
// The transfer's own messages go into `error` too, not to `progress`.
bool BackUpBeforeWrite(hardware::PortAdapter& adapter, const ChipParams& chip, const BackupTarget& target,
                       bool fast, const QString& folder, Progress& progress, QString& path,
                       std::string& error);

}  // namespace eeprom
