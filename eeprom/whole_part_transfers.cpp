// The whole-part loops: block by block on I2C (each device address of the
// part its own sequential reads), page by page for writes, and the 25xx
// instructions as frames that an SPI master or the bit-banged lines carry.
#include "eeprom/whole_part_transfers.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "eeprom/fast_chip_transfers.h"
#include "eeprom/hex_text.h"
#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"

namespace eeprom {
namespace {

using hardware::ChipFamily;
using hardware::ChipPart;
using hardware::LineStep;

// The 25xx instructions and status bits of the chip table.
constexpr const hardware::ChipCommands& kSpi = hardware::kSpiCommands;
// Bytes per sequential read at most, so the progress moves.
constexpr int kReadChunk = 4096;

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// The range a write or verify covers, inside the part; false when it is not.
bool RangeOf(const ChipPart& part, const PartWrite& write, int& first, int& end) {
    first = write.first;
    end = write.count < 0 ? part.bytes : write.first + write.count;
    return first >= 0 && first <= end && end <= part.bytes;
}

// The checks every entry point makes before touching the bus.
bool Usable(const PartBus& bus, const ChipPart& part, const Image& image, Progress& progress) {
    const bool i2c = part.family == ChipFamily::I2c;
    if ((i2c && bus.i2c == nullptr) || (!i2c && (part.family != ChipFamily::Spi || bus.i2c != nullptr))) {
        progress.Message("The " + std::string(part.name) + " is not on this bus");
        return false;
    }
    if (image.Size() != part.bytes) {
        progress.Message("The image holds " + std::to_string(image.Size()) + " bytes; the " +
                         std::string(part.name) + " holds " + std::to_string(part.bytes));
        return false;
    }
    return true;
}

int WaitLimitMs(const ChipPart& part) { return 2 * part.writeCycleMaxUs / 1000; }

// --- I2C ---------------------------------------------------------------------

// The block's device address and the word address of `at` in it.
struct I2cSpot {
    std::uint8_t device;
    int word;
};
I2cSpot SpotOf(const ChipPart& part, int base, int at) {
    const int blockBytes = hardware::BlockBytes(part);
    return {static_cast<std::uint8_t>(hardware::BlockDevice(part, base, at / blockBytes)), at % blockBytes};
}

int WordBytes(const ChipPart& part, int word, std::uint8_t* out) {
    for (int k = 0; k < part.addressBytes; ++k) {
        out[k] = static_cast<std::uint8_t>(word >> (8 * (part.addressBytes - 1 - k)));
    }
    return part.addressBytes;
}

// A random read: the word address written, the bytes read after a repeated
// START, or as two transfers on an adapter that takes one message at a time.
hardware::I2cResult RandomRead(hardware::I2cMaster& i2c, const ChipPart& part, I2cSpot spot,
                               std::uint8_t* bytes, int count) {
    std::uint8_t word[2];
    const int n = WordBytes(part, spot.word, word);
    const hardware::I2cMessage messages[] = {{spot.device, false, {word, static_cast<std::size_t>(n)}},
                                             {spot.device, true, {bytes, static_cast<std::size_t>(count)}}};
    if (i2c.Capabilities().maxMessages >= 2) return i2c.Transfer(messages);
    const hardware::I2cResult first = i2c.Transfer({messages, 1});
    return first.Ok() ? i2c.Transfer({messages + 1, 1}) : first;
}

// Whether the memory acknowledges its base address; else the sentence names
// the adapter when it was the adapter that failed, and says `nothing` ("nothing
// was read").
bool I2cAnswers(hardware::I2cMaster& i2c, const ChipPart& part, int base, AdapterWatch& watch,
                const char* nothing, Progress& progress) {
    i2c.Prepare();
    if (PollAck(i2c, static_cast<std::uint8_t>(base), WaitLimitMs(part), &watch)) return true;
    progress.Message(watch.AdapterFailed() ? AdapterFailureText(i2c, watch.Last()) + "; " + nothing
                                           : "No I2C memory answered at " + Hex(base));
    return false;
}

std::string BytesText(const ChipPart& part, int from, int end) {
    return "bytes " + ChipAddressText(from, part.bytes) + ".." + ChipAddressText(end - 1, part.bytes);
}

bool ReadI2c(hardware::I2cMaster& i2c, int base, const ChipPart& part, Image& image, int first, int end,
             Progress& progress) {
    AdapterWatch watch;
    if (!I2cAnswers(i2c, part, base, watch, "nothing was read", progress)) return false;
    const int blockBytes = hardware::BlockBytes(part);
    int fails = 0;
    for (int at = first; at < end;) {
        if (progress.Cancelled()) return false;
        const int room = std::max(i2c.Capabilities().ReadBytes(), 1);
        const int count = std::min({kReadChunk, room, blockBytes - at % blockBytes, end - at});
        const hardware::I2cResult result =
            RandomRead(i2c, part, SpotOf(part, base, at), image.data() + at, count);
        if (result.Ok()) {
            (void)watch.Ends(result);
            at += count;
            progress.SetPosition(at - first);
            continue;
        }
        i2c.Recover();
        if (watch.Ends(result)) {
            progress.Message(AdapterFailureText(i2c, result.status) + " at byte " +
                             ChipAddressText(at, part.bytes) + "; the " + std::string(part.name) +
                             " was not read in full");
            return false;
        }
        if (++fails > kReadFailLimit) {
            progress.Message("The I2C memory at " + Hex(base) + " stopped answering at byte " +
                             ChipAddressText(at, part.bytes) + "; it was not read in full");
            return false;
        }
    }
    return true;
}

bool WriteI2c(hardware::I2cMaster& i2c, int base, const ChipPart& part, const Image& image, int first,
              int end, Progress& progress) {
    AdapterWatch watch;
    if (!I2cAnswers(i2c, part, base, watch, "nothing was written", progress)) return false;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(2 + part.pageSize));
    int fails = 0;
    // The pages before `at` were taken (acknowledged, then STOP started
    // their write cycles); the one at `at` may have been cut short.
    const auto adapterFailed = [&](int at) {
        std::string sentence = AdapterFailureText(i2c, watch.Last());
        if (at == first) {
            sentence += "; nothing was written";
        } else {
            sentence += " at byte " + ChipAddressText(at, part.bytes) + ": " + BytesText(part, first, at) +
                        " (" + std::to_string(at - first) + " of " + std::to_string(end - first) +
                        ") hold the new data; " + BytesText(part, at, end) +
                        " may still hold their old contents";
        }
        progress.Message(sentence);
        i2c.Recover();
        return false;
    };
    for (int at = first; at < end && !progress.Cancelled();) {
        // Never across the part's page: it would wrap and overwrite the page's start.
        const int room = std::max(i2c.Capabilities().maxMessageBytes - part.addressBytes, 1);
        const int count = std::min({part.pageSize - at % part.pageSize, end - at, room});
        const I2cSpot spot = SpotOf(part, base, at);
        const int n = WordBytes(part, spot.word, buffer.data());
        std::copy_n(image.begin() + at, count, buffer.begin() + n);
        const hardware::I2cMessage write{
            spot.device, false, {buffer.data(), static_cast<std::size_t>(n + count)}};
        const hardware::I2cResult sent = i2c.Transfer({&write, 1});
        if (watch.Ends(sent)) return adapterFailed(at);
        if (!sent.Ok()) {
            i2c.Recover();
            // Another master holds the bus: give it a millisecond to finish
            // its transfer, so the tries span a quarter second, not a burst.
            if (sent.status == hardware::I2cStatus::BusBusy) i2c.SleepMs(1);
            if (++fails < kWriteFailLimit) continue;
        } else {
            fails = 0;
            at += count;
            progress.SetPosition(at - first);
            if (PollAck(i2c, spot.device, WaitLimitMs(part), &watch)) continue;
            if (watch.AdapterFailed()) return adapterFailed(at);
        }
        progress.Message("The I2C memory at " + Hex(spot.device) + " did not take the page at byte " +
                         ChipAddressText(at, part.bytes) + "; the write stopped there");
        i2c.Recover();
        return false;
    }
    return true;
}

// --- SPI ---------------------------------------------------------------------

bool WaitReady(SpiFrames& frames, hardware::BusAdapter& adapter, const ChipPart& part) {
    hardware::Deadline deadline(adapter, WaitLimitMs(part));
    for (;;) {
        const int status = frames.Status();
        if (status < 0) return false;
        if (!(status & kSpi.busyBit)) return true;
        if (deadline.Passed()) return false;
    }
}

hardware::BusAdapter& AdapterOf(const PartBus& bus) {
    if (bus.spi) return *bus.spi;
    return *bus.lines;
}

// WREN, WRSR `status`, and the wait for its cycle.
bool WriteStatus(SpiFrames& frames, const PartBus& bus, const ChipPart& part, std::uint8_t status) {
    std::vector<std::uint8_t> in;
    return frames.Run({kSpi.writeEnable}, 0, in) && frames.Run({kSpi.writeStatus, status}, 0, in) &&
           WaitReady(frames, AdapterOf(bus), part);
}

// RDSR shows a chip: an empty socket reads 0xFF.
int SpiStatus(SpiFrames& frames, Progress& progress) {
    const int status = frames.Status();
    if (status == 0xFF) progress.Message(kNoChipMessage);
    return status == 0xFF ? -1 : status;
}

bool ReadSpi(SpiFrames& frames, const ChipPart& part, Image& image, int first, int end, Progress& progress) {
    if (SpiStatus(frames, progress) < 0) return false;
    std::vector<std::uint8_t> in;
    for (int at = first; at < end;) {
        if (progress.Cancelled()) return false;
        const std::vector<std::uint8_t> out = SpiInstruction(part, kSpi.read, at);
        const int count = std::min({kReadChunk, frames.MaxRead(static_cast<int>(out.size())), end - at});
        if (!frames.Run(out, count, in)) return false;
        std::copy_n(in.begin(), count, image.begin() + at);
        at += count;
        progress.SetPosition(at - first);
    }
    return true;
}

std::string ProtectionSentence(const ChipPart& part, int status, int from) {
    return "The " + std::string(part.name) + "'s block protection (BP1=" + std::to_string((status >> 3) & 1) +
           ", BP0=" + std::to_string((status >> 2) & 1) + ") guards " + ChipAddressText(from, part.bytes) +
           ".." + ChipAddressText(part.bytes - 1, part.bytes);
}

// Whether the block protection in `status` guards bytes of [first, end); the
// refusal said through `progress` when the write may not clear it.
bool Guarded(const ChipPart& part, int status, int first, int end, bool unprotect, Progress& progress) {
    const int from = ProtectedFrom(part, static_cast<std::uint8_t>(status));
    const bool guarded = end > from && end > first;
    if (guarded && !unprotect)
        progress.Message(ProtectionSentence(part, status, from) +
                         ", which this write would change; nothing was written (unprotect clears the bits "
                         "for the write and sets them again after it)");
    return guarded;
}

bool WriteSpi(SpiFrames& frames, const PartBus& bus, const ChipPart& part, const Image& image, int first,
              int end, bool unprotect, Progress& progress) {
    const int status = SpiStatus(frames, progress);
    if (status < 0) return false;
    const int from = ProtectedFrom(part, static_cast<std::uint8_t>(status));
    const bool guarded = Guarded(part, status, first, end, unprotect, progress);
    if (guarded && !unprotect) return false;
    if (guarded) {
        const auto cleared = static_cast<std::uint8_t>(status & kSpi.writableStatus & ~kSpi.protectBits);
        if (!WriteStatus(frames, bus, part, cleared) || (frames.Status() & kSpi.protectBits) != 0) {
            if (!frames.Failed())
                progress.Message(ProtectionSentence(part, status, from) +
                                 " and the chip kept it (WPEN with /WP held low?); nothing was written");
            return false;
        }
    }
    std::vector<std::uint8_t> in;
    bool ok = true;
    for (int at = first; at < end && ok && !progress.Cancelled();) {
        const int count = std::min(part.pageSize - at % part.pageSize, end - at);
        std::vector<std::uint8_t> out = SpiInstruction(part, kSpi.write, at);
        out.insert(out.end(), image.begin() + at, image.begin() + at + count);
        // WREN takes effect as its select rises; the cycle starts as the WRITE's rises.
        ok = frames.Run({kSpi.writeEnable}, 0, in) && frames.Run(out, 0, in);
        if (ok && !WaitReady(frames, AdapterOf(bus), part)) {
            progress.Message("The " + std::string(part.name) + " stayed busy after the page at " +
                             ChipAddressText(at, part.bytes) + "; the write stopped there");
            ok = false;
        }
        at += count;
        progress.SetPosition(at - first);
    }
    if (guarded && !WriteStatus(frames, bus, part, static_cast<std::uint8_t>(status & kSpi.writableStatus))) {
        if (!frames.Failed()) progress.Message("The block protection could not be set again");
        return false;
    }
    return ok && !frames.Failed();
}

// Progress set up for `total` bytes and put back after, as the other transfers leave it.
class ProgressSpan {
public:
    ProgressSpan(Progress& progress, int total) : progress_(progress) { progress_.SetRange(0, total); }
    ~ProgressSpan() {
        progress_.SetRange(0, kProgressMax);
        progress_.SetPosition(0);
    }
    ProgressSpan(const ProgressSpan&) = delete;
    ProgressSpan& operator=(const ProgressSpan&) = delete;

private:
    Progress& progress_;
};

}  // namespace

