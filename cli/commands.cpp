// merlix-cli's sub-commands; see commands.h.
#include "cli/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "cli/chips.h"
#include "cli/progress.h"
#include "cli/transfers.h"
#include "console/send_sequence.h"
#include "eeprom/backup.h"
#include "eeprom/checksums.h"
#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "eeprom/image_file.h"
#include "eeprom/verify_report.h"
#include "hardware/port_adapter.h"
#include "hardware/probe.h"
#include "monitor/monitor_logic.h"
#include "monitor/transfer_decode.h"
#include "simulator/simulated_bench.h"

namespace cli {

namespace {

constexpr std::uint8_t kStartLatch = 0xFD;  // the window's latch at start

void Say(const std::string& sentence) { std::fprintf(stderr, "merlix-cli: %s\n", sentence.c_str()); }

int Fail(int code, const std::string& sentence) {
    Say(sentence);
    return code;
}

std::string Hex2(int value) { return eeprom::HexByte(value); }

std::string Hex4(int value) { return eeprom::HexByte(value >> 8) + eeprom::HexByte(value); }

// The probe of "Reset PCF": two resets, the second deciding. LPT1 is tried
// first, then LPT2, as the window does at start; --port tries one. The one
// place that knows the adapter is the parallel one; the commands speak to it
// through its bus interfaces.
bool FindAdapter(CommandContext& context) {
    eeprom::Session& session = context.session;
    session.adapter.SetLatch(kStartLatch);
    const int ports[] = {context.forcedPort ? context.forcedPort : hardware::kLpt1, hardware::kLpt2};
    for (int i = 0; i < (context.forcedPort ? 1 : 2); ++i) {
        session.adapter.SetBase(ports[i]);
        session.portBase = session.adapter.GetBase();
        session.adapter.ConfigurePort();
        if (hardware::ProbeController(session.adapter, 0).found) {
            session.controllerPresent = 1;
            return true;
        }
    }
    session.controllerPresent = 0;
    session.probeFailed = 2;
    return false;
}

int NoAdapter() {
    return Fail(kExitFailed, "no adapter answered (Not Found); check the cable, the port and --port");
}

class Stopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

eeprom::Checksums ChecksumsOf(const std::vector<std::uint8_t>& data) {
    return eeprom::ComputeChecksums(data.data(), static_cast<int>(data.size()));
}

// The JSON line, or with --checksum the checksums of the data the command
// moved (on stderr when the data itself went to stdout).
void PrintJson(const CommandContext& context, const std::string& chip, std::size_t bytes, double seconds,
               long mismatches, const std::vector<std::uint8_t>* data, bool dataOnStdout = false) {
    if (!context.json) {
        if (!context.checksum || !data) return;
        const eeprom::Checksums sums = ChecksumsOf(*data);
        std::fprintf(dataOnStdout ? stderr : stdout, "CRC-32 %s  SHA-256 %s  sum %s  (%zu bytes)\n",
                     eeprom::Crc32Text(sums.crc32).c_str(), sums.sha256.c_str(),
                     eeprom::Sum8Text(sums.sum8).c_str(), data->size());
        return;
    }
    std::printf("{\"command\":\"%s\",\"chip\":\"%s\",\"bytes\":%zu,\"seconds\":%.3f,\"mismatches\":%ld",
                context.command.c_str(), chip.c_str(), bytes, seconds, mismatches);
    if (data) {
        const eeprom::Checksums sums = ChecksumsOf(*data);
        std::printf(",\"checksum\":\"crc32:%08x\",\"crc32\":\"%08x\",\"sha256\":\"%s\",\"sum8\":\"%02x\"",
                    sums.crc32, sums.crc32, sums.sha256.c_str(), sums.sum8);
    }
    std::printf("}\n");
}

// Ctrl-C and SIGTERM ask the running command to stop at a safe point: the
// monitor between passes, a write after the page in flight.
volatile std::sig_atomic_t stopRequested = 0;
void OnInterrupt(int) { stopRequested = 1; }

// Catches both signals while it lives; the handlers before it come back after.
class InterruptGuard {
public:
    InterruptGuard() {
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

// --- memories ------------------------------------------------------------------

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
        const int lastDevice = static_cast<int>(device) + 2 * (blocks - 1);
        if (!options.pageGiven && lastDevice > 0xAF)
            return Fail(kExitUsage, "the " + chip.name + " at " + Hex2(static_cast<int>(device)) +
                                        " would reach past device AF; its blocks start at A0");
        eeprom::ApplyChipChoice(context.session.chip, "");
    } else {
        if (options.pageGiven) return Fail(kExitUsage, "--page is for the I2C memories (24Cxx) only");
        if (!options.device.empty())
            return Fail(kExitUsage, "--device is for the I2C memories (24Cxx) only; the " + chip.name +
                                        " has a chip select of its own");
        if (context.session.chip.organisation == 0) context.session.chip.organisation = 8;
        eeprom::ApplyChipChoice(context.session.chip, chip.listEntry);
    }
    return kExitOk;
}

// Runs before the transfer: the bench puts the chip in its socket and the
// caller's hook loads its saved contents.
std::function<bool(std::string&)> socketReady;

int SelectChip(CommandContext& context, const Chip& chip) {
    if (context.bench && !chip.I2c()) {
        context.bench->SetChipListChoice(chip.listEntry);
        std::string error;
        if (socketReady && !socketReady(error)) return Fail(kExitFailed, error);
    }
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
        Say("--format takes raw, ihex or srec, not '" + options.format + "'");
        return false;
    }
    format = named;
    return true;
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
        if (!ReadAll(stdin, data)) return Fail(kExitUsage, "cannot read standard input");
        longer = data.size() > eeprom::kMaxImageFileBytes;
    } else if (!eeprom::ReadFileHead(path, eeprom::kMaxImageFileBytes, data, longer, error, "read")) {
        return Fail(kExitUsage, error);
    }
    const std::string name = path == "-" ? "standard input" : path;
    if (data.isEmpty()) return Fail(kExitUsage, name + " is empty; nothing was written");
    if (longer) return Fail(kExitUsage, name + " is far too large for any of these chips");
    std::vector<std::uint8_t> bytes;
    if (!eeprom::DecodeImage(data, format.value_or(eeprom::ImageFormatToRead(data, path == "-" ? "" : path)),
                             job.region.size, name, bytes, error))
        return Fail(kExitUsage, error);
    if (bytes.size() > static_cast<std::size_t>(job.region.size))
        return Fail(kExitUsage, name + " holds " + std::to_string(bytes.size()) + " bytes, more than the " +
                                    std::to_string(job.region.size) + " of the " + job.chip.name +
                                    (job.region.size < job.chip.bytes ? " page" : "") +
                                    "; nothing was written");
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
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(kExitUsage, "cannot save \"" + path + "\": the folder " + folder + " does not exist");
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Fail(kExitUsage, "cannot save \"" + path + "\": it is a folder");
    if (::access(folder.c_str(), W_OK) != 0)
        return Fail(kExitUsage, "cannot save \"" + path + "\": the folder " + folder + " is not writable");
    return kExitOk;
}

