// The memory commands' job: the chip, the bytes it covers and the input file
// over them; see memory_job.h.
#include "cli/memory_job.h"

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/command_support.h"
#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "eeprom/image_file.h"
#include "eeprom/image_formats.h"
#include "eeprom/part_session.h"

namespace cli {

std::string ChipAddress(const Chip& chip, int address) {
    return eeprom::ChipAddressText(address, chip.bytes);
}

namespace {

// --offset/--length or --range into [first, first + count); false with the sentence said.
bool RangeOption(const MemoryOptions& options, const Chip& chip, int& first, int& count) {
    const long size = chip.bytes;
    const std::string whole = " (" + std::to_string(size) + " bytes, " + ChipAddress(chip, 0) + ".." +
                              ChipAddress(chip, chip.bytes - 1) + ")";
    const auto number = [&](const char* option, const std::string& text, long low, long high, long& value) {
        if (ParseNumber(text, low, high, value)) return true;
        Fail(kExitUsage, std::string(option) + " takes a number from " + std::to_string(low) + " to " +
                             std::to_string(high) + " (decimal or 0x hex) for the " + chip.name + whole +
                             ", not '" + text + "'");
        return false;
    };
    long from = 0;
    long length = 0;
    if (!options.range.empty()) {
        if (!options.offset.empty() || !options.length.empty()) {
            Fail(kExitUsage, "--range and --offset/--length choose the bytes twice; give one of them");
            return false;
        }
        const std::size_t dash = options.range.find('-');
        long last = 0;
        if (dash == std::string::npos) {
            Fail(kExitUsage, "--range takes FIRST-LAST (0x100-0x1FF), not '" + options.range + "'");
            return false;
        }
        if (!number("--range", options.range.substr(0, dash), 0, size - 1, from) ||
            !number("--range", options.range.substr(dash + 1), 0, size - 1, last))
            return false;
        if (last < from || last >= size) {
            Fail(kExitUsage, "--range " + options.range + " is not a stretch of the " + chip.name + whole);
            return false;
        }
        length = last - from + 1;
    } else {
        if (!options.offset.empty() && !number("--offset", options.offset, 0, size - 1, from)) return false;
        length = size - from;
        if (!options.length.empty() && !number("--length", options.length, 1, size, length)) return false;
    }
    if (from >= size || from + length > size) {
        Fail(kExitUsage, "bytes " + ChipAddress(chip, static_cast<int>(from)) + ".." +
                             ChipAddress(chip, static_cast<int>(from + length - 1)) +
                             " reach past the end of the " + chip.name + whole);
        return false;
    }
    first = static_cast<int>(from);
    count = static_cast<int>(length);
    return true;
}

// The job's region narrowed to [first, first + count) of the chip, through the part
// transfers (a whole-chip region stays as it is).
void Narrow(Job& job, int first, int count) {
    if (first == 0 && count == job.chip.bytes) return;
    job.region.offset = first;
    job.region.size = count;
    job.region.ranged = true;
}

}  // namespace

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
            return Fail(kExitUsage, "--page is for the 24C01..24C16; the " + chip.name +
                                        " is read and written whole, or in part with --offset and --length");
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
    if (options.unprotect && !eeprom::HasBlockProtection(*chip.part))
        return Fail(kExitUsage, "--unprotect is for the 25010..25M02, whose status register guards blocks");
    job.region.unprotect = options.unprotect;
    // Before the input file is read and spoken of: an adapter that cannot reach the chip at all.
    if (const std::string missing = context.session.CannotReach(chip.family); !missing.empty())
        return Fail(kExitFailed, missing);
    if (!options.offset.empty() || !options.length.empty() || !options.range.empty()) {
        if (options.pageGiven)
            return Fail(kExitUsage, "--page and --offset/--length/--range choose the bytes twice; give one");
        int first = 0;
        int count = 0;
        if (!RangeOption(options, chip, first, count)) return kExitUsage;
        Narrow(job, first, count);
        context.result.Int("offset", first).Int("length", count);
    }
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
    const std::string refused = eeprom::JobRefusal(context.session, chip.part, context.command);
    if (!refused.empty()) return Fail(kExitFailed, refused);
    if (context.strapOrg && eeprom::StrappedByOrg(*chip.part)) context.strapOrg(chip.organisation == 16);
    std::string error;
    // A larger part goes into its socket on the bench, unless --bench-chip keeps another there.
    if (context.bench && chip.large && !context.benchChipFixed && !context.bench.PutPart(chip.name, error))
        return Fail(kExitFailed, error);
    if (context.bench && !chip.I2c() && !chip.large) context.bench.SetChipListChoice(chip.listEntry);
    if (context.bench && context.socketReady && !context.socketReady(error)) return Fail(kExitFailed, error);
    return FindAdapter(context) ? kExitOk : NoAdapter();
}

