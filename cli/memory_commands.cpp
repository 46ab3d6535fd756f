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
#include "simulator/simulated_bench.h"

namespace cli {

namespace {

struct Job {
    Chip chip;
    Region region;
    int page = -1;  // --page: one page of an I2C memory; -1 the whole chip
};

int PrepareJob(CommandContext& context, const MemoryOptions& options, Job& job) {
    std::string error;
    if (!FindChip(options.chip, job.chip, error)) return Fail(kExitUsage, error);
    const Chip& chip = job.chip;
    job.region = {0, chip.bytes, 0xA0};
    if (chip.I2c()) {
        long device = 0;
        std::string text = options.device.empty() ? "A0" : options.device;
        if (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0) text = "0x" + text;
        if (!ParseNumber(text, 0xA0, 0xAF, device))
            return Fail(kExitUsage,
                        "memories answer at device addresses A0..AF, not '" + options.device + "'");
        device &= 0xFE;
        const int blocks = std::max(1, chip.bytes / eeprom::kPageSize);
        // A part whose block bits are the device address's low bits answers only where its blocks start.
        const int blocksAt = chip.large && chip.part->blockSelect == hardware::BlockSelect::DeviceAddress
                                 ? hardware::DeviceBlocks(*chip.part)
                                 : 1;
        if ((((device >> 1) - 0x50) % blocksAt) != 0)
            return Fail(kExitUsage, "the " + chip.name + " answers at device addresses " + Hex2(0xA0) + ", " +
                                        Hex2(0xA0 + 2 * blocksAt) +
                                        " ... (its block bits take the low bits), not " +
                                        Hex2(static_cast<int>(device)));
        if (chip.large && options.pageGiven)
            return Fail(kExitUsage,
                        "--page is for the 24C01..24C16; the " + chip.name + " is read and written whole");
        if (options.pageGiven) {
            if (options.page < 0 || options.page >= blocks)
                return Fail(kExitUsage, "page " + std::to_string(options.page) + " is out of range for the " +
                                            chip.name + " (pages 0.." + std::to_string(blocks - 1) +
                                            "; without --page the whole chip)");
            job.region = {options.page * eeprom::kPageSize, std::min(chip.bytes, eeprom::kPageSize),
                          static_cast<int>(device) + 2 * options.page};
            job.page = options.page;
        } else {
            job.region.device = static_cast<int>(device);
        }
        const int lastDevice = chip.large
                                   ? 2 * hardware::BlockDevice(*chip.part, static_cast<int>(device) >> 1,
                                                               hardware::DeviceBlocks(*chip.part) - 1)
                                   : static_cast<int>(device) + 2 * (blocks - 1);
        if (!options.pageGiven && lastDevice > 0xAF)
            return Fail(kExitUsage, "the " + chip.name + " at " + Hex2(static_cast<int>(device)) +
                                        " would reach past device AF; its blocks start at A0");
        eeprom::ApplyChipChoice(context.session.chip, "");
        context.result.String("device", Hex2(static_cast<int>(device)));
    } else {
        if (options.pageGiven) return Fail(kExitUsage, "--page is for the I2C memories (24Cxx) only");
        if (!options.device.empty())
            return Fail(kExitUsage, "--device is for the I2C memories (24Cxx) only; the " + chip.name +
                                        " has a chip select of its own");
        if (context.session.chip.organisation == 0) context.session.chip.organisation = 8;
        if (!chip.large) eeprom::ApplyChipChoice(context.session.chip, chip.listEntry);
    }
    if (options.unprotect && !(chip.large && chip.family == eeprom::ChipFamily::Spi))
        return Fail(kExitUsage, "--unprotect is for the 25010..25M02, whose status register guards blocks");
    job.region.unprotect = options.unprotect;
    // Before the input file is read and spoken of: an adapter that cannot reach the chip at all.
    if (const std::string missing = context.session.CannotReach(chip.family); !missing.empty())
        return Fail(kExitFailed, missing);
    context.result.String("chip", chip.name);
    if (job.page >= 0) {
        context.result.Int("page", job.page);
    } else {
        context.result.Null("page");
    }
    if (!options.inputFile.empty()) context.result.String("input", options.inputFile);
    return kExitOk;
}

int SelectChip(CommandContext& context, const Chip& chip) {
    const std::string missing = context.session.CannotReach(chip.family);
    if (!missing.empty()) return Fail(kExitFailed, missing);
    if (context.strapOrg && chip.family == eeprom::ChipFamily::Microwire)
        context.strapOrg(chip.organisation == 16);
    std::string error;
    // A larger part goes into its socket on the bench, unless --bench-chip keeps another there.
    if (context.bench && chip.large && !context.benchChipFixed && !context.bench->PutPart(chip.name, error))
        return Fail(kExitFailed, error);
    if (context.bench && !chip.I2c() && !chip.large) context.bench->SetChipListChoice(chip.listEntry);
    if (context.bench && context.socketReady && !context.socketReady(error)) return Fail(kExitFailed, error);
    return FindAdapter(context) ? kExitOk : NoAdapter();
}

bool ReadAll(std::FILE* in, QByteArray& data) {
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.append(buffer, static_cast<qsizetype>(n));
        if (data.size() > eeprom::kMaxImageFileBytes) return true;
    }
    return !std::ferror(in);
}

// --format, when given; false with the sentence said.
bool FormatOption(const MemoryOptions& options, std::optional<eeprom::ImageFormat>& format) {
    eeprom::ImageFormat named = eeprom::ImageFormat::Raw;
    if (options.format.empty()) return true;
    if (!eeprom::ParseImageFormat(options.format, named)) {
        Fail(kExitUsage, "--format takes raw, ihex or srec, not '" + options.format + "'");
        return false;
    }
    format = named;
    return true;
}

// A refused input file, said as the command sees it: verify writes nothing,
// so it never says that nothing was written.
int InputRefused(const MemoryOptions& options, std::string sentence) {
    const std::string written = "; nothing was written";
    if (!options.writes)
        for (std::size_t at; (at = sentence.find(written)) != std::string::npos;)
            sentence.erase(at, written.size());
    return Fail(kExitUsage, sentence);
}

// A HEX or S-record file for one page holds it at addresses from the page's
// start (what `read --page` writes) or at the page's own addresses in the
// chip (a page cut from a whole-chip file). The first reading is tried
// first; a sentence says which one was taken.
int DecodePage(const MemoryOptions& options, const QByteArray& data, eeprom::ImageFormat format,
               const Job& job, const std::string& name, std::vector<std::uint8_t>& bytes) {
    const int first = job.region.offset;
    const int last = first + job.region.size - 1;
    const std::string page = "page " + std::to_string(job.page);
    char extent[96];
    std::snprintf(extent, sizeof extent, "0x%X bytes", job.region.size);
    eeprom::ImageSpan span{0, job.region.size, page, extent};
    std::string error;
    if (format == eeprom::ImageFormat::Raw || first == 0)
        return eeprom::DecodeImage(data, format, span, name, bytes, error) ? kExitOk
                                                                           : InputRefused(options, error);
    std::snprintf(extent, sizeof extent, "0x%X bytes, at 0x0-0x%X from its start or 0x%X-0x%X in the chip",
                  job.region.size, job.region.size - 1, first, last);
    span.extent = extent;
    if (eeprom::DecodeImage(data, format, span, name, bytes, error)) {
        Say(name + " holds " + page + " at addresses from the page's start (0x0 is " +
            eeprom::ChipAddressText(first, job.chip.bytes) + " in the chip)");
        return kExitOk;
    }
    // When the file has data before the page, it was not written for the
    // page's own addresses either: the first refusal stands.
    span.base = static_cast<std::uint32_t>(first);
    std::string chipError;
    bool beforePage = false;
    if (!eeprom::DecodeImage(data, format, span, name, bytes, chipError, &beforePage))
        return InputRefused(options, beforePage ? error : chipError);
    Say(name + " holds " + page + " at its own addresses in the chip (" +
        eeprom::ChipAddressText(first, job.chip.bytes) + "-" + eeprom::ChipAddressText(last, job.chip.bytes) +
        ")");
    return kExitOk;
}

// The file for write and verify: read whole and checked before the chip is
// touched; what the file leaves out of the region reads 0xFF.
int ReadInput(const MemoryOptions& options, const Job& job, std::vector<std::uint8_t>& expected) {
    const std::string& path = options.inputFile;
    std::optional<eeprom::ImageFormat> format;
    if (!FormatOption(options, format)) return kExitUsage;
    QByteArray data;
    bool longer = false;
    std::string error;
    if (path == "-") {
        if (!ReadAll(stdin, data)) return InputRefused(options, "cannot read standard input");
        longer = data.size() > eeprom::kMaxImageFileBytes;
    } else if (!eeprom::ReadFileHead(path, eeprom::kMaxImageFileBytes, data, longer, error, "read")) {
        return InputRefused(options, error);
    }
    const std::string name = path == "-" ? "standard input" : path;
    if (data.isEmpty()) return InputRefused(options, name + " is empty; nothing was written");
    if (longer) return InputRefused(options, name + " is far too large for any of these chips");
    std::vector<std::uint8_t> bytes;
    const eeprom::ImageFormat taken =
        format.value_or(eeprom::ImageFormatToRead(data, path == "-" ? "" : path));
    if (job.page < 0) {
        if (!eeprom::DecodeImage(data, taken, job.region.size, name, bytes, error))
            return InputRefused(options, error);
    } else if (int code = DecodePage(options, data, taken, job, name, bytes)) {
        return code;
    }
    if (bytes.size() > static_cast<std::size_t>(job.region.size))
        return InputRefused(options,
                            name + " holds " + std::to_string(bytes.size()) + " bytes, more than the " +
                                std::to_string(job.region.size) + " of the " + job.chip.name +
                                (job.region.size < job.chip.bytes ? " page" : "") + "; nothing was written");
    expected = bytes;
    expected.resize(static_cast<std::size_t>(job.region.size), 0xFF);
    return kExitOk;
}

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
// first ones (offsets from the start of the region) and what the pattern
// suggests (a chip not storing, a wrong chip type ...).
long Compare(const std::vector<std::uint8_t>& expected, const std::vector<std::uint8_t>& read, int offset) {
    const eeprom::VerifyReport report = eeprom::BuildVerifyReport(expected, read);
    if (report.count == 0) return 0;
    std::string text = eeprom::FormatVerifyReport(report);
    if (offset != 0)
        text += "(Offsets count from " + eeprom::ChipAddressText(offset, 0) + ", the start of the page.)\n";
    Say(text);
    NoteFailure(text.substr(0, text.find('\n')));
    return report.count;
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
    std::string what = job.page >= 0 ? "page " + std::to_string(job.page) + " of the " + job.chip.name
                                     : "the " + job.chip.name;
    std::string sentence;
    if (written <= 0) {
        sentence = "interrupted before " + what + " was changed: nothing was written";
    } else if (written >= job.region.size) {
        sentence = "interrupted after the write: all " + std::to_string(job.region.size) + " bytes of " +
                   what + " hold the new data, but they were not verified";
    } else {
        const auto at = [&job](int address) { return eeprom::ChipAddressText(address, job.chip.bytes); };
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

// Backs up, writes `expected` to the job's region and, unless told not to,
// reads it back and compares. Ctrl-C or SIGTERM stops the write after the
// page in flight and says what the chip holds.
int WriteJob(CommandContext& context, const Job& job, const std::vector<std::uint8_t>& expected,
             bool verify) {
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
        mismatches = Compare(expected, read, job.region.offset);
    }
    if (line.Cancelled()) return interrupted(job.region.size);
    line.Finish();
    context.result.Bool("verified", verify);
    ReportTransfer(context, job.chip.name, expected.size(), watch.Seconds(), mismatches, &expected);
    return mismatches ? kExitMismatch : kExitOk;
}

}  // namespace

int RunWrite(CommandContext& context, const MemoryOptions& options) {
    Job job;
    if (int code = PrepareJob(context, options, job)) return code;
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(job.region.size),
                                       static_cast<std::uint8_t>(options.fillValue));
    if (context.command == "fill") {
        context.result.Int("value", options.fillValue);
    } else if (int code = ReadInput(options, job, expected)) {
        return code;
    }
    if (int code = SelectChip(context, job.chip)) return code;
    return WriteJob(context, job, expected, options.verify);
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
    return WriteJob(context, job, data, true);
}

int RunVerify(CommandContext& context, const MemoryOptions& options) {
    Job job;
    std::vector<std::uint8_t> expected;
    if (int code = PrepareJob(context, options, job)) return code;
    MemoryOptions compared = options;
    compared.writes = false;
    if (int code = ReadInput(compared, job, expected)) return code;
    std::vector<std::uint8_t> read;
    std::optional<Stopwatch> watch;
    if (int code = ReadJob(context, job, read, watch)) return code;
    const long mismatches = Compare(expected, read, job.region.offset);
    ReportTransfer(context, job.chip.name, read.size(), watch->Seconds(), mismatches, &read);
    return mismatches ? kExitMismatch : kExitOk;
}

}  // namespace cli