// A dump like the window's hex view, for a read without -o.
void PrintDump(const std::vector<std::uint8_t>& bytes, int offset) {
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        std::printf("%04zX:", offset + row);
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
    const auto size = static_cast<int>(std::min(expected.size(), read.size()));
    eeprom::Image wanted{size};
    eeprom::Image got{size};
    std::copy_n(expected.begin(), size, wanted.begin());
    std::copy_n(read.begin(), size, got.begin());
    const eeprom::VerifyReport report = eeprom::BuildVerifyReport(wanted, got, size);
    if (report.count == 0) return 0;
    std::string text = eeprom::FormatVerifyReport(report);
    if (offset != 0) text += "(Offsets count from 0x" + Hex4(offset) + ", the start of the page.)\n";
    Say(text);
    return report.count;
}

}  // namespace

void SetSocketHook(std::function<bool(std::string&)> hook) { socketReady = std::move(hook); }

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 8) return false;
    long result = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return false;
        result = result * (hex ? 16 : 10) + d;
    }
    if (result < low || result > high) return false;
    value = result;
    return true;
}

int RunProbe(CommandContext& context) {
    const bool found = FindAdapter(context);
    std::printf("%s\n", found ? "PCF 8584 Ok" : "Not Found");
    return found ? kExitOk : kExitFailed;
}