int ProtectedFrom(const ChipPart& part, std::uint8_t status) {
    const int level = (status >> 2) & 3;
    if (level == 0) return part.bytes;
    return level == 3 ? 0 : part.bytes - part.bytes / (level == 1 ? 4 : 2);
}

std::vector<std::uint8_t> SpiInstruction(const ChipPart& part, std::uint8_t opcode, int address) {
    const bool a8 = part.blockSelect == hardware::BlockSelect::OpcodeBit3 && ((address >> 8) & 1);
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(a8 ? opcode | 0x08 : opcode)};
    for (int k = part.addressBytes - 1; k >= 0; --k)
        out.push_back(static_cast<std::uint8_t>(address >> (8 * k)));
    return out;
}

SpiFrames::SpiFrames(PartBus bus, Progress& progress) : bus_(bus), progress_(progress) {
    std::string error;
    if (bus_.spi && !bus_.spi->SetSelectActiveHigh(false, error)) {
        failed_ = true;
        progress_.Message(error);
    }
}

SpiFrames::~SpiFrames() {
    if (bus_.lines) LinesIdleHigh(*bus_.lines);
}

int SpiFrames::MaxRead(int header) const {
    if (!bus_.spi) return kReadChunk;
    const auto limit = static_cast<int>(std::min<std::size_t>(bus_.spi->MaxTransferBytes(), 1u << 20));
    return std::max(limit - header, 1);
}

