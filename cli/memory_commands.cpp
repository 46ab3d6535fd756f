// merlix-cli's memory commands: read, write, fill, verify and restore, with
// the backups a write takes first.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>

#include "cli/chips.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/memory_job.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "cli/transfers.h"
#include "eeprom/backup.h"
#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "eeprom/image_file.h"
#include "eeprom/part_session.h"
#include "eeprom/session_transfers.h"
#include "eeprom/verify_report.h"

namespace cli {

namespace {

int CheckOutput(const MemoryOptions& options, eeprom::ImageFormat& format) {
    const std::string& path = options.outputFile;
    const bool toStdout = path.empty() || path == "-";
    std::optional<eeprom::ImageFormat> given;
    if (!FormatOption(options, given)) return kExitUsage;
    format = given.value_or(toStdout ? eeprom::ImageFormat::Raw : eeprom::ImageFormatForPath(path));
    if (toStdout) return kExitOk;
    // Refused before the chip is read, so nobody waits for a read that cannot be kept.
    if (const std::string problem = SaveTargetProblem(path); !problem.empty())
        return Fail(kExitUsage, problem);
    return kExitOk;
}

// A dump like the window's hex view, for a read without -o.
void PrintDump(const std::vector<std::uint8_t>& bytes, int offset) {
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        const int end = offset + static_cast<int>(bytes.size());
        std::printf("%s:", eeprom::ChipAddressText(offset + static_cast<int>(row), end).substr(2).c_str());
        std::string ascii;
        for (std::size_t i = row; i < std::min(bytes.size(), row + 16); ++i) {
            std::printf(" %02X", bytes[i]);
            ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
        }
        std::printf("  %s\n", ascii.c_str());
    }
}

// Counts the bytes that differ and explains them on stderr: how many, the
// first ones (offsets from the start of the job's bytes) and what the pattern
// suggests (a chip not storing, a wrong chip type ...).
long Compare(const std::vector<std::uint8_t>& expected, const std::vector<std::uint8_t>& read,
             const Job& job) {
    const eeprom::VerifyReport report = eeprom::BuildVerifyReport(expected, read);
    if (report.count == 0) return 0;
    std::string text = eeprom::FormatVerifyReport(report);
    if (job.page >= 0)
        text +=
            "(Offsets count from " + ChipAddress(job.chip, job.region.offset) + ", the start of the page.)\n";
    else if (job.region.ranged)
        text += "(Offsets count from " + ChipAddress(job.chip, job.region.offset) +
                ", the start of the range.)\n";
    Say(text);
    NoteFailure(text.substr(0, text.find('\n')));
    return report.count;
}

// The command's result as one line on stderr, unless --quiet or --json.
void SayResult(const CommandContext& context, const std::string& line) {
    if (context.resultLine) std::fprintf(stderr, "%s\n", line.c_str());
}

// "24C256: 32768 bytes", or with the bytes' place when the job has a part of the chip.
std::string CountText(const Job& job) {
    std::string text = job.chip.name + ": " + std::to_string(job.region.size) + " bytes";
    if (job.page >= 0 || job.region.ranged) text += " at " + RegionText(job);
    return text;
}

// Puts the job's chip in place and reads its region into `data`, with the
// progress line; what read and verify share. `watch` starts once the chip is
// in place.
int ReadJob(CommandContext& context, const Job& job, std::vector<std::uint8_t>& data,
            std::optional<Stopwatch>& watch) {
    if (int code = SelectChip(context, job.chip)) return code;
    watch.emplace();
    ProgressLine line(context.progress);
    std::string error;
    if (!ReadRegion(context.session, job.chip, job.region, data, line, error))
        return Fail(kExitFailed, error);
    line.Finish();
    return kExitOk;
}

}  // namespace