int RunChips() {
    std::printf("%-11s %6s  %-13s %s\n", "chip", "bytes", "organisation", "page write");
    for (const Chip& chip : Chips()) {
        const std::string page = chip.pageSize ? std::to_string(chip.pageSize) + " bytes" : "one word";
        const std::string bus = chip.I2c()                                     ? "I2C"
                                : chip.family == eeprom::ChipFamily::Microwire ? "Microwire"
                                                                               : "SPI";
        std::printf("%-11s %6d  %-13s %s\n", chip.name.c_str(), chip.bytes,
                    (std::to_string(chip.organisation) + "-bit " + bus).c_str(), page.c_str());
    }
    return kExitOk;
}

int RunRead(CommandContext& context, const MemoryOptions& options) {
    Job job;
    eeprom::ImageFormat format = eeprom::ImageFormat::Raw;
    if (int code = PrepareJob(context, options, job)) return code;
    if (int code = CheckOutput(options, format)) return code;
    if (int code = SelectChip(context, job.chip)) return code;
    Stopwatch watch;
    ProgressLine line(context.progress);
    std::vector<std::uint8_t> data;
    std::string error;
    if (!ReadRegion(context.session, job.chip, job.region, data, line, error))
        return Fail(kExitFailed, error);
    line.Finish();
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
    PrintJson(context, job.chip.name, data.size(), watch.Seconds(), 0, &data, options.outputFile == "-");
    return kExitOk;
}

namespace {

// The name a backup of the job's chip goes by: the chip list's form for the
// serial chips ("93C46x8"), the chip's own name for the I2C memories.
std::string BackupName(const Job& job) {
    return job.chip.I2c() ? job.chip.name : eeprom::BackupChipName(job.chip.listEntry);
}

// Saves what the write is about to replace, whole chip or page, as one
// backup. A backup that fails stops the write; `path` names the backup.
int BackUp(CommandContext& context, const Job& job, QString& path) {
    if (!context.backup) return kExitOk;
    eeprom::BackupTarget target{BackupName(job), -1, -1};
    if (job.chip.I2c()) {
        target.page = job.page;
        target.device = job.region.device;
    }
    eeprom::Progress quiet;
    std::string error;
    eeprom::Session& session = context.session;
    if (!eeprom::BackUpBeforeWrite(eeprom::FastBackupReads(session.adapter, session.adapter, session.chip),
                                   session.chip, target, eeprom::BackupFolder(), quiet, path, error))
        return Fail(kExitFailed, "nothing was written: the backup of the chip failed: " + error +
                                     " (--no-backup writes without one)");
    if (!context.json) Say("backup of the old contents: " + QFile::encodeName(path).toStdString());
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
        sentence = "interrupted: bytes 0x" + Hex4(first) + "..0x" + Hex4(first + written - 1) + " (" +
                   std::to_string(written) + " of " + std::to_string(job.region.size) + ") of " + what +
                   " hold the new data; bytes 0x" + Hex4(first + written) + "..0x" + Hex4(end - 1) +
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
    std::string error;
    if (!WriteRegion(context.session, job.chip, job.region, expected, line, error)) {
        if (line.Cancelled()) return interrupted(line.Done());
        return Fail(kExitFailed, error);
    }
    long mismatches = 0;
    if (verify && !line.Cancelled()) {
        std::vector<std::uint8_t> read;
        const bool readBack = ReadRegion(context.session, job.chip, job.region, read, line, error);
        if (line.Cancelled()) return interrupted(job.region.size);
        if (!readBack) return Fail(kExitFailed, error);
        line.Finish();
        mismatches = Compare(expected, read, job.region.offset);
    }
    if (line.Cancelled()) return interrupted(job.region.size);
    line.Finish();
    PrintJson(context, job.chip.name, expected.size(), watch.Seconds(), mismatches, &expected);
    return mismatches ? kExitMismatch : kExitOk;
}

}  // namespace

