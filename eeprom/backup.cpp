// The backup folder, its files and the read before a write; see backup.h.
#include "eeprom/backup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>

#include "eeprom/checksums.h"
#include "eeprom/fast_transfers.h"
#include "eeprom/file_access.h"
#include "hardware/port_adapter.h"

namespace eeprom {

namespace {

constexpr const char* kTimeFormat = "yyyyMMdd-HHmmss";

// One per listing, not one per process: a pattern compiles on first use,
// so a shared one would be state that every thread reaches.
QRegularExpression BackupNamePattern() {
    return QRegularExpression(
        QStringLiteral("^([A-Za-z0-9]+)(?:-([0-9A-F]{2})-p([0-7]))?-(\\d{8}-\\d{6})(?:-(\\d+))?\\.bin$"));
}

struct ParsedName {
    BackupTarget target;
    QDateTime time;
    int sequence = 1;
};

bool ParseBackupName(const QRegularExpression& pattern, const QString& name, ParsedName& parsed) {
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) return false;
    parsed.target.chip = m.captured(1).toStdString();
    if (m.hasCaptured(2) && !m.captured(2).isEmpty()) {
        parsed.target.device = m.captured(2).toInt(nullptr, 16);
        parsed.target.page = m.captured(3).toInt();
    }
    parsed.time = QDateTime::fromString(m.captured(4), QString::fromLatin1(kTimeFormat));
    parsed.sequence = m.captured(5).isEmpty() ? 1 : m.captured(5).toInt();
    return parsed.time.isValid();
}

// Oldest first: by the time in the name, then the sequence number, so the
// order survives copying the folder (which resets modification times).
bool Older(const ParsedName& a, const ParsedName& b) {
    return a.time != b.time ? a.time < b.time : a.sequence < b.sequence;
}

struct NamedFile {
    QString path;
    ParsedName parsed;
};

std::vector<NamedFile> BackupFiles(const QString& folder) {
    std::vector<NamedFile> files;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.bin")}, QDir::Files);
    const QRegularExpression pattern = BackupNamePattern();
    for (const QString& name : names) {
        NamedFile file{QDir(folder).filePath(name), {}};
        if (ParseBackupName(pattern, name, file.parsed)) files.push_back(file);
    }
    std::sort(files.begin(), files.end(),
              [](const NamedFile& a, const NamedFile& b) { return Older(a.parsed, b.parsed); });
    return files;
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

int BackupSize(const BackupTarget& target, const ChipParams& chip) {
    return target.page >= 0 ? kPageSize : ImageFileSize(chip);
}

bool SaveBackup(const QString& folder, const BackupTarget& target, const std::uint8_t* data, int size,
                const QDateTime& when, QString& path, std::string& error) {
    if (!QDir().mkpath(folder)) {
        error = "Cannot create the backup folder \"" + folder.toStdString() + "\".";
        return false;
    }
    QString stem = QString::fromStdString(target.chip);
    if (target.page >= 0) {
        stem += QStringLiteral("-%1-p%2")
                    .arg(QString::number(target.device, 16).toUpper().rightJustified(2, QLatin1Char('0')))
                    .arg(target.page);
    }
    stem += QLatin1Char('-') + when.toString(QString::fromLatin1(kTimeFormat));
    const QDir dir(folder);
    path = dir.filePath(stem + QStringLiteral(".bin"));
    for (int sequence = 2; QFileInfo::exists(path); ++sequence) {
        path = dir.filePath(stem + QStringLiteral("-%1.bin").arg(sequence));
    }
    if (!WriteFileAtomically(path, reinterpret_cast<const char*>(data), size, error)) return false;
    std::vector<NamedFile> files = BackupFiles(folder);
    for (std::size_t i = 0; i + kBackupsKept < files.size(); ++i) QFile::remove(files[i].path);
    return true;
}

std::vector<BackupEntry> ListBackups(const QString& folder, const std::string& chip) {
    std::vector<BackupEntry> entries;
    const std::vector<NamedFile> files = BackupFiles(folder);
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (!chip.empty() && it->parsed.target.chip != chip) continue;
        BackupEntry entry{it->path, it->parsed.time, it->parsed.target};
        QByteArray bytes;
        bool truncated = false;
        std::string ignored;
        if (ReadFileHead(it->path, kImageSize + 1, bytes, truncated, ignored)) {
            entry.size = bytes.size();
            entry.crc32 = ComputeChecksums(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<int>(bytes.size()))
                              .crc32;
        }
        entries.push_back(entry);
    }
    return entries;
}

bool LoadBackup(const QString& path, int expectedSize, std::vector<std::uint8_t>& data, std::string& error) {
    QByteArray bytes;
    bool truncated = false;
    if (!ReadFileHead(path, expectedSize, bytes, truncated, error, "restore")) return false;
    if (truncated || bytes.size() != expectedSize) {
        error = "The backup \"" + path.toStdString() + "\" is " +
                (truncated ? "longer than" : "shorter than") + " the " + std::to_string(expectedSize) +
                " bytes of the chip in force: it was not restored.";
        return false;
    }
    data.assign(bytes.begin(), bytes.end());
    return true;
}

bool BackUpBeforeWrite(hardware::PortAdapter& adapter, const ChipParams& chip, const BackupTarget& target,
                       bool fast, const QString& folder, Progress& progress, QString& path,
                       std::string& error) {
    // A scratch image: the backup read must leave the user's image and marks alone.
    ImageArray image{};
    ImageArray marks{};
    QuietProgress quiet(progress);
    bool read = false;
    int offset = 0;
    if (target.page >= 0) {
        read = (fast ? ReadI2cBlockFast : ReadI2cPage)(adapter, target.page, target.device | 1, image, marks,
                                                       quiet, kPageSize);
        offset = target.page * kPageSize;
    } else {
        read = (fast ? ReadChipFast : ReadSerialChip)(adapter, chip, image, marks, quiet);
    }
    if (!read) {
        error =
            "The backup read failed" + (quiet.said.empty() ? std::string(".") : ": " + OneLine(quiet.said));
        return false;
    }
    return SaveBackup(folder, target, image.data() + offset, BackupSize(target, chip),
                      QDateTime::currentDateTime(), path, error);
}

}  // namespace eeprom