int RunRead(CommandContext& context, const MemoryOptions& given) {
    MemoryOptions options = given;
    if (::strcasecmp(options.chip.c_str(), "auto") == 0) {
        if (int code = ChooseDetectedChip(context, options)) return code;
    }
    Job job;
    eeprom::ImageFormat format = eeprom::ImageFormat::Raw;
    if (int code = PrepareJob(context, options, job)) return code;
    if (int code = CheckOutput(options, format)) return code;
    if (context.json && options.outputFile.empty())
        return Fail(kExitUsage, "read --json needs -o FILE: the data goes to the file, the JSON to stdout");
    std::vector<std::uint8_t> data;
    std::optional<Stopwatch> watch;
    if (int code = ReadJob(context, job, data, watch)) return code;
    std::string error;
    const QByteArray out = eeprom::EncodeImage(data, format);
    if (options.outputFile.empty()) {
        PrintDump(data, job.region.offset);
    } else if (options.outputFile == "-") {
        if (std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout) !=
                static_cast<std::size_t>(out.size()) ||
            std::fflush(stdout) != 0)
            return Fail(kExitFailed, "cannot write to standard output");
    } else if (!eeprom::WriteFileAtomically(options.outputFile, out.constData(), out.size(), error)) {
        // The chip was read; the file system did not take the file (a full disk).
        return Fail(kExitFailed, error);
    }
    context.result.String("output", options.outputFile);
    ReportTransfer(context, job.chip.name, data.size(), watch->Seconds(), 0, &data,
                   options.outputFile == "-");
    return kExitOk;
}

namespace {

// The name a backup of the job's chip goes by: the chip list's form for the
// serial chips ("93C46x8"), the chip's own name for the I2C memories and the
// larger parts.
std::string BackupName(const Job& job) { return eeprom::PartBackupName(*job.chip.part); }

// The whole larger part read and kept as a backup.
bool BackUpPart(CommandContext& context, const Job& job, const eeprom::BackupTarget& target, QString& path,
                std::string& error) {
    ProgressLine silent(false);
    std::vector<std::uint8_t> data;
    if (!ReadRegion(context.session, job.chip, {0, job.chip.bytes, job.region.device}, data, silent, error))
        return false;
    return eeprom::SaveBackup(eeprom::BackupFolder(), target, data.data(), static_cast<int>(data.size()),
                              QDateTime::currentDateTime(), path, error);
}

// Saves what the write is about to replace, whole chip or page, as one
// backup. A backup that fails stops the write; `path` names the backup.
int BackUp(CommandContext& context, const Job& job, QString& path) {
    context.result.Null("backup");
    if (!context.backup) return kExitOk;
    eeprom::BackupTarget target{BackupName(job), -1, -1};
    if (job.chip.I2c()) {
        target.page = job.page;
        target.device = job.region.device;
    }
    eeprom::Progress quiet;
    std::string error;
    eeprom::Session& session = context.session;
    if (job.chip.large
            ? !BackUpPart(context, job, target, path, error)
            : !eeprom::BackUpBeforeWrite(eeprom::FastBackupReads(session, session.chip), session.chip, target,
                                         eeprom::BackupFolder(), quiet, path, error))
        return Fail(kExitFailed, "nothing was written: the backup of the chip failed: " + error +
                                     " (--no-backup writes without one)");
    const std::string saved = QFile::encodeName(path).toStdString();
    context.result.String("backup", saved);
    if (!context.json) Say("backup of the old contents: " + saved);
    return kExitOk;
}

// What an interrupted write leaves: the first `written` bytes of the region
// hold the new data, the rest their old contents (the transfers stop between
// pages, never inside one), and where the old contents are kept.
int Interrupted(const CommandContext& context, const Job& job, int written, const QString& backup) {
    const int first = job.region.offset;
    const int end = job.region.offset + job.region.size;
    const std::string what = JobTarget(job);
    std::string sentence;
    if (written <= 0) {
        sentence = "interrupted before " + what + " was changed: nothing was written";
    } else if (written >= job.region.size) {
        sentence = "interrupted after the write: all " + std::to_string(job.region.size) + " bytes of " +
                   what + " hold the new data, but they were not verified";
    } else {
        const auto at = [&job](int address) { return ChipAddress(job.chip, address); };
        sentence = "interrupted: bytes " + at(first) + ".." + at(first + written - 1) + " (" +
                   std::to_string(written) + " of " + std::to_string(job.region.size) + ") of " + what +
                   " hold the new data; bytes " + at(first + written) + ".." + at(end - 1) +
                   " were not written and hold their old contents";
    }
    if (written > 0)
        sentence += context.backup ? "; the old contents are in " + QFile::encodeName(backup).toStdString() +
                                         " (merlix-cli restore --chip " + job.chip.name + " puts them back)"
                                   : "; no backup was taken (--no-backup)";
    return Fail(kExitInterrupted, sentence);
}

// Backs up, writes `given` to the job's region and, unless told not to,
// reads it back and compares. Where a file (`cover`) leaves bytes out, the
// chip's own are read first and written back as they were. Ctrl-C or SIGTERM
// stops the write after the page in flight and says what the chip holds.
// `done` words the result line ("written", "erased").
int WriteJob(CommandContext& context, const Job& job, const std::vector<std::uint8_t>& given, bool verify,
             const std::string& done, const eeprom::FileCover* cover = nullptr) {
    const InterruptGuard interrupts;
    // The engine's refusals name the option as this command takes it.
    const auto refused = [](std::string error) {
        if (const std::size_t at = error.find("(unprotect "); at != std::string::npos)
            error.insert(at + 1, "--");
        return Fail(kExitFailed, error);
    };
    std::string error;
    // A write the chip refuses takes no backup: the kept ones of earlier contents stay.
    if (WriteRefused(context.session, job.chip, job.region, error)) return refused(error);
    QString backup;
    if (int code = BackUp(context, job, backup)) return code;
    if (stopRequested) return Interrupted(context, job, 0, backup);
    Stopwatch watch;
    ProgressLine line(context.progress);
    line.CancelOn(&stopRequested);
    const auto interrupted = [&](int written) {
        line.Finish();
        return Interrupted(context, job, written, backup);
    };
    std::vector<std::uint8_t> expected = given;
    if (cover && !cover->Complete(job.region.size)) {
        const bool read = ReadRegion(context.session, job.chip, job.region, expected, line, error);
        if (line.Cancelled()) return interrupted(0);
        if (!read) return Fail(kExitFailed, "nothing was written: " + error);
        eeprom::LayOver(*cover, 0, expected);
    }
    if (!WriteRegion(context.session, job.chip, job.region, expected, line, error)) {
        if (line.Cancelled()) return interrupted(line.Done());
        // Refused before a byte changed: the backup would only push an older one out.
        if (!backup.isEmpty() && error.find("nothing was written") != std::string::npos &&
            QFile::remove(backup)) {
            context.result.Null("backup");
            if (!context.json)
                Say("the backup " + QFile::encodeName(backup).toStdString() + " was removed again");
        }
        return refused(error);
    }
    long mismatches = 0;
    if (verify && !line.Cancelled()) {
        std::vector<std::uint8_t> read;
        const bool readBack =
            ReadRegion(context.session, job.chip, job.region, read, line, error, "verifying");
        if (line.Cancelled()) return interrupted(job.region.size);
        if (!readBack) return Fail(kExitFailed, error);
        line.Finish();
        mismatches = Compare(expected, read, job);
    }
    if (line.Cancelled()) return interrupted(job.region.size);
    line.Finish();
    context.result.Bool("verified", verify);
    ReportTransfer(context, job.chip.name, expected.size(), watch.Seconds(), mismatches, &expected);
    if (mismatches) return kExitMismatch;
    SayResult(context,
              CountText(job) + " " + done + (verify ? " and verified" : ", not verified (--no-verify)"));
    return kExitOk;
}

}  // namespace