bool SpiFrames::Run(const std::vector<std::uint8_t>& out, int readBytes, std::vector<std::uint8_t>& in) {
    if (failed_) return false;
    if (bus_.spi) {
        std::vector<std::uint8_t> frame = out;
        frame.resize(out.size() + static_cast<std::size_t>(readBytes), 0);
        std::vector<std::uint8_t> all;
        if (!bus_.spi->Transfer(frame, all)) {
            failed_ = true;
            progress_.Message(kSpiFailedMessage);
            return false;
        }
        in.assign(all.begin() + static_cast<std::ptrdiff_t>(out.size()), all.end());
        return true;
    }
    std::vector<LineStep> steps{LineStep::Set(hardware::kClockLine, false, true),
                                LineStep::Set(hardware::kSelectLine, false)};
    for (std::uint8_t byte : out) steps.push_back(LineStep::Out(byte, 8));
    if (readBytes > 0) steps.push_back(LineStep::In(readBytes * 8, true));  // SO changes after the fall
    const std::vector<std::uint8_t> bits = bus_.lines->Run(steps);
    in.assign(static_cast<std::size_t>(readBytes), 0);
    for (int k = 0; k < readBytes * 8 && static_cast<std::size_t>(k) < bits.size(); ++k) {
        in[static_cast<std::size_t>(k / 8)] = static_cast<std::uint8_t>(
            (in[static_cast<std::size_t>(k / 8)] << 1) | bits[static_cast<std::size_t>(k)]);
    }
    const LineStep release[] = {LineStep::Set(hardware::kClockLine, false),
                                LineStep::Set(hardware::kSelectLine, true)};
    (void)bus_.lines->Run(release);
    return true;
}