int RunWrite(CommandContext& context, const MemoryOptions& options) {
    Job job;
    if (int code = PrepareJob(context, options, job)) return code;
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(job.region.size),
                                       static_cast<std::uint8_t>(options.fillValue));
    if (context.command != "fill")
        if (int code = ReadInput(options, job, expected)) return code;
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
    std::vector<std::uint8_t> data;
    std::string error;
    if (!eeprom::LoadBackup(path, job.region.size, data, error)) return Fail(kExitUsage, error);
    if (int code = SelectChip(context, job.chip)) return code;
    if (!context.json) Say("restoring " + path);
    return WriteJob(context, job, data, true);
}

int RunVerify(CommandContext& context, const MemoryOptions& options) {
    Job job;
    std::vector<std::uint8_t> expected;
    if (int code = PrepareJob(context, options, job)) return code;
    if (int code = ReadInput(options, job, expected)) return code;
    if (int code = SelectChip(context, job.chip)) return code;
    Stopwatch watch;
    ProgressLine line(context.progress);
    std::vector<std::uint8_t> read;
    std::string error;
    if (!ReadRegion(context.session, job.chip, job.region, read, line, error))
        return Fail(kExitFailed, error);
    line.Finish();
    const long mismatches = Compare(expected, read, job.region.offset);
    PrintJson(context, job.chip.name, read.size(), watch.Seconds(), mismatches, &read);
    return mismatches ? kExitMismatch : kExitOk;
}

// --- register devices ----------------------------------------------------------

namespace {

int ParseDevice(const std::string& text, long& address) {
    if (ParseNumber(text, 0x03, 0x77, address)) return kExitOk;
    return Fail(kExitUsage,
                "a device address is 7-bit, 0x03..0x77 (0x20 is write address 40), not '" + text + "'");
}

int ParseByte(const std::string& text, const char* what, long& value) {
    if (ParseNumber(text, 0, 255, value)) return kExitOk;
    return Fail(kExitUsage, std::string(what) + " is a byte, 0..255 or 0x00..0xFF, not '" + text + "'");
}

std::string BusError(long address, const hardware::I2cResult& result) {
    char text[120];
    std::snprintf(text, sizeof text, "device 0x%02lx did not answer (%s)", address,
                  result.status == hardware::I2cStatus::BusBusy ? "the bus stayed busy"
                                                                : "no acknowledge or a time-out");
    return text;
}

// A register read: the register number written, then one byte read.
hardware::I2cResult ReadRegister(hardware::I2cMaster& i2c, long address, std::uint8_t reg,
                                 std::uint8_t& value) {
    const auto device = static_cast<std::uint8_t>(address);
    const hardware::I2cMessage messages[] = {{device, false, {&reg, 1}}, {device, true, {&value, 1}}};
    return i2c.Transfer(messages);
}

}  // namespace