int RunWrite(CommandContext& context, const MemoryOptions& options) {
    Job job;
    if (int code = PrepareJob(context, options, job)) return code;
    const bool erase = context.command == "erase";
    const int value = erase ? 0xFF : options.fillValue;
    std::vector<std::uint8_t> expected;
    eeprom::FileCover cover;
    std::string done = "written";
    if (erase || context.command == "fill") {
        context.result.Int("value", value);
        expected.assign(static_cast<std::size_t>(job.region.size), static_cast<std::uint8_t>(value));
        done = erase ? "erased" : "set to " + Hex2(value);
    } else if (int code = ReadInput(context, options, job, cover)) {
        return code;
    } else {
        expected = cover.bytes;
    }
    if (int code = SelectChip(context, job.chip)) return code;
    return WriteJob(context, job, expected, options.verify, done, cover.defined.empty() ? nullptr : &cover);
}

int RunRestore(CommandContext& context, const MemoryOptions& options, const std::string& file) {
    Job job;
    if (int code = PrepareJob(context, options, job)) return code;
    const std::string chipName = BackupName(job);
    // An I2C memory's backups name its device: the whole chip at --device,
    // page N at --device + 2N.
    const int base = job.chip.I2c() ? job.region.device - 2 * std::max(job.page, 0) : -1;
    const int blocks = std::max(1, job.chip.bytes / eeprom::kPageSize);
    const auto ours = [&](const eeprom::BackupTarget& t) {
        if (!job.chip.I2c() || t.page < 0) return t.device == base;
        return t.page < blocks && t.device == base + 2 * t.page;
    };
    const auto holds = [](const eeprom::BackupTarget& t) {
        return t.page < 0 ? std::string("the whole chip") : "page " + std::to_string(t.page);
    };
    std::string path;  // the system's bytes
    eeprom::BackupTarget target;
    if (file.empty()) {
        // The newest that holds what its name says, of the page with --page.
        const QString folder = eeprom::BackupFolder();
        for (const eeprom::BackupEntry& entry : eeprom::ListBackups(folder, chipName)) {
            if (!entry.matchesName || !ours(entry.target) || (job.page >= 0 && entry.target.page != job.page))
                continue;
            path = QFile::encodeName(entry.path).toStdString();
            target = entry.target;
            break;
        }
        if (path.empty())
            return Fail(kExitUsage,
                        "no backup of " + (job.page >= 0 ? "page " + std::to_string(job.page) + " of " : "") +
                            "the " + job.chip.name + (job.chip.I2c() ? " at " + Hex2(base) : std::string()) +
                            " in " + QFile::encodeName(folder).toStdString());
    } else {
        path = file;
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0 && errno == ENOENT)
            return Fail(kExitUsage, file + ": no such file");
        if (!eeprom::ParseBackupFileName(file.substr(file.rfind('/') + 1), target) || target.chip != chipName)
            return Fail(kExitUsage, file + " is not named as a backup of the " + job.chip.name);
        if (!ours(target))
            return Fail(kExitUsage, file + " says it holds " + holds(target) + " at device " +
                                        Hex2(target.device) + ", which is not " + holds(target) + " of the " +
                                        job.chip.name + " at " + Hex2(base) + " (see --device)");
        if (job.page >= 0 && target.page != job.page)
            return Fail(kExitUsage, "--page " + std::to_string(job.page) + " contradicts " + file +
                                        ", which holds " + holds(target));
    }
    if (job.chip.I2c()) {
        job.page = target.page;
        job.region = target.page < 0 ? Region{0, job.chip.bytes, target.device}
                                     : Region{target.page * eeprom::kPageSize,
                                              std::min(job.chip.bytes, eeprom::kPageSize), target.device};
    }
    job.region.unprotect = options.unprotect;
    std::vector<std::uint8_t> data;
    std::string error;
    if (!eeprom::LoadBackup(path, job.region.size, data, error)) return Fail(kExitUsage, error);
    if (int code = SelectChip(context, job.chip)) return code;
    context.result.String("input", path);
    if (!context.json) Say("restoring " + path);
    return WriteJob(context, job, data, true, "restored");
}