int SpiFrames::Status() {
    std::vector<std::uint8_t> in;
    return Run({kSpi.readStatus}, 1, in) ? in[0] : -1;
}

namespace {

// Usable, and the range inside the part (else one sentence naming `what`: "read", "write").
bool UsableRange(const PartBus& bus, const ChipPart& part, const Image& image, Progress& progress,
                 const PartWrite& range, const char* what, int& first, int& end) {
    if (!Usable(bus, part, image, progress)) return false;
    if (RangeOf(part, range, first, end)) return true;
    progress.Message("The " + std::string(what) + "'s range lies outside the " + std::string(part.name));
    return false;
}

}  // namespace

bool ReadPartFast(PartBus bus, const ChipPart& part, Image& image, Progress& progress,
                  const PartWrite& range) {
    int first = 0;
    int end = 0;
    if (!UsableRange(bus, part, image, progress, range, "read", first, end)) return false;
    ProgressSpan span(progress, end - first);
    if (bus.i2c) return ReadI2c(*bus.i2c, bus.base, part, image, first, end, progress);
    SpiFrames frames(bus, progress);
    return !frames.Failed() && ReadSpi(frames, part, image, first, end, progress);
}

bool WritePartFast(PartBus bus, const ChipPart& part, const Image& image, Progress& progress,
                   const PartWrite& write) {
    int first = 0;
    int end = 0;
    if (!UsableRange(bus, part, image, progress, write, "write", first, end)) return false;
    ProgressSpan span(progress, end - first);
    if (bus.i2c) return WriteI2c(*bus.i2c, bus.base, part, image, first, end, progress);
    SpiFrames frames(bus, progress);
    return !frames.Failed() && WriteSpi(frames, bus, part, image, first, end, write.unprotect, progress);
}

