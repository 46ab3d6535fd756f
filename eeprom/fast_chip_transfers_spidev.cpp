// The fast whole-chip transfers of the serial memories over an SPI master
// (spidev): the same instructions as the parallel adapter's serial lines
// speak, framed in whole bytes.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "eeprom/fast_chip_transfers.h"
#include "eeprom/serial_chip_shape.h"
#include "hardware/bus_adapter.h"
#include "hardware/serial_lines.h"

namespace eeprom {
namespace {

using serial_chip::MarkDifferences;
using serial_chip::SerialShape;
using serial_chip::ShapeOf;

constexpr const hardware::ChipCommands& kMicrowire = hardware::kMicrowireCommands;
constexpr const hardware::ChipCommands& kSpi = hardware::kSpiCommands;

// --- The same transfers over an SPI master (spidev) ---------------------------
//
// A 25xx instruction is whole bytes. A Microwire frame is not: it is padded
// in front with zeros, which the chip ignores until its start bit, and its
// read data come one bit later than the bytes suggest (the dummy 0 after the
// address), so they are taken out of the received bits by position.

// Units (bytes or words) per READ instruction at most, so the progress moves.
constexpr int kSpiChunkBytes = 256;

class BitFrame {
public:
    void Add(std::uint32_t value, int count) {
        for (int b = count - 1; b >= 0; --b) bits_.push_back(static_cast<std::uint8_t>((value >> b) & 1u));
    }
    // The frame in whole bytes, zeros in front; Pad() says how many.
    std::vector<std::uint8_t> Bytes() {
        pad_ = (8 - static_cast<int>(bits_.size() % 8)) % 8;
        std::vector<std::uint8_t> bytes((bits_.size() + static_cast<std::size_t>(pad_)) / 8, 0);
        for (std::size_t k = 0; k < bits_.size(); ++k) {
            const std::size_t at = k + static_cast<std::size_t>(pad_);
            bytes[at / 8] = static_cast<std::uint8_t>(bytes[at / 8] | (bits_[k] << (7 - at % 8)));
        }
        return bytes;
    }
    int Pad() const { return pad_; }

private:
    std::vector<std::uint8_t> bits_;
    int pad_ = 0;
};

// Bit `k` (from the first) of what came in.
int BitAt(const std::vector<std::uint8_t>& in, int k) {
    return (in[static_cast<std::size_t>(k / 8)] >> (7 - k % 8)) & 1;
}

// The master and the sentence for when it refuses a transfer.
struct SpiBus {
    SpiBus(hardware::SpiMaster& master, Progress& bar) : spi(master), progress(bar) {}

    hardware::SpiMaster& spi;
    Progress& progress;
    bool failed = false;
    std::vector<std::uint8_t> in;

