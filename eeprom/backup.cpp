// The backup folder, its files and the read before a write; see backup.h.
#include "eeprom/backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>

#include "eeprom/checksums.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/file_access.h"
#include "platform/private_file.h"

namespace eeprom {

namespace {

constexpr const char* kTimeFormat = "yyyyMMdd-HHmmss";

// Made once per listing, not kept for the process: a pattern compiles on
// first use, so a shared one would be state that every thread reaches.
QRegularExpression BackupNamePattern() {
    return QRegularExpression(QStringLiteral(
        "^([A-Za-z0-9]+)(?:-([0-9A-F]{2})(?:-p([0-7]))?)?-(\\d{8}-\\d{6})(?:-(\\d{1,6}))?(?:-([0-9a-f]{8}))?"
        "\\.bin$"));
}

struct ParsedName {
    BackupTarget target;
    QDateTime time;
    int sequence = 1;
    bool hasCrc = false;
    std::uint32_t crc32 = 0;
};

bool ParseBackupName(const QRegularExpression& pattern, const QString& name, ParsedName& parsed) {
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) return false;
    parsed.target.chip = m.captured(1).toStdString();
    // A part's other name ("25010" for the AT25C010) is the same chip: its
    // backups are listed, counted and pruned with those under its own.
    if (const hardware::ChipPart* part = hardware::FindMemoryPart(parsed.target.chip);
        part != nullptr && part->name != parsed.target.chip) {
        const std::string own = part->listText.empty() || part->family == ChipFamily::I2c
                                    ? std::string(part->name)
                                    : BackupChipName(std::string(part->listText));
        if (hardware::NamesPart(*part, parsed.target.chip)) parsed.target.chip = own;
    }
    if (!m.captured(2).isEmpty()) {
        parsed.target.device = m.captured(2).toInt(nullptr, 16);
        parsed.target.page = m.captured(3).isEmpty() ? -1 : m.captured(3).toInt();
        // Only the I2C memories have a device, and always a write address.
        const hardware::ChipPart* part = hardware::FindMemoryPart(parsed.target.chip);
        const bool i2cPart = part != nullptr && part->family == ChipFamily::I2c;
        if ((parsed.target.chip.rfind("24C", 0) != 0 && !i2cPart) ||
            !IsEepromDeviceAddress(parsed.target.device) || (parsed.target.device & 1))
            return false;
    }
    parsed.time = QDateTime::fromString(m.captured(4), QString::fromLatin1(kTimeFormat));
    parsed.sequence = m.captured(5).isEmpty() ? 1 : m.captured(5).toInt();
    parsed.hasCrc = !m.captured(6).isEmpty();
    parsed.crc32 = m.captured(6).toUInt(nullptr, 16);
    return parsed.time.isValid() && parsed.sequence >= 1;
}

struct NamedFile {
    QString path;
    ParsedName parsed;
    QDateTime modified;
};

// Oldest first: by the time in the name, then the sequence number (a copied
// folder keeps both), then the modification time.
bool Older(const NamedFile& a, const NamedFile& b) {
    if (a.parsed.time != b.parsed.time) return a.parsed.time < b.parsed.time;
    if (a.parsed.sequence != b.parsed.sequence) return a.parsed.sequence < b.parsed.sequence;
    return a.modified < b.modified;
}

// The folder's backups, oldest first. A name dated more than a day ahead of
// the clock (a day covers a clock put back for the winter) was not taken
// here: neither pruned nor ever the newest.
std::vector<NamedFile> BackupFiles(const QString& folder) {
    std::vector<NamedFile> files;
    const QDateTime latest = QDateTime::currentDateTime().addDays(1);
    const QDir dir(folder);
    const QRegularExpression pattern = BackupNamePattern();
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.bin")}, QDir::Files)) {
        NamedFile file{info.filePath(), {}, info.lastModified()};
        if (ParseBackupName(pattern, info.fileName(), file.parsed) && file.parsed.time <= latest)
            files.push_back(file);
    }
    std::stable_sort(files.begin(), files.end(), Older);
    return files;
}

// The largest memory part (a 24M02 or 25M02): no backup holds more.
constexpr int kLargestPartBytes = [] {
    int largest = kImageSize;
    for (const hardware::ChipPart& part : hardware::kMemoryParts) largest = std::max(largest, part.bytes);
    return largest;
}();

// Reads what a backup file holds (at most the largest chip's worth and one byte more).
bool ReadBackupFile(const QString& path, QByteArray& bytes, bool& longer, std::string& error,
                    const char* verb) {
    return ReadFileHead(path, kLargestPartBytes + 1, bytes, longer, error, verb);
}

std::uint32_t Crc32Of(const QByteArray& bytes) {
    return ComputeChecksums(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<int>(bytes.size()))
        .crc32;
}

