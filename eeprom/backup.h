// The automatic backups taken before every chip write: the part about to be
// written (a whole chip, or one I2C page) read from the chip and kept as a raw
// file in the backup folder (mode 0700, files 0600), the newest kBackupsKept
// of each chip, device and page. Both faces call BackUpBeforeWrite before a
// write and ListBackups / LoadBackup to restore.
//
// File names tell what a file holds: chip, then the device for an I2C memory
// (with the page for one page), the local time, a sequence number when
// another backup of the chip was taken in the same second, and the CRC-32 of
// the contents: 24C16-A6-p3-20261208-143001-1a2b3c4d.bin,
// 24C16-A0-20261208-143001-2-0e4f5a6b.bin (the whole chip),
// 93C46x8-20261208-143001-c2a8fa9d.bin. Names without a CRC are read too.
// No backup ever replaces another, and pruning deletes only files whose size
// and CRC-32 are what their name says; a name dated more than a day ahead of
// the clock is not taken for a backup.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"

namespace hardware {
class I2cMaster;
class SerialLines;
}  // namespace hardware

namespace eeprom {

inline constexpr int kBackupsKept = 50;  // of each chip, device and page

// $XDG_DATA_HOME/merlix/backups, $HOME/.local/share/merlix/backups when
// XDG_DATA_HOME is unset or not absolute (as the XDG rules say).
QString BackupFolder();

// What a backup holds: the chip's file name part; for an I2C memory its write
// address (A0..AE), with the page for one 256-byte page (-1: the whole chip);
// device and page are -1 for serial chips.
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

// Bytes a backup of `target` holds by its chip name: the whole chip, or one
// page (at most 256 bytes); 0 for a name that is no chip.
int BackupBytes(const BackupTarget& target);

// As BackupBytes, falling back to one page for I2C and the image-file size of
// `chip` otherwise.
int BackupSize(const BackupTarget& target, const ChipParams& chip);

// What a backup's file name (without its folder) says it holds; false for a
// name that is not a backup's.
bool ParseBackupFileName(const std::string& name, BackupTarget& target);

// Saves `size` bytes as a new backup of `target` taken at `when`, atomically,
// then deletes the oldest of its chip, device and page beyond kBackupsKept
// (only files whose size and CRC-32 match their names). On failure (folder not creatable, disk full) returns
// false with one sentence in `error`; `path` gets the new file's path.
bool SaveBackup(const QString& folder, const BackupTarget& target, const std::uint8_t* data, int size,
                const QDateTime& when, QString& path, std::string& error);

struct BackupEntry {
    QString path;
    QDateTime time;
    BackupTarget target;
    qint64 size = 0;
    std::uint32_t crc32 = 0;
    bool matchesName = false;  // the size is the chip's, and the CRC-32 the name's if it has one
};

// The backups of chip `chip` (every chip when empty) in `folder`, newest
// first: by the time in the name, then the sequence number, then the
// modification time.
std::vector<BackupEntry> ListBackups(const QString& folder, const std::string& chip);

// Reads a backup for restoring: it must hold exactly `expectedSize` bytes and,
// when its name carries a CRC-32, data of that CRC, so a truncated or changed
// file or one of another chip is refused with `error`. `path` is the
// system's bytes or a QString.
bool LoadBackup(const std::string& path, int expectedSize, std::vector<std::uint8_t>& data,
                std::string& error);
bool LoadBackup(const QString& path, int expectedSize, std::vector<std::uint8_t>& data, std::string& error);

// The transfers a backup read runs, of the kind the write that follows will
// be: one block of an I2C memory (`count` bytes from device `dev` into image
// page `page`), and the whole serial chip in force.
struct BackupReads {
    std::function<bool(int page, int dev, Image& image, Image& marks, Progress& progress, int count)>
        i2cBlock;
    std::function<bool(Image& image, Image& marks, Progress& progress)> serialChip;
};

// The backup reads with the fast transfers, on any adapter.
BackupReads FastBackupReads(hardware::I2cMaster& i2c, hardware::SerialLines& lines, const ChipParams& chip);

// Reads what a write of `target` is about to replace with `read` and saves it
// in `folder`. When the read fails or the file cannot be saved, returns false
// with the reason in `error`, and the caller must not write. The transfer's
// own messages go into `error` too, not to `progress`.
bool BackUpBeforeWrite(const BackupReads& read, const ChipParams& chip, const BackupTarget& target,
                       const QString& folder, Progress& progress, QString& path, std::string& error);

}  // namespace eeprom