    // Runs one frame; after a refusal nothing more is sent.
    bool Run(const std::vector<std::uint8_t>& out) {
        if (!failed && !spi.Transfer(out, in)) {
            failed = true;
            progress.Message(kSpiFailedMessage);
        }
        return !failed;
    }
};

// Microwire READ of `units` units from `address`: the start bit, 10, the
// address, then the dummy and the data clocked with zeros. False when the
// master refused it; `dummyLow` tells whether a chip drove the dummy 0.
bool MicrowireRead(SpiBus& bus, const ChipParams& chip, int address, int units, bool* dummyLow = nullptr) {
    BitFrame frame;
    frame.Add(1, 1);
    frame.Add(kMicrowire.read, 2);
    frame.Add(static_cast<std::uint32_t>(address), chip.addressBits + 1);
    const int dummyAt = 3 + chip.addressBits + 1;
    for (int k = 0; k < 1 + units * chip.organisation; ++k) frame.Add(0, 1);
    const std::vector<std::uint8_t> out = frame.Bytes();
    if (!bus.Run(out)) return false;
    if (dummyLow) *dummyLow = BitAt(bus.in, frame.Pad() + dummyAt) == 0;
    return true;
}

// The units one READ may take within the master's transfer limit (at least one).
int SpiUnitsPerRead(const hardware::SpiMaster& spi, const ChipParams& chip, const SerialShape& shape) {
    const auto limit = static_cast<int>(std::min<std::size_t>(spi.MaxTransferBytes(), 1u << 20));
    int units = 0;
    if (shape.microwire) {
        const int headerBits = 3 + chip.addressBits + 1 + 1 + 7;  // with the dummy and the most padding
        units = (limit * 8 - headerBits) / shape.organisation;
    } else {
        units = limit - 1 - chip.addressBits / 8;
    }
    return std::clamp(units, 1, kSpiChunkBytes * 8 / shape.organisation);
}

// The 25xx READ or WRITE of `address`: A8 rides in opcode bit 3 where the
// address is one byte (AT25C040).
std::vector<std::uint8_t> SpiCommand(std::uint32_t opcode, int address, int addressBits) {
    const auto a8 = static_cast<std::uint32_t>(address >> 8) & 1u;
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(addressBits == 8 ? opcode | (a8 << 3) : opcode)};
    if (addressBits == 16) out.push_back(static_cast<std::uint8_t>(address >> 8));
    out.push_back(static_cast<std::uint8_t>(address));
    return out;
}

bool ReadArray(SpiBus& bus, const ChipParams& chip, const SerialShape& shape, Image& image) {
    const int perRead = SpiUnitsPerRead(bus.spi, chip, shape);
    const int bytesPerUnit = shape.organisation / 8;
    for (int done = 0; done < shape.units;) {
        const int units = std::min(perRead, shape.units - done);
        const auto at = static_cast<std::size_t>(done * bytesPerUnit);
        if (shape.microwire) {
            if (!MicrowireRead(bus, chip, done, units)) return false;
            const int first = static_cast<int>(bus.in.size()) * 8 - units * shape.organisation;
            for (int k = 0; k < units * bytesPerUnit; ++k) {
                int byte = 0;
                for (int b = 0; b < 8; ++b) byte = (byte << 1) | BitAt(bus.in, first + k * 8 + b);
                image[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(byte);
            }
        } else {
            std::vector<std::uint8_t> out = SpiCommand(kSpi.read, done, chip.addressBits);
            const std::size_t header = out.size();
            out.resize(header + static_cast<std::size_t>(units));
            if (!bus.Run(out)) return false;
            std::copy_n(bus.in.begin() + static_cast<std::ptrdiff_t>(header), units,
                        image.begin() + static_cast<std::ptrdiff_t>(at));
        }
        done += units;
        bus.progress.SetPosition(done);
    }
    return true;
}

// The select level the family needs; false (said through `progress`) when
// the master cannot give it.
bool SelectFor(hardware::SpiMaster& spi, const SerialShape& shape, Progress& progress) {
    std::string error;
    if (spi.SetSelectActiveHigh(shape.microwire, error)) return true;
    progress.Message(error);
    return false;
}

// RDSR, or a Microwire READ of address 0 whose dummy bit shows a chip.
bool ChipAnswers(SpiBus& bus, const ChipParams& chip) {
    const SerialShape shape = ShapeOf(chip, kImageSize);
    if (shape.bytes <= 0) return true;
    bool answered = false;
    if (shape.microwire) {
        (void)MicrowireRead(bus, chip, 0, 1, &answered);
    } else if (bus.Run({static_cast<std::uint8_t>(kSpi.readStatus), 0})) {
        answered = bus.in[1] != 0xFF;
    }
    if (!answered && !bus.failed) bus.progress.Message(kNoChipMessage);
    return answered;
}

bool ReadWholeChip(SpiBus& bus, const ChipParams& chip, Image& image) {
    const SerialShape shape = ShapeOf(chip, image.Size());
    bus.progress.SetRange(0, chip.capacity);
    const bool ok = shape.units == 0 || ReadArray(bus, chip, shape, image);
    bus.progress.SetRange(0, kProgressMax);
    bus.progress.SetPosition(0);
    return ok;
}

// Polls until the chip is ready or `timeoutMs` pass: a 25xx by RDSR, a
// Microwire chip by clocking zeros while selected (DO high once ready).
bool WaitReady(SpiBus& bus, bool microwire, int timeoutMs) {
    hardware::Deadline deadline(bus.spi, timeoutMs);
    const std::vector<std::uint8_t> poll =
        microwire ? std::vector<std::uint8_t>{0} : std::vector<std::uint8_t>{kSpi.readStatus, 0};
    for (;;) {
        if (!bus.Run(poll)) return false;
        if (microwire ? bus.in[0] != 0 : !(bus.in[1] & kSpi.busyBit)) return true;
        if (deadline.Passed()) return false;
    }
}

// EWEN or EWDS.
bool MicrowireEnableWrites(SpiBus& bus, int n, bool enable) {
    BitFrame frame;
    frame.Add(1, 1);
    frame.Add(0, 2);
    frame.Add(enable ? kMicrowire.writeEnable : 0, 2);
    frame.Add(0, n - 1);
    return bus.Run(frame.Bytes());
}

bool WriteWholeChip(SpiBus& bus, const ChipParams& chip, const Image& image) {
    const SerialShape shape = ShapeOf(chip, image.Size());
    const int n = chip.addressBits;
    Progress& progress = bus.progress;
    bool ready = true;
    if (shape.microwire) {
        ready = MicrowireEnableWrites(bus, n, true);
        for (int i = 0; i < shape.units && ready && !progress.Cancelled(); ++i) {
            const auto at = static_cast<std::size_t>(i * shape.organisation / 8);
            const int data = shape.organisation == 16 ? image[at] * 256 + image[at + 1] : image[at];
            BitFrame frame;
            frame.Add(1, 1);
            frame.Add(kMicrowire.write, 2);
            frame.Add(static_cast<std::uint32_t>(i), n + 1);
            frame.Add(static_cast<std::uint32_t>(data), shape.organisation);
            ready = bus.Run(frame.Bytes()) && WaitReady(bus, true, kChipWaitLimitMs);
            progress.SetPosition(i + 1);
        }
        if (ready) ready = MicrowireEnableWrites(bus, n, false);
    } else if (shape.spi) {
        const int page = SpiPageSize(chip);
        for (int start = 0; start < shape.bytes && ready && !progress.Cancelled(); start += page) {
            const int count = std::min(page, shape.bytes - start);
            std::vector<std::uint8_t> out = SpiCommand(kSpi.write, start, n);
            out.insert(out.end(), image.begin() + start, image.begin() + start + count);
            // WREN takes effect as its select rises; the cycle starts as the WRITE's rises.
            ready = bus.Run({static_cast<std::uint8_t>(kSpi.writeEnable)}) && bus.Run(out) &&
                    WaitReady(bus, false, kChipWaitLimitMs);
            progress.SetPosition(start + count);
        }
    }
    return ready;
}

}  // namespace

bool ReadChipFast(hardware::SpiMaster& spi, const ChipParams& chip, Image& image, Image& marks,
                  Progress& progress) {
    SpiBus bus{spi, progress};
    const SerialShape shape = ShapeOf(chip, image.Size());
    if (shape.bytes > 0 && (!SelectFor(spi, shape, progress) || !ChipAnswers(bus, chip))) return false;
    marks.fill(kMarkNone);
    image.fill(0);
    return ReadWholeChip(bus, chip, image);
}

bool WriteChipFast(hardware::SpiMaster& spi, const ChipParams& chip, Image& image, Image& marks,
                   Progress& progress, Image* readBack) {
    SpiBus bus{spi, progress};
    const SerialShape shape = ShapeOf(chip, image.Size());
    if (shape.bytes > 0 && (!SelectFor(spi, shape, progress) || !ChipAnswers(bus, chip))) return false;
    ClearVerifyMarks(chip, marks);
    progress.SetRange(0, chip.capacity);
    (void)WriteWholeChip(bus, chip, image);
    if (bus.failed) return false;
    if (progress.Cancelled()) return true;  // the caller asked to stop: no read-back
    const Image written = image;
    const bool read = ReadWholeChip(bus, chip, image);
    if (read) MarkDifferences(written, image, marks, readBack);
    image = written;
    return read;
}

}  // namespace eeprom