bool PartWriteRefused(PartBus bus, const ChipPart& part, const PartWrite& write, Progress& progress) {
    int first = 0;
    int end = 0;
    if (bus.i2c || write.unprotect || !RangeOf(part, write, first, end)) return false;
    SpiFrames frames(bus, progress);
    const int status = frames.Failed() ? -1 : frames.Status();
    return status >= 0 && status != 0xFF && Guarded(part, status, first, end, false, progress);
}

bool VerifyPartFast(PartBus bus, const ChipPart& part, const Image& expected, Image& marks,
                    Progress& progress, int& mismatches, const PartWrite& range) {
    mismatches = 0;
    int first = 0;
    int end = 0;
    if (!Usable(bus, part, expected, progress) || marks.Size() != part.bytes ||
        !RangeOf(part, range, first, end))
        return false;
    Image read(part.bytes);
    if (!ReadPartFast(bus, part, read, progress, range)) return false;
    marks.fill(kMarkNone);
    for (int k = first; k < end; ++k) {
        if (read[static_cast<std::size_t>(k)] == expected[static_cast<std::size_t>(k)]) continue;
        marks[static_cast<std::size_t>(k)] = kMarkMismatch;
        ++mismatches;
    }
    return true;
}

bool FillPartFast(PartBus bus, const ChipPart& part, std::uint8_t value, Progress& progress,
                  const PartWrite& write) {
    return WritePartFast(bus, part, Image(part.bytes, value), progress, write);
}

}  // namespace eeprom