int RunVerify(CommandContext& context, const MemoryOptions& options) {
    Job job;
    eeprom::FileCover cover;
    if (int code = PrepareJob(context, options, job)) return code;
    if (int code = ReadInput(context, options, job, cover)) return code;
    std::vector<std::uint8_t> read;
    std::optional<Stopwatch> watch;
    if (int code = ReadJob(context, job, read, watch)) return code;
    // The bytes the file leaves out are the chip's own: they are not compared.
    std::vector<std::uint8_t> expected = read;
    eeprom::LayOver(cover, 0, expected);
    const long mismatches = Compare(expected, read, job);
    ReportTransfer(context, job.chip.name, read.size(), watch->Seconds(), mismatches, &read);
    if (mismatches) return kExitMismatch;
    SayResult(context, "verified: equal");
    return kExitOk;
}

int RunBlankCheck(CommandContext& context, const MemoryOptions& options) {
    Job job;
    if (int code = PrepareJob(context, options, job)) return code;
    std::vector<std::uint8_t> read;
    std::optional<Stopwatch> watch;
    if (int code = ReadJob(context, job, read, watch)) return code;
    const auto first = std::find_if(read.begin(), read.end(), [](std::uint8_t b) { return b != 0xFF; });
    const long others =
        static_cast<long>(std::count_if(first, read.end(), [](std::uint8_t b) { return b != 0xFF; }));
    context.result.Bool("blank", others == 0).Int("nonblank", others);
    ReportTransfer(context, job.chip.name, read.size(), watch->Seconds(), 0, &read);
    if (others == 0) {
        context.result.Null("first");
        SayResult(context, CountText(job) + " blank (every byte reads FF)");
        return kExitOk;
    }
    const int at = job.region.offset + static_cast<int>(first - read.begin());
    context.result.Int("first", at);
    return Fail(kExitMismatch, job.chip.name + " is not blank: " + std::to_string(others) + " of " +
                                   std::to_string(read.size()) + " bytes are not FF, the first at " +
                                   ChipAddress(job.chip, at) + " (" + Hex2(*first) + ")");
}

}  // namespace cli