int RunSet(CommandContext& context, const std::string& address, const std::string& reg,
           const std::string& value) {
    long dev = 0, r = 0, v = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (int code = ParseByte(value, "the value", v)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    const hardware::I2cResult result = console::WriteRegister(
        context.session.adapter, static_cast<std::uint8_t>(dev << 1), static_cast<std::uint8_t>(r),
        static_cast<std::uint8_t>(v), [] { Say("the bus is busy (another master?); writing anyway"); });
    return result.Ok() ? kExitOk : Fail(kExitFailed, BusError(dev, result));
}

int RunGet(CommandContext& context, const std::string& address, const std::string& reg) {
    long dev = 0, r = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    std::uint8_t value = 0;
    const hardware::I2cResult result =
        ReadRegister(context.session.adapter, dev, static_cast<std::uint8_t>(r), value);
    if (!result.Ok()) return Fail(kExitFailed, BusError(dev, result));
    std::printf("0x%02x\n", value);
    return kExitOk;
}

int RunDump(CommandContext& context, const std::string& address) {
    long dev = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
    int answered = 0;
    for (int row = 0; row < 256; row += 16) {
        std::string ascii;
        std::printf("%02x: ", row);
        for (int reg = row; reg < row + 16; ++reg) {
            std::uint8_t value = 0;
            if (!ReadRegister(context.session.adapter, dev, static_cast<std::uint8_t>(reg), value).Ok()) {
                std::printf("XX ");
                ascii += 'X';
                continue;
            }
            ++answered;
            std::printf("%02x ", value);
            ascii += value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
        }
        std::printf("   %s\n", ascii.c_str());
    }
    return answered ? kExitOk : Fail(kExitFailed, BusError(dev, {hardware::I2cStatus::NoAck}));
}

int RunTransfer(CommandContext& context, const std::vector<std::string>& messages) {
    struct Message {
        bool read = false;
        long address = 0;
        std::vector<std::uint8_t> bytes;  // write data, or room for the read
    };
    std::vector<Message> plan;
    long lastAddress = -1;
    for (std::size_t i = 0; i < messages.size();) {
        const std::string& text = messages[i++];
        const std::size_t at = text.find('@');
        Message m;
        long length = 0;
        if (text.empty() || (text[0] != 'r' && text[0] != 'w') ||
            !ParseNumber(text.substr(1, at == std::string::npos ? std::string::npos : at - 1), 1, 256,
                         length))
            return Fail(kExitUsage,
                        "'" + text + "' is not a message: rLENGTH[@ADDR] or wLENGTH[@ADDR] and the bytes");
        m.read = text[0] == 'r';
        if (at != std::string::npos) {
            if (int code = ParseDevice(text.substr(at + 1), m.address)) return code;
            lastAddress = m.address;
        } else if (lastAddress < 0) {
            return Fail(kExitUsage, "the first message needs its address: " + text + "@0x50");
        }
        m.address = lastAddress;
        if (m.read) {
            m.bytes.resize(static_cast<std::size_t>(length));
        } else {
            for (long k = 0; k < length; ++k, ++i) {
                long value = 0;
                if (i >= messages.size())
                    return Fail(kExitUsage, text + " needs " + std::to_string(length) + " data bytes");
                if (int code = ParseByte(messages[i], "a data byte", value)) return code;
                m.bytes.push_back(static_cast<std::uint8_t>(value));
            }
        }
        plan.push_back(std::move(m));
    }
    if (plan.empty())
        return Fail(kExitUsage, "transfer needs at least one message, such as w1@0x50 0x00 r16");
    if (!FindAdapter(context)) return NoAdapter();
    std::vector<hardware::I2cMessage> transfer;
    for (Message& m : plan) transfer.push_back({static_cast<std::uint8_t>(m.address), m.read, m.bytes});
    const hardware::I2cResult result = context.session.adapter.Transfer(transfer);
    // What was read before a failure is shown, as each message was printed once it was done.
    const std::size_t done =
        result.Ok() ? plan.size() : static_cast<std::size_t>(std::max(result.message, 0));
    for (std::size_t k = 0; k < done; ++k) {
        if (!plan[k].read) continue;
        for (std::size_t b = 0; b < plan[k].bytes.size(); ++b)
            std::printf(b ? " 0x%02x" : "0x%02x", plan[k].bytes[b]);
        std::printf("\n");
    }
    if (!result.Ok()) return Fail(kExitFailed, BusError(plan[done].address, result));
    return kExitOk;
}

// --- bus monitor ---------------------------------------------------------------

int RunMonitor(CommandContext& context, const MonitorOptions& options) {
    eeprom::Session& session = context.session;
    if (!options.filter.empty()) {
        long value = 0;
        std::string text = options.filter;
        if (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0) text = "0x" + text;
        if (!ParseNumber(text, 0, 0xFF, value))
            return Fail(kExitUsage,
                        "--filter takes an address as the log shows it (A0), not '" + options.filter + "'");
        const monitor::MonitorFilter filter = monitor::FilterBytes(static_cast<int>(value));
        session.filterRead = filter.read;
        session.filterWrite = filter.write;
    }
    if (!FindAdapter(context)) return NoAdapter();
    const InterruptGuard interrupts;

    hardware::BusSniffer& sniffer = session.adapter;
    const std::int64_t start = sniffer.NowUs();
    session.monitorOn = 1;
    monitor::StartMonitor(sniffer);
    // The window replays the log's EEPROM transfers into its image when the
    // monitor stops; here each line is replayed as it comes, so that a
    // monitor left running all day keeps no log in memory.
    long logged = 0;
    int replayed = 0;
    int page = 0;
    std::string deviceAddress = "A1";
    const auto limitReached = [&] { return options.count > 0 && logged >= options.count; };
    const bool plainLines = options.format == "log";
    const bool csv = options.format == "csv";
    if (csv) {
        const std::string header = monitor::TransfersCsv({});
        std::fwrite(header.data(), 1, header.size(), stdout);
    }
    while (!stopRequested) {
        // Each logged transfer brings its line, then its records.
        bool lineTaken = false;
        const auto onLine = [&](std::string_view line) {
            lineTaken = !limitReached();
            if (!lineTaken) return;
            ++logged;
            if (plainLines) {
                std::fwrite(line.data(), 1, line.size(), stdout);
                std::fputc('\n', stdout);
            }
            replayed +=
                monitor::ReplayLogLine(std::string(line), session.image, session.marks, page, deviceAddress);
        };
        const auto onRecords = [&](const hardware::TransferBuffer& transfer) {
            if (plainLines || !lineTaken) return;
            std::optional<monitor::DecodedTransfer> decoded = monitor::DecodeTransfer(transfer);
            if (!decoded) return;
            const std::vector<monitor::SeenTransfer> one{
                {static_cast<int>(logged), sniffer.NowUs() - start, std::move(*decoded)}};
            std::string text = csv ? monitor::TransfersCsv(one) : monitor::TransfersCaptureText(one);
            if (csv) text.erase(0, text.find('\n') + 1);  // the header went out once
            std::fwrite(text.data(), 1, text.size(), stdout);
        };
        // As the window's timer pass.
        monitor::MonitorPass(sniffer, session.filterRead, session.filterWrite, onLine, onRecords);
        std::fflush(stdout);
        if (limitReached()) break;
        const std::int64_t now = sniffer.NowUs();
        if (options.seconds > 0 && static_cast<double>(now - start) / 1e6 >= options.seconds) break;
        sniffer.SleepMs(5);  // the window's timer period
        // On bench time the sleep above costs nothing; a monitor left running
        // must not keep a core busy for it.
        if (context.bench) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    session.monitorOn = 0;
    monitor::StopMonitor(sniffer);
    std::fprintf(stderr, "merlix-cli: monitor stopped: %ld line%s logged, %d replayed as EEPROM transfers\n",
                 logged, logged == 1 ? "" : "s", replayed);
    return kExitOk;
}

}  // namespace cli
