// The fast transfer loops: whole chips and 256-byte blocks in as few
// instructions as their protocols allow, each write waited for by polling the
// chip, every poll bounded. They speak I2C transfers and serial-line steps,
// so they run on any adapter with those interfaces.
#include "eeprom/fast_chip_transfers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "eeprom/serial_chip_shape.h"
#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"

namespace eeprom {
namespace {

using serial_chip::MarkDifferences;
using serial_chip::SerialShape;
using serial_chip::ShapeOf;

using hardware::LineStep;
using Steps = std::vector<LineStep>;

// The instructions of the chip table's serial parts.
constexpr const hardware::ChipCommands& kMicrowire = hardware::kMicrowireCommands;
constexpr const hardware::ChipCommands& kSpi = hardware::kSpiCommands;
// Units read per batch of line steps: the progress moves between batches.
constexpr int kUnitsPerBatch = 64;

// Microwire's lines as a frame starts: ORG for the words, CS, clock and data
// low, plus `extra` high.
LineStep MicrowireIdle(int organisation, std::uint8_t extra, bool full) {
    const std::uint8_t org = organisation == 16 ? hardware::kOrgLine : 0;
    return LineStep::Drive(hardware::kAllLines, static_cast<std::uint8_t>(org | extra), full);
}

// Start bit: data and CS up, then the clock.
void AddMicrowireStart(Steps& steps) {
    steps.push_back(LineStep::Set(hardware::kDataLine, true));
    steps.push_back(LineStep::Set(hardware::kSelectLine, true));
    steps.push_back(LineStep::Set(hardware::kClockLine, true));
}

std::uint32_t Word(const std::vector<std::uint8_t>& bits, std::size_t at, int count) {
    std::uint32_t word = 0;
    for (int b = 0; b < count; ++b) word = (word << 1) | bits[at + static_cast<std::size_t>(b)];
    return word;
}

// One READ from address 0 running on through the array, `shape.units` units
// into `image`, the progress moved between batches.
void ReadArray(hardware::SerialLines& lines, const ChipParams& chip, const SerialShape& shape, Image& image,
               Progress& progress) {
    const int bitsPerUnit = shape.organisation;
    Steps steps;
    if (shape.microwire) {
        steps.push_back(MicrowireIdle(shape.organisation, 0, true));  // a full load first: the port as found
        AddMicrowireStart(steps);
        steps.push_back(LineStep::Out(kMicrowire.read, 2));
        // The dummy 0 shows after the last address bit; each rising edge
        // after it puts out the next data bit, MSB first.
        steps.push_back(LineStep::Out(0, chip.addressBits + 1));
    } else {
        steps.push_back(LineStep::Set(hardware::kClockLine, false, true));
        steps.push_back(LineStep::Set(hardware::kSelectLine, false));
        steps.push_back(LineStep::Out(kSpi.read, 8));
        steps.push_back(LineStep::Out(0, chip.addressBits));
    }
    for (int done = 0; done < shape.units;) {
        const int units = std::min(kUnitsPerBatch, shape.units - done);
        steps.push_back(
            LineStep::In(units * bitsPerUnit, shape.spi));  // SPI mode 0 changes SO after the fall
        const std::vector<std::uint8_t> bits = lines.Run(steps);
        steps.clear();
        for (int u = 0; u < units; ++u) {
            const std::uint32_t word = Word(bits, static_cast<std::size_t>(u * bitsPerUnit), bitsPerUnit);
            const auto at = static_cast<std::size_t>((done + u) * bitsPerUnit / 8);
            if (bitsPerUnit == 16) {
                image[at] = static_cast<std::uint8_t>(word >> 8);
                image[at + 1] = static_cast<std::uint8_t>(word);
            } else {
                image[at] = static_cast<std::uint8_t>(word);
            }
        }
        done += units;
        progress.SetPosition(done);
    }
    if (shape.spi) steps.push_back(LineStep::Set(hardware::kClockLine, false));
    steps.push_back(LineStep::Set(hardware::kSelectLine, shape.spi));
    (void)lines.Run(steps);
}

void ReadWholeChip(hardware::SerialLines& lines, const ChipParams& chip, Image& image, Progress& progress) {
    const SerialShape shape = ShapeOf(chip, image.Size());
    progress.SetRange(0, chip.capacity);
    if (shape.microwire || shape.spi) ReadArray(lines, chip, shape, image, progress);
    progress.SetRange(0, kProgressMax);
    progress.SetPosition(0);
    LinesIdleHigh(lines);
}

// EWEN or EWDS. ORG counts: the chip takes its address length from it at the
// start bit.
void MicrowireEnableWrites(hardware::SerialLines& lines, int n, int organisation, bool enable) {
    Steps steps{MicrowireIdle(organisation, 0, true)};
    AddMicrowireStart(steps);
    steps.push_back(LineStep::Out(0, 2));
    steps.push_back(LineStep::Out(enable ? kMicrowire.writeEnable : 0, 2));
    steps.push_back(LineStep::Out(0, n - 1));  // the rest of the address field
    steps.push_back(LineStep::Set(hardware::kSelectLine, false));
    (void)lines.Run(steps);
}

// One WRITE frame, with no wait after it: the cycle starts on the last bit.
void MicrowireWriteFrame(hardware::SerialLines& lines, int address, int n, int organisation, int data) {
    const Steps steps{MicrowireIdle(organisation, hardware::kDataLine, false),
                      LineStep::Set(hardware::kSelectLine, true),
                      LineStep::Set(hardware::kClockLine, true),  // start bit
                      LineStep::Out(kMicrowire.write, 2),
                      LineStep::Out(static_cast<std::uint32_t>(address), n + 1),
                      LineStep::Out(static_cast<std::uint32_t>(data), organisation),
                      LineStep::Set(hardware::kSelectLine, false)};
    (void)lines.Run(steps);
}

// WREN, then one WRITE of `count` bytes from `address` (the caller keeps it
// inside a page). A8 rides in opcode bit 3 where the address is one byte
// (AT25040).
void SpiWritePage(hardware::SerialLines& lines, int address, int bits, const std::uint8_t* data, int count) {
    const std::uint32_t a8 = (static_cast<std::uint32_t>(address) >> 8) & 1;
    Steps steps{LineStep::Set(hardware::kClockLine, false, true),
                LineStep::Set(hardware::kSelectLine, false),
                LineStep::Out(kSpi.writeEnable, 8),
                LineStep::Set(hardware::kClockLine, false),
                LineStep::Set(hardware::kSelectLine, true),  // WREN takes effect on /CS rising
                LineStep::Set(hardware::kSelectLine, false),
                LineStep::Out(bits == 8 ? kSpi.write | (a8 << 3) : kSpi.write, 8),
                LineStep::Out(static_cast<std::uint32_t>(address), bits)};
    for (int i = 0; i < count; ++i) steps.push_back(LineStep::Out(data[i], 8));
    steps.push_back(LineStep::Set(hardware::kClockLine, false));
    steps.push_back(LineStep::Set(hardware::kSelectLine, true));  // the write cycle starts on this rising /CS
    (void)lines.Run(steps);
}

// RDSR read continuously until the busy bit clears or `timeoutMs` pass.
bool SpiWaitReady(hardware::SerialLines& lines, int timeoutMs) {
    const Steps command{LineStep::Set(hardware::kClockLine, false),
                        LineStep::Set(hardware::kSelectLine, false), LineStep::Out(kSpi.readStatus, 8)};
    (void)lines.Run(command);
    hardware::Deadline deadline(lines, timeoutMs);
    const Steps status{LineStep::In(8, true)};
    bool ready = false;
    do {
        ready = !(Word(lines.Run(status), 0, 8) & kSpi.busyBit);
    } while (!ready && !deadline.Passed());
    const Steps release{LineStep::Set(hardware::kClockLine, false),
                        LineStep::Set(hardware::kSelectLine, true)};
    (void)lines.Run(release);
    return ready;
}

// Writes until the chip stops answering; false when it stayed busy.
bool WriteWholeChip(hardware::SerialLines& lines, const ChipParams& chip, const Image& image,
                    Progress& progress) {
    const SerialShape shape = ShapeOf(chip, image.Size());
    const int n = chip.addressBits;
    bool ready = true;
    if (shape.microwire) {
        // EWEN holds until EWDS or power-down: once for the chip, and the
        // chip is left write-protected again at the end.
        MicrowireEnableWrites(lines, n, shape.organisation, true);
        for (int i = 0; i < shape.units && ready && !progress.Cancelled(); ++i) {
            const auto at = static_cast<std::size_t>(i * shape.organisation / 8);
            const int data = shape.organisation == 16 ? image[at] * 256 + image[at + 1] : image[at];
            MicrowireWriteFrame(lines, i, n, shape.organisation, data);
            ready = WaitMicrowireReady(lines, kChipWaitLimitMs);
            progress.SetPosition(i + 1);
        }
        if (ready) MicrowireEnableWrites(lines, n, shape.organisation, false);
    } else if (shape.spi) {
        const int page = SpiPageSize(chip);
        for (int start = 0; start < shape.bytes && ready && !progress.Cancelled(); start += page) {
            const int count = std::min(page, shape.bytes - start);
            SpiWritePage(lines, start, n, image.data() + start, count);
            ready = SpiWaitReady(lines, kChipWaitLimitMs);
            progress.SetPosition(start + count);
        }
    }
    return ready;
}

// A random read of `bytes` from word address `offset`: the word address
// written and the bytes read in one transfer, or in two on an adapter that
// takes one message at a time (the memory's pointer holds between them).
hardware::I2cResult ReadI2cChunk(hardware::I2cMaster& i2c, std::uint8_t address, int offset,
                                 std::span<std::uint8_t> bytes) {
    auto wordAddress = static_cast<std::uint8_t>(offset);
    const hardware::I2cMessage messages[] = {{address, false, {&wordAddress, 1}}, {address, true, bytes}};
    if (i2c.Capabilities().maxMessages >= 2) return i2c.Transfer(messages);
    const hardware::I2cResult first = i2c.Transfer({messages, 1});
    return first.Ok() ? i2c.Transfer({messages + 1, 1}) : first;
}

}  // namespace

bool AdapterWatch::Ends(const hardware::I2cResult& result) {
    last_ = result.status;
    if (last_ == hardware::I2cStatus::Gone) return true;
    inRow_ = last_ == hardware::I2cStatus::TimedOut ? inRow_ + 1 : 0;
    return inRow_ >= kAdapterFailLimit;
}

bool AdapterWatch::AdapterFailed() const {
    return last_ == hardware::I2cStatus::TimedOut || last_ == hardware::I2cStatus::Gone;
}

std::string AdapterFailureText(const hardware::I2cMaster& i2c, hardware::I2cStatus status) {
    std::string text = i2c.AdapterName();
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text + (status == hardware::I2cStatus::Gone ? " was unplugged"
                                                       : " stopped answering (its transfers timed out)");
}

bool PollAck(hardware::I2cMaster& i2c, std::uint8_t address, int timeoutMs, AdapterWatch* watch) {
    hardware::Deadline deadline(i2c, timeoutMs);
    const hardware::I2cMessage probe{address};
    for (;;) {
        const hardware::I2cResult result = i2c.Transfer({&probe, 1});
        if (result.Ok()) {
            if (watch) (void)watch->Ends(result);
            return true;
        }
        if (watch && watch->Ends(result)) return false;
        if (deadline.Passed()) return false;
    }
}

int I2cPageSize(std::string_view type) {
    const hardware::ChipPart* part = hardware::FindMemoryPart(type);
    return part != nullptr && part->family == ChipFamily::I2c && part->inMainWindow ? part->pageSize : 0;
}

int SpiPageSize(const ChipParams& chip) {
    if (chip.family != ChipFamily::Spi) return 0;
    // The smallest part that holds the capacity (the table lists them by size), else the largest.
    const hardware::ChipPart* fit = nullptr;
    for (const hardware::ChipPart& part : hardware::kChipParts) {
        if (part.family != ChipFamily::Spi || !part.inMainWindow) continue;
        fit = &part;
        if (part.bytes >= chip.capacity) break;
    }
    return fit != nullptr ? fit->pageSize : 0;
}

bool WaitMicrowireReady(hardware::SerialLines& lines, int timeoutMs) {
    // Full loads, and only CS moves: the classic write polls here too, before
    // its verify read.
    const LineStep select = LineStep::Set(hardware::kSelectLine, true, true);
    (void)lines.Run({&select, 1});  // DO shows busy (0) or ready (1) while CS is high
    hardware::Deadline deadline(lines, timeoutMs);
    const LineStep sample = LineStep::Sample();
    bool ready = false;
    do {
        ready = lines.Run({&sample, 1}).at(0) != 0;
    } while (!ready && !deadline.Passed());
    const LineStep release = LineStep::Set(hardware::kSelectLine, false, true);
    (void)lines.Run({&release, 1});
    return ready;
}

bool ReadChipFast(hardware::SerialLines& lines, const ChipParams& chip, Image& image, Image& marks,
                  Progress& progress) {
    if (!SerialChipAnswers(lines, chip, progress)) return false;
    marks.fill(kMarkNone);
    image.fill(0);
    ReadWholeChip(lines, chip, image, progress);
    return true;
}

bool WriteChipFast(hardware::SerialLines& lines, const ChipParams& chip, Image& image, Image& marks,
                   Progress& progress, Image* readBack) {
    if (!SerialChipAnswers(lines, chip, progress)) return false;
    ClearVerifyMarks(chip, marks);
    progress.SetRange(0, chip.capacity);
    (void)WriteWholeChip(lines, chip, image, progress);
    if (progress.Cancelled()) return true;  // the caller asked to stop: no read-back
    const Image written = image;
    ReadWholeChip(lines, chip, image, progress);
    MarkDifferences(written, image, marks, readBack);
    return true;
}

bool ReadI2cBlockFast(hardware::I2cMaster& i2c, int page, int dev, Image& image, Image& marks,
                      Progress& progress, int count) {
    if (count <= 0 || !HoldsPageBytes(image, page, count) || !HoldsPageBytes(marks, page, count))
        return false;
    std::array<std::uint8_t, kPageSize> block{};
    const auto address = static_cast<std::uint8_t>(dev >> 1);
    i2c.Prepare();
    AdapterWatch watch;
    int fails = 0;
    for (int offset = 0; offset < count;) {
        // Asked afresh each time: an adapter learns what its bridge takes
        // from the bridge's answers.
        const int chunk = std::min(count - offset, std::max(i2c.Capabilities().ReadBytes(), 1));
        const hardware::I2cResult result =
            ReadI2cChunk(i2c, address, offset, {block.data() + offset, static_cast<std::size_t>(chunk)});
        const bool adapterFailed = watch.Ends(result);
        if (result.Ok()) {
            offset += chunk;
            continue;
        }
        i2c.Recover();
        if (adapterFailed || ++fails > kReadFailLimit) {
            progress.Message(kI2cTimeoutMessage);
            i2c.Recover();
            progress.SetPosition(0);
            return false;
        }
    }
    const auto base = static_cast<std::ptrdiff_t>(page) * kPageSize;
    std::copy_n(block.begin(), count, image.begin() + base);
    std::fill_n(marks.begin() + base, count, kMarkNone);
    progress.SetPosition(0);
    return true;
}

bool WriteI2cPagesFast(hardware::I2cMaster& i2c, int page, int dev, int pageSize, const Image& image,
                       Progress& progress, int count) {
    if (pageSize <= 0 || count <= 0 || !HoldsPageBytes(image, page, count)) return false;
    const auto address = static_cast<std::uint8_t>((dev & 0xFE) >> 1);
    const auto base = static_cast<std::size_t>(page) * kPageSize;
    std::array<std::uint8_t, 1 + kPageSize> buffer{};  // the word address, then the page
    AdapterWatch watch;
    int fails = 0;
    int offset = 0;
    bool ok = true;
    while (ok && offset < count && !progress.Cancelled()) {
        // Up to the end of the chip's page, never across it: the chip would
        // wrap and overwrite the page's start. One message, the word address
        // included, within what the adapter takes.
        const int longest = std::max(i2c.Capabilities().maxMessageBytes - 1, 1);
        const int chunk = std::min({pageSize - offset % pageSize, count - offset, longest});
        buffer[0] = static_cast<std::uint8_t>(offset);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(base) + offset, chunk, buffer.begin() + 1);
        const hardware::I2cMessage write{
            address, false, {buffer.data(), static_cast<std::size_t>(chunk) + 1}};
        const hardware::I2cResult sent = i2c.Transfer({&write, 1});
        const bool adapterFailed = watch.Ends(sent);
        if (!sent.Ok()) {
            i2c.Recover();
            ok = !adapterFailed && ++fails < kWriteFailLimit;
            continue;
        }
        fails = 0;
        offset += chunk;
        progress.SetPosition(offset);
        ok = PollAck(i2c, address, kChipWaitLimitMs, &watch);
    }
    progress.SetPosition(0);
    if (ok) return true;
    progress.Message(kI2cTimeoutMessage);
    i2c.Recover();
    return false;
}

}  // namespace eeprom