bool SameTarget(const BackupTarget& a, const BackupTarget& b) {
    return a.chip == b.chip && a.device == b.device && a.page == b.page;
}

// Deletes the oldest backups of `target` beyond kBackupsKept. Only files that
// hold what their names say count and go: a planted file, one cut short or
// one changed since is never deleted.
void Prune(const QString& folder, const BackupTarget& target) {
    std::vector<QString> checked;
    for (const NamedFile& file : BackupFiles(folder)) {
        if (!SameTarget(file.parsed.target, target) || !file.parsed.hasCrc) continue;
        QByteArray bytes;
        bool longer = false;
        std::string ignored;
        if (!ReadBackupFile(file.path, bytes, longer, ignored, "read") || longer ||
            bytes.size() != BackupBytes(target) || Crc32Of(bytes) != file.parsed.crc32)
            continue;
        checked.push_back(file.path);
    }
    for (std::size_t i = 0; i + kBackupsKept < checked.size(); ++i) QFile::remove(checked[i]);
}

// Keeps a transfer's messages for the backup's one sentence, and passes its
// position on so the bar still moves during the read.
class QuietProgress final : public Progress {
public:
    explicit QuietProgress(Progress& bar) : bar_(bar) {}
    void SetRange(int low, int high) override { bar_.SetRange(low, high); }
    void SetPosition(int position) override { bar_.SetPosition(position); }
    void Message(const std::string& text) override { said += text; }
    std::string said;

private:
    Progress& bar_;
};

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

QString BackupFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data)) {
        data = qEnvironmentVariable("HOME") + QStringLiteral("/.local/share");
    }
    return data + QStringLiteral("/merlix/backups");
}

std::string BackupChipName(const std::string& chipListEntry) {
    if (chipListEntry.empty()) return "24C16";
    std::string name;
    for (char c : chipListEntry) {
        if (c == '(') {
            name += 'x';
        } else if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        }
    }
    return name;
}

BackupTarget WriteTarget(const std::string& chipListEntry, int page, int dev) {
    BackupTarget target{BackupChipName(chipListEntry)};
    if (chipListEntry.empty()) {
        target.device = dev & 0xFE;
        target.page = page;
    }
    return target;
}

int BackupBytes(const BackupTarget& target) {
    int bytes = 0;
    // Every memory part by its exact name: the 24C16 layout's and the larger parts'.
    const hardware::ChipPart* part = hardware::FindMemoryPart(target.chip);
    if (part != nullptr && part->name != target.chip) part = nullptr;
    if (part != nullptr && part->family == ChipFamily::I2c) {
        if (target.device < 0) return 0;
        bytes = part->bytes;
    } else if (part != nullptr && part->family == ChipFamily::Spi && part->listText.empty()) {
        if (target.device >= 0) return 0;
        bytes = part->bytes;
    } else {
        if (target.device >= 0) return 0;
        for (const char* entry : kChipListEntries) {
            if (*entry == '\0' || BackupChipName(entry) != target.chip) continue;
            ChipParams params;
            params.organisation = 8;
            ApplyChipChoice(params, entry);
            bytes = ImageFileSize(params);
        }
    }
    if (target.page < 0) return bytes;
    return target.page * kPageSize < bytes ? std::min(bytes, kPageSize) : 0;
}

int BackupSize(const BackupTarget& target, const ChipParams& chip) {
    if (const int bytes = BackupBytes(target); bytes > 0) return bytes;
    return target.page >= 0 ? kPageSize : ImageFileSize(chip);
}

bool SaveBackup(const QString& folder, const BackupTarget& target, const std::uint8_t* data, int size,
                const QDateTime& when, QString& path, std::string& error) {
    std::string reason;
    if (!platform::MakePrivateFolder(QFile::encodeName(folder).toStdString(), reason)) {
        error = "Cannot create the backup folder \"" + folder.toStdString() + "\": " + reason + ".";
        return false;
    }
    QString stem = QString::fromStdString(target.chip);
    if (target.device >= 0)
        stem += QLatin1Char('-') +
                QString::number(target.device, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    if (target.page >= 0) stem += QStringLiteral("-p%1").arg(target.page);
    const QString time = when.toString(QString::fromLatin1(kTimeFormat));
    stem += QLatin1Char('-') + time;
    // The sequence runs over the chip's backups of that second, whatever
    // their page, so that the order of a whole-chip run survives.
    int sequence = 1;
    for (const NamedFile& file : BackupFiles(folder)) {
        if (file.parsed.target.chip == target.chip && file.parsed.time == when.addMSecs(-when.time().msec()))
            sequence = std::max(sequence, file.parsed.sequence + 1);
    }
    const QString crc =
        QStringLiteral("-%1").arg(ComputeChecksums(data, size).crc32, 8, 16, QLatin1Char('0'));
    const QDir dir(folder);
    for (;; ++sequence) {
        path = dir.filePath(stem + (sequence > 1 ? QStringLiteral("-%1").arg(sequence) : QString()) + crc +
                            QStringLiteral(".bin"));
        const platform::PrivateWrite result = platform::WritePrivateFile(
            QFile::encodeName(path).toStdString(), data, static_cast<std::size_t>(size), false, reason);
        if (result == platform::PrivateWrite::Written) break;
        if (result == platform::PrivateWrite::Failed || sequence > 100000) {
            error = "Cannot save \"" + path.toStdString() + "\": " + reason + "; nothing was written.";
            return false;
        }
    }
    Prune(folder, target);
    return true;
}

std::vector<BackupEntry> ListBackups(const QString& folder, const std::string& chip) {
    std::vector<BackupEntry> entries;
    const std::vector<NamedFile> files = BackupFiles(folder);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (!chip.empty() && it->parsed.target.chip != chip) continue;
        BackupEntry entry{it->path, it->parsed.time, it->parsed.target};
        QByteArray bytes;
        bool longer = false;
        std::string ignored;
        if (ReadBackupFile(it->path, bytes, longer, ignored, "read")) {
            entry.size = bytes.size();
            entry.crc32 = Crc32Of(bytes);
            entry.matchesName = !longer && entry.size == BackupBytes(entry.target) &&
                                (!it->parsed.hasCrc || entry.crc32 == it->parsed.crc32);
        }
        entries.push_back(entry);
    }
    return entries;
}

