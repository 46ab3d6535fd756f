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
#include "eeprom/backup.h"
#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "eeprom/image_file.h"
#include "eeprom/job_region_transfers.h"
#include "eeprom/memory_job.h"
#include "eeprom/part_session.h"

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
    eeprom::JobResult result;
    result.expected = expected;
    result.readBack = read;
    eeprom::CompareRegion(job.chip.name, job.chip.bytes, job.region, job.page, result);
    if (result.report.count == 0) return 0;
    Say(result.reportText);
    NoteFailure(result.sentence);
    return result.report.count;
}

// The command's result as one line on stderr, unless --quiet or --json.
void SayResult(const CommandContext& context, const std::string& line) {
    if (context.resultLine) std::fprintf(stderr, "%s\n", line.c_str());
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
    eeprom::RegionTransfers transfers(context.session, *job.chip.part, job.region);
    if (!transfers.Read(data, line, error)) return Fail(kExitFailed, error);
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

// The progress line, with the command's clock started when the chip is
// first moved (after the backup).
class TimedLine final : public eeprom::JobProgress {
public:
    explicit TimedLine(ProgressLine& line) : line_(line) {}
    void Begin(const std::string& phase, int total) override {
        if (!watch_) watch_.emplace();
        line_.Begin(phase, total);
    }
    void Update(int done) override { line_.Update(done); }
    void Finish() override { line_.Finish(); }
    bool Cancelled() const override { return line_.Cancelled(); }
    int Done() const override { return line_.Done(); }
    double Seconds() const { return watch_ ? watch_->Seconds() : 0.0; }

private:
    ProgressLine& line_;
    std::optional<Stopwatch> watch_;
};

// Backs up, writes `given` to the job's region and, unless told not to,
// reads it back and compares (eeprom/memory_job.h). Where a file (`cover`)
// leaves bytes out, the chip's own are read first and written back as they
// were. Ctrl-C or SIGTERM stops the write after the page in flight and says
// what the chip holds. `done` words the result line ("written", "erased").
int WriteJob(CommandContext& context, const Job& job, const std::vector<std::uint8_t>& given, bool verify,
             const std::string& done, const eeprom::FileCover* cover = nullptr) {
    const InterruptGuard interrupts;
    eeprom::WriteJob write;
    write.part = job.chip.part;
    write.chip = job.chip.name;
    write.region = job.region;
    write.page = job.page;
    write.data = given;
    write.cover = cover;
    write.backup = context.backup;
    write.verify = verify;
    write.done = done;
    write.words.restore = "merlix-cli restore --chip " + job.chip.name;
    write.note = [&context](const std::string& text) {
        if (!context.json) Say(text);
    };
    ProgressLine progress(context.progress);
    progress.CancelOn(&stopRequested);
    TimedLine line(progress);
    eeprom::RegionTransfers transfers(context.session, *job.chip.part, job.region);
    const eeprom::JobResult result = eeprom::RunWriteJob(transfers, write, line);
    // A write the chip refused before the backup took none to speak of.
    if (result.end != eeprom::JobResult::End::Refused) context.result.Null("backup");
    if (!result.backup.isEmpty())
        context.result.String("backup", QFile::encodeName(result.backup).toStdString());
    switch (result.end) {
        case eeprom::JobResult::End::Interrupted:
            return Fail(kExitInterrupted, result.sentence);
        case eeprom::JobResult::End::Refused:
        case eeprom::JobResult::End::Failed:
            return Fail(kExitFailed, result.sentence);
        case eeprom::JobResult::End::Mismatch:
            Say(result.reportText);
            NoteFailure(result.sentence);
            break;
        case eeprom::JobResult::End::Done:
            break;
    }
    context.result.Bool("verified", verify);
    ReportTransfer(context, job.chip.name, result.expected.size(), line.Seconds(), result.report.count,
                   &result.expected);
    if (result.end == eeprom::JobResult::End::Mismatch) return kExitMismatch;
    SayResult(context, result.sentence);
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
        SayResult(context, eeprom::JobCountText(job.chip.name, job.chip.bytes, job.region, job.page) +
                               " blank (every byte reads FF)");
        return kExitOk;
    }
    const int at = job.region.offset + static_cast<int>(first - read.begin());
    context.result.Int("first", at);
    return Fail(kExitMismatch, job.chip.name + " is not blank: " + std::to_string(others) + " of " +
                                   std::to_string(read.size()) + " bytes are not FF, the first at " +
                                   ChipAddress(job.chip, at) + " (" + Hex2(*first) + ")");
}

}  // namespace cli
