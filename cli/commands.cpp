// merlix-cli's sub-commands; see commands.h.
#include "cli/commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

#include "cli/chips.h"
#include "cli/progress.h"
#include "cli/transfers.h"
#include "eeprom/backup.h"
#include "eeprom/checksums.h"
#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "eeprom/image_file.h"
#include "eeprom/verify_report.h"
#include "hardware/port_adapter.h"
#include "monitor/monitor_logic.h"
#include "monitor/transfer_decode.h"
#include "platform/counter.h"
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
// first, then LPT2, as the window does at start; --port tries one.
bool FindAdapter(CommandContext& context) {
    eeprom::Session& session = context.session;
    session.adapter.SetLatch(kStartLatch);
    const int ports[] = {context.forcedPort ? context.forcedPort : hardware::kLpt1, hardware::kLpt2};
    for (int i = 0; i < (context.forcedPort ? 1 : 2); ++i) {
        session.adapter.SetBase(ports[i]);
        session.portBase = session.adapter.GetBase();
        session.adapter.ConfigurePort();
        if (session.adapter.ResetAdapter(0, session.adapter.Latch()) != hardware::kProbeOk)
            session.adapter.ConfigurePort();
        if (session.adapter.ResetAdapter(0, session.adapter.Latch()) == hardware::kProbeOk) {
            session.adapter.ConfigurePort();
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

// --- memories ------------------------------------------------------------------

struct Job {
    Chip chip;
    Region region;
};

int PrepareJob(CommandContext& context, const MemoryOptions& options, Job& job) {
    std::string error;
    if (!FindChip(options.chip, job.chip, error)) return Fail(kExitUsage, error);
    const Chip& chip = job.chip;
    job.region = {0, chip.bytes, 0xA0};
    if (chip.I2c()) {
        long device = 0;
        std::string text = options.device;
        if (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0) text = "0x" + text;
        if (!ParseNumber(text, 0xA0, 0xAF, device))
            return Fail(kExitUsage,
                        "memories answer at device addresses A0..AF, not '" + options.device + "'");
        device &= 0xFE;
        const int blocks = std::max(1, chip.bytes / eeprom::kPageSize);
        if (options.page >= 0) {
            if (options.page >= blocks)
                return Fail(kExitUsage, "page " + std::to_string(options.page) + " is out of range for the " +
                                            chip.name + " (pages 0.." + std::to_string(blocks - 1) + ")");
            job.region = {options.page * eeprom::kPageSize, std::min(chip.bytes, eeprom::kPageSize),
                          static_cast<int>(device) + 2 * options.page};
        } else {
            job.region.device = static_cast<int>(device);
        }
        const int lastDevice = static_cast<int>(device) + 2 * (blocks - 1);
        if (options.page < 0 && lastDevice > 0xAF)
            return Fail(kExitUsage, "the " + chip.name + " at " + Hex2(static_cast<int>(device)) +
                                        " would reach past device AF; its blocks start at A0");
        eeprom::ApplyChipChoice(context.session.chip, "");
    } else {
        if (options.page >= 0) return Fail(kExitUsage, "--page is for the I2C memories (24Cxx) only");
        if (context.session.chip.organisation == 0) context.session.chip.organisation = 8;
        eeprom::ApplyChipChoice(context.session.chip, chip.listEntry);
    }
    return kExitOk;
}

int SelectChip(CommandContext& context, const Chip& chip) {
    if (context.bench && !chip.I2c()) {
        context.bench->SetChipListChoice(chip.listEntry);
        std::string error;
        if (context.socketReady && !context.socketReady(error)) return Fail(kExitFailed, error);
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

// The file for write and verify: read whole and checked before the chip is
// touched; what the file leaves out of the region reads 0xFF.
int ReadInput(const MemoryOptions& options, const Job& job, std::vector<std::uint8_t>& expected) {
    const std::string& path = options.inputFile;
    QByteArray data;
    bool longer = false;
    std::string error;
    if (path == "-") {
        if (!ReadAll(stdin, data)) return Fail(kExitUsage, "cannot read standard input");
        longer = data.size() > eeprom::kMaxImageFileBytes;
    } else if (!eeprom::ReadFileHead(QFile::decodeName(path.c_str()), eeprom::kMaxImageFileBytes, data,
                                     longer, error, "read")) {
        return Fail(kExitUsage, error);
    }
    const std::string name = path == "-" ? "standard input" : path;
    if (data.isEmpty()) return Fail(kExitUsage, name + " is empty; nothing was written");
    if (longer) return Fail(kExitUsage, name + " is far too large for any of these chips");
    const eeprom::ImageFormat format = eeprom::DetectImageFormat(data);
    std::vector<std::uint8_t> bytes;
    if (!eeprom::DecodeImage(data, format, job.region.size, name, bytes, error))
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
    format = path.empty() || path == "-" ? eeprom::ImageFormat::Raw
                                         : eeprom::ImageFormatForPath(QFile::decodeName(path.c_str()));
    if (!options.format.empty() && !eeprom::ParseImageFormat(options.format, format))
        return Fail(kExitUsage, "--format takes raw, ihex or srec, not '" + options.format + "'");
    if (path.empty() || path == "-") return kExitOk;
    // Refused before the chip is read, so nobody waits for a read that cannot be kept.
    const QFileInfo info(QFile::decodeName(path.c_str()));
    if (!info.absoluteDir().exists())
        return Fail(kExitUsage, "cannot save \"" + path + "\": the folder " +
                                    QFile::encodeName(info.absolutePath()).toStdString() + " does not exist");
    if (info.isDir()) return Fail(kExitUsage, "cannot save \"" + path + "\": it is a folder");
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
    eeprom::ImageArray wanted{};
    eeprom::ImageArray got{};
    const std::size_t size = std::min({expected.size(), read.size(), wanted.size()});
    std::copy_n(expected.begin(), size, wanted.begin());
    std::copy_n(read.begin(), size, got.begin());
    const eeprom::VerifyReport report = eeprom::BuildVerifyReport(wanted, got, static_cast<int>(size));
    if (report.count == 0) return 0;
    std::string text = eeprom::FormatVerifyReport(report);
    if (offset != 0) text += "(Offsets count from 0x" + Hex4(offset) + ", the start of the page.)\n";
    Say(text);
    return report.count;
}

}  // namespace

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
        const std::string bus = chip.I2c() ? "I2C" : chip.family == 93 ? "Microwire" : "SPI";
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
    } else if (!eeprom::WriteFileAtomically(QFile::decodeName(options.outputFile.c_str()), out.constData(),
                                            out.size(), error)) {
        return Fail(kExitUsage, error);
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

// Saves what the write is about to replace: the whole serial chip, or each
// 256-byte block of the I2C region. A backup that fails stops the write.
int BackUp(CommandContext& context, const Job& job) {
    if (!context.backup) return kExitOk;
    eeprom::Session& session = context.session;
    const QString folder = eeprom::BackupFolder();
    std::vector<eeprom::BackupTarget> targets;
    if (!job.chip.I2c()) {
        targets.push_back({BackupName(job), -1, -1});
    } else {
        const int blocks = std::max(1, (job.region.size + eeprom::kPageSize - 1) / eeprom::kPageSize);
        for (int b = 0; b < blocks; ++b)
            targets.push_back(
                {BackupName(job), job.region.device + 2 * b, job.region.offset / eeprom::kPageSize + b});
    }
    eeprom::Progress quiet;
    for (const eeprom::BackupTarget& target : targets) {
        QString path;
        std::string error;
        if (!eeprom::BackUpBeforeWrite(session.adapter, session.chip, target, true, folder, quiet, path,
                                       error))
            return Fail(kExitFailed, "nothing was written: the backup of the chip failed: " + error +
                                         " (--no-backup writes without one)");
        if (!context.json) Say("backup of the old contents: " + QFile::encodeName(path).toStdString());
    }
    return kExitOk;
}

// Backs up, writes `expected` to the job's region and, unless told not to,
// reads it back and compares.
int WriteJob(CommandContext& context, const Job& job, const std::vector<std::uint8_t>& expected,
             bool verify) {
    if (int code = BackUp(context, job)) return code;
    Stopwatch watch;
    ProgressLine line(context.progress);
    std::string error;
    if (!WriteRegion(context.session, job.chip, job.region, expected, line, error))
        return Fail(kExitFailed, error);
    long mismatches = 0;
    if (verify) {
        std::vector<std::uint8_t> read;
        if (!ReadRegion(context.session, job.chip, job.region, read, line, error))
            return Fail(kExitFailed, error);
        line.Finish();
        mismatches = Compare(expected, read, job.region.offset);
    }
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
    // The backup: the newest of the chip's (of its page, with --page), or
    // the file given, whose name says which page of an I2C memory it holds.
    QString path;
    eeprom::BackupTarget target{BackupName(job), -1, -1};
    const bool pageGiven = options.page >= 0;
    if (file.empty()) {
        const QString folder = eeprom::BackupFolder();
        for (const eeprom::BackupEntry& entry : eeprom::ListBackups(folder, BackupName(job))) {
            if (pageGiven && entry.target.page != options.page) continue;
            path = entry.path;
            target = entry.target;
            break;
        }
        if (path.isEmpty())
            return Fail(kExitUsage, "no backup of the " + job.chip.name + (pageGiven ? " page" : "") +
                                        " in " + QFile::encodeName(folder).toStdString());
    } else {
        path = QFile::decodeName(file.c_str());
        const QFileInfo info(path);
        for (const eeprom::BackupEntry& entry : eeprom::ListBackups(info.absolutePath(), {})) {
            if (QFileInfo(entry.path).absoluteFilePath() == info.absoluteFilePath()) target = entry.target;
        }
        if (target.chip != BackupName(job))
            return Fail(kExitUsage, file + " is not named as a backup of the " + job.chip.name);
    }
    if (job.chip.I2c()) {
        if (target.page < 0) return Fail(kExitUsage, "the backup's name does not say which page it holds");
        job.region = {target.page * eeprom::kPageSize, std::min(job.chip.bytes, eeprom::kPageSize),
                      target.device};
    }
    std::vector<std::uint8_t> data;
    std::string error;
    if (!eeprom::LoadBackup(path, job.region.size, data, error)) return Fail(kExitUsage, error);
    if (int code = SelectChip(context, job.chip)) return code;
    if (!context.json) Say("restoring " + QFile::encodeName(path).toStdString());
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

std::string BusError(long address, int code) {
    char text[120];
    std::snprintf(text, sizeof text, "device 0x%02lx did not answer (%s)", address,
                  code == hardware::kBusBusy ? "the bus stayed busy" : "no acknowledge or a time-out");
    return text;
}

}  // namespace

int RunSet(CommandContext& context, const std::string& address, const std::string& reg,
           const std::string& value) {
    long dev = 0, r = 0, v = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (int code = ParseByte(value, "the value", v)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    const int result = context.session.adapter.I2cWriteByte(
        static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(dev << 1), static_cast<std::uint8_t>(v));
    return result == hardware::kWriteDone ? kExitOk : Fail(kExitFailed, BusError(dev, result));
}

int RunGet(CommandContext& context, const std::string& address, const std::string& reg) {
    long dev = 0, r = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    const int value = context.session.adapter.I2cReadByte(static_cast<std::uint8_t>(r),
                                                          static_cast<std::uint8_t>(dev << 1));
    if (value < 0 || value > 255) return Fail(kExitFailed, BusError(dev, value));
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
            const int value = context.session.adapter.I2cReadByte(static_cast<std::uint8_t>(reg),
                                                                  static_cast<std::uint8_t>(dev << 1));
            if (value < 0 || value > 255) {
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
    return answered ? kExitOk : Fail(kExitFailed, BusError(dev, 0));
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
    hardware::PortAdapter& adapter = context.session.adapter;
    bool busHeld = false;  // a write left the bus for a repeated START
    for (std::size_t k = 0; k < plan.size(); ++k) {
        Message& m = plan[k];
        const auto slave = static_cast<std::uint8_t>(m.address << 1);
        const int n = static_cast<int>(m.bytes.size());
        if (m.read) {
            const int result = adapter.I2cReadBytes(slave, m.bytes.data(), n, busHeld);
            busHeld = false;
            if (result != n) return Fail(kExitFailed, BusError(m.address, result));
            for (int b = 0; b < n; ++b)
                std::printf(b ? " 0x%02x" : "0x%02x", m.bytes[static_cast<std::size_t>(b)]);
            std::printf("\n");
        } else {
            const bool readFollows = k + 1 < plan.size() && plan[k + 1].read;
            const int result = adapter.I2cWriteBytes(slave, m.bytes.data(), n, !readFollows);
            if (result != hardware::kWriteDone) return Fail(kExitFailed, BusError(m.address, result));
            busHeld = readFollows;
        }
    }
    return kExitOk;
}

// --- bus monitor ---------------------------------------------------------------

namespace {
// The one piece of process state here: a signal handler reaches nothing else.
volatile std::sig_atomic_t stopRequested = 0;
void OnInterrupt(int) { stopRequested = 1; }
}  // namespace

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
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    platform::Counter& clock = session.adapter.Clock();
    std::int64_t frequency = 1, start = 0, now = 0;
    clock.Frequency(frequency);
    clock.Now(start);
    session.monitorOn = 1;
    session.adapter.InitController();
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
        // As the window's timer pass: the controller set up afresh each time.
        session.adapter.ResetAdapter(0, session.adapter.Latch());
        session.adapter.InitController();
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
            clock.Now(now);
            const std::vector<monitor::SeenTransfer> one{
                {static_cast<int>(logged), (now - start) * 1'000'000 / frequency, std::move(*decoded)}};
            std::string text = csv ? monitor::TransfersCsv(one) : monitor::TransfersCaptureText(one);
            if (csv) text.erase(0, text.find('\n') + 1);  // the header went out once
            std::fwrite(text.data(), 1, text.size(), stdout);
        };
        monitor::CapturePass(session.adapter, monitor::kPollReads, session.filterRead, session.filterWrite,
                             onLine, onRecords);
        std::fflush(stdout);
        if (limitReached()) break;
        clock.Now(now);
        if (options.seconds > 0 &&
            static_cast<double>(now - start) / static_cast<double>(frequency) >= options.seconds)
            break;
        clock.SleepMs(5);  // the window's timer period
        // On bench time the sleep above costs nothing; a monitor left running
        // must not keep a core busy for it.
        if (context.bench) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    session.monitorOn = 0;
    session.adapter.ConfigurePort();
    session.adapter.ResetAdapter(0, session.adapter.Latch());
    std::fprintf(stderr, "merlix-cli: monitor stopped: %ld line%s logged, %d replayed as EEPROM transfers\n",
                 logged, logged == 1 ? "" : "s", replayed);
    return kExitOk;
}

}  // namespace cli