namespace {

bool ReadAll(std::FILE* in, QByteArray& data) {
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        data.append(buffer, static_cast<qsizetype>(n));
        if (data.size() > eeprom::kMaxImageFileBytes) return true;
    }
    return !std::ferror(in);
}

}  // namespace

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

namespace {

// A HEX or S-record file for one page holds it at addresses from the page's
// start (what `read --page` writes) or at the page's own addresses in the
// chip (a page cut from a whole-chip file). The first reading is tried
// first; a sentence says which one was taken.
int DecodePage(const QByteArray& data, eeprom::ImageFormat format, const Job& job, const std::string& name,
               std::vector<std::uint8_t>& bytes, std::vector<bool>* defined) {
    const int first = job.region.offset;
    const int last = first + job.region.size - 1;
    const std::string page = "page " + std::to_string(job.page);
    char extent[96];
    std::snprintf(extent, sizeof extent, "0x%X bytes", job.region.size);
    eeprom::ImageSpan span{0, job.region.size, page, extent, defined};
    std::string error;
    if (format == eeprom::ImageFormat::Raw || first == 0)
        return eeprom::DecodeImage(data, format, span, name, bytes, error) ? kExitOk
                                                                           : Fail(kExitUsage, error);
    std::snprintf(extent, sizeof extent, "0x%X bytes, at 0x0-0x%X from its start or 0x%X-0x%X in the chip",
                  job.region.size, job.region.size - 1, first, last);
    span.extent = extent;
    if (eeprom::DecodeImage(data, format, span, name, bytes, error)) {
        Say(name + " holds " + page + " at addresses from the page's start (0x0 is " +
            ChipAddress(job.chip, first) + " in the chip)");
        return kExitOk;
    }
    // When the file has data before the page, it was not written for the
    // page's own addresses either: the first refusal stands.
    span.base = static_cast<std::uint32_t>(first);
    std::string chipError;
    bool beforePage = false;
    if (!eeprom::DecodeImage(data, format, span, name, bytes, chipError, &beforePage))
        return Fail(kExitUsage, beforePage ? error : chipError);
    Say(name + " holds " + page + " at its own addresses in the chip (" + ChipAddress(job.chip, first) + "-" +
        ChipAddress(job.chip, last) + ")");
    return kExitOk;
}

}  // namespace

std::string RegionText(const Job& job) {
    return ChipAddress(job.chip, job.region.offset) + ".." +
           ChipAddress(job.chip, job.region.offset + job.region.size - 1);
}

std::string JobTarget(const Job& job) {
    return eeprom::JobTargetText(job.chip.name, job.chip.bytes, job.region, job.page);
}