bool ParseBackupFileName(const std::string& name, BackupTarget& target) {
    ParsedName parsed;
    if (!ParseBackupName(BackupNamePattern(), QString::fromStdString(name), parsed)) return false;
    target = parsed.target;
    return true;
}

bool LoadBackup(const QString& path, int expectedSize, std::vector<std::uint8_t>& data, std::string& error) {
    return LoadBackup(QFile::encodeName(path).toStdString(), expectedSize, data, error);
}

bool LoadBackup(const std::string& path, int expectedSize, std::vector<std::uint8_t>& data,
                std::string& error) {
    QByteArray bytes;
    bool truncated = false;
    if (!ReadFileHead(path, expectedSize, bytes, truncated, error, "restore")) return false;
    if (truncated || bytes.size() != expectedSize) {
        error = "The backup \"" + path + "\" is " + (truncated ? "longer than" : "shorter than") + " the " +
                std::to_string(expectedSize) + " bytes of the chip in force: it was not restored.";
        return false;
    }
    ParsedName parsed;
    if (ParseBackupName(BackupNamePattern(), QString::fromStdString(path.substr(path.rfind('/') + 1)),
                        parsed) &&
        parsed.hasCrc && Crc32Of(bytes) != parsed.crc32) {
        error = "The backup \"" + path + "\" has changed since it was taken (its CRC-32 is " +
                Crc32Text(Crc32Of(bytes)) + ", its name says " + Crc32Text(parsed.crc32) +
                "): it was not restored.";
        return false;
    }
    data.assign(bytes.begin(), bytes.end());
    return true;
}

BackupReads FastBackupReads(hardware::I2cMaster& i2c, hardware::SerialLines& lines, const ChipParams& chip) {
    BackupReads reads;
    reads.i2cBlock = [&i2c](int page, int dev, Image& image, Image& marks, Progress& progress, int count) {
        return ReadI2cBlockFast(i2c, page, dev, image, marks, progress, count);
    };
    reads.serialChip = [&lines, chip](Image& image, Image& marks, Progress& progress) {
        return ReadChipFast(lines, chip, image, marks, progress);
    };
    return reads;
}

bool BackUpBeforeWrite(const BackupReads& reads, const ChipParams& chip, const BackupTarget& target,
                       const QString& folder, Progress& progress, QString& path, std::string& error) {
    QuietProgress quiet(progress);
    const int size = BackupSize(target, chip);
    const int offset = target.page >= 0 ? target.page * kPageSize : 0;
    // A scratch image up to the end of what is backed up: the backup read
    // must leave the user's image and marks alone.
    Image image{offset + size};
    Image marks{offset + size};
    bool read = true;
    if (target.page >= 0) {
        read = reads.i2cBlock(target.page, target.device | 1, image, marks, quiet, size);
    } else if (target.device >= 0) {
        // A whole I2C memory: its 256-byte blocks at successive device addresses.
        for (int block = 0; read && block * kPageSize < size; ++block)
            read = reads.i2cBlock(block, (target.device + 2 * block) | 1, image, marks, quiet,
                                  std::min(kPageSize, size));
    } else {
        read = reads.serialChip(image, marks, quiet);
    }
    if (!read) {
        error =
            "The backup read failed" + (quiet.said.empty() ? std::string(".") : ": " + OneLine(quiet.said));
        return false;
    }
    return SaveBackup(folder, target, image.data() + offset, size, QDateTime::currentDateTime(), path, error);
}

}  // namespace eeprom