int ReadInput(CommandContext& context, const MemoryOptions& options, Job& job, eeprom::FileCover& cover) {
    const std::string& path = options.inputFile;
    std::optional<eeprom::ImageFormat> format;
    if (!FormatOption(options, format)) return kExitUsage;
    QByteArray data;
    bool longer = false;
    std::string error;
    const bool writing = context.command != "verify";
    const std::string nothing = writing ? "; nothing was written" : "";
    if (path == "-") {
        if (!ReadAll(stdin, data)) return Fail(kExitUsage, "cannot read standard input");
        longer = data.size() > eeprom::kMaxImageFileBytes;
    } else if (!eeprom::ReadFileHead(path, eeprom::kMaxImageFileBytes, data, longer, error, "read")) {
        return Fail(kExitUsage, error);
    }
    const std::string name = path == "-" ? "standard input" : path;
    if (data.isEmpty()) return Fail(kExitUsage, name + " is empty" + nothing);
    if (longer) return Fail(kExitUsage, name + " is far too large for any of these chips");
    const eeprom::ImageFormat taken =
        format.value_or(eeprom::ImageFormatToRead(data, path == "-" ? "" : path));
    const bool raw = taken == eeprom::ImageFormat::Raw;
    const int size = job.region.size;
    eeprom::FileCover file;
    if (job.page >= 0) {
        if (int code = DecodePage(data, taken, job, name, file.bytes, &file.defined)) return code;
    } else {
        // A HEX or S-record file's addresses are the chip's; so is a raw file as long as the chip.
        char extent[32];
        std::snprintf(extent, sizeof extent, "0x%X bytes", job.chip.bytes);
        const eeprom::ImageSpan span{0, job.chip.bytes, "the chip", extent, &file.defined};
        if (!eeprom::DecodeImage(data, taken, span, name, file.bytes, error)) return Fail(kExitUsage, error);
    }
    const int length = static_cast<int>(file.bytes.size());
    const bool wholeImage = raw && job.page < 0 && length == job.chip.bytes;
    int from = raw && !wholeImage ? 0 : job.page >= 0 ? 0 : job.region.offset;
    if (raw && !wholeImage && length != size) {
        const std::string target = job.page >= 0 || job.region.ranged
                                       ? JobTarget(job) + " (" + std::to_string(size) + " bytes)"
                                       : "the " + job.chip.name;
        const std::string sizes = eeprom::SizeDiffersSentence(name, file.bytes.size(), target, size);
        if (length > size)
            return Fail(kExitUsage,
                        name + " holds " + std::to_string(length) + " bytes, more than the " +
                            std::to_string(size) + " of " + JobTarget(job) +
                            (job.region.ranged ? " (give the range's bytes or the whole chip's)" : "") +
                            nothing);
        if (!options.pad)
            return Fail(kExitUsage, sizes + "; --pad " + (writing ? "writes" : "compares") +
                                        " FF after its end, --length " + std::to_string(length) +
                                        (writing ? " writes" : " compares") + " only its bytes" + nothing);
        file.bytes.resize(static_cast<std::size_t>(size), 0xFF);
        file.defined.assign(static_cast<std::size_t>(size), true);
        Say(name + " holds " + std::to_string(length) + " bytes; --pad " + (writing ? "writes" : "compares") +
            " FF in the other " + std::to_string(size - length));
    }
    if (!raw && options.pad && job.page < 0 && !job.region.ranged) {
        // --pad: the bytes the file leaves out are FF, as an erased chip holds.
        file.defined.assign(static_cast<std::size_t>(size), true);
        file.bytes.resize(static_cast<std::size_t>(size), 0xFF);
    }
    file.bytes.resize(static_cast<std::size_t>(std::max(from + size, length)), 0xFF);
    file.defined.resize(file.bytes.size(), false);
    // The job's bytes of the file; with no range given, the stretch the file covers.
    cover.bytes.assign(file.bytes.begin() + from, file.bytes.begin() + from + size);
    cover.defined.assign(file.defined.begin() + from, file.defined.begin() + from + size);
    const int given = cover.Count();
    if (given == 0)
        return Fail(kExitUsage,
                    name + " gives no byte of " + JobTarget(job) + " (" + RegionText(job) + ")" + nothing);
    if (given == size) return kExitOk;
    const int total = size;
    if (job.page < 0 && !job.region.ranged) {
        const int first = cover.First();
        const int end = cover.End();
        cover.bytes = std::vector<std::uint8_t>(cover.bytes.begin() + first, cover.bytes.begin() + end);
        cover.defined = std::vector<bool>(cover.defined.begin() + first, cover.defined.begin() + end);
        Narrow(job, first, end - first);
        context.result.Int("offset", first).Int("length", end - first);
    }
    context.result.Int("defined", given);
    std::string sentence = eeprom::KeptContentsSentence(given, total);
    if (!writing) sentence = sentence.substr(0, sentence.find(';')) + "; only those are compared";
    if (!context.json) Say(sentence);
    return kExitOk;
}

}  // namespace cli
