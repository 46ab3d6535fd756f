#include "eeprom/detect.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "hardware/i2c_master.h"

namespace eeprom {
namespace {

using hardware::ChipFamily;
using hardware::ChipPart;

constexpr int kWindow = 32;
using Window = std::array<std::uint8_t, kWindow>;

// True when some byte of `window` from `from` on differs from the one 16
// bytes later: the contents at its start do not repeat every 16 bytes.
bool Varies(const Window& window, int from) {
    for (int k = from; k < 16; ++k) {
        if (window[static_cast<std::size_t>(k)] != window[static_cast<std::size_t>(k + 16)]) return true;
    }
    return false;
}

// What reading can prove about a size. A part of N bytes answers address A
// with its byte at A mod N; so does a part of 2N or more that holds the same
// N bytes over and over, and its address counter rolls over unseen the same
// way, so no read tells a wrap from contents that repeat. A read proves only
// that a part is larger than a size: the window one size on differs from the
// window at 0, where a part of that size (or of a size that divides it)
// would show the same bytes. The answer is the smallest size not disproved,
// twice the largest disproved of first, 2 first, ... last (or first); every
// larger size stays possible, so only the largest one a part of its kind can
// have is sure.
template <typename DiffersAt>
int SmallestPossible(int first, int last, DiffersAt differsAt) {
    int smallest = first;
    for (int size = first; size <= last; size *= 2) {
        if (differsAt(size)) smallest = 2 * size;
    }
    return smallest;
}

std::string Seen(int smallest, bool sure) {
    return sure ? "no wrap below " + std::to_string(smallest) + " bytes"
                : "the bytes at " + std::to_string(smallest) +
                      " repeat those at 0 (a wrap, or copies in a larger part: reading cannot tell)";
}

bool SameGeometry(const ChipPart& a, const ChipPart& b) {
    return a.family == b.family && a.bytes == b.bytes && a.addressBytes == b.addressBytes &&
           a.pageSize == b.pageSize && a.blockSelect == b.blockSelect;
}

void Settle(Detection& found) {
    found.sure =
        !found.candidates.empty() &&
        std::all_of(found.candidates.begin(), found.candidates.end(),
                    [&found](const ChipPart* part) { return SameGeometry(*part, *found.candidates[0]); });
}

// Memory parts of a family that `fits` accepts.
template <typename Fits>
void AddCandidates(Detection& found, ChipFamily family, Fits fits) {
    for (const ChipPart& part : hardware::kMemoryParts) {
        if (part.family == family && fits(part)) found.candidates.push_back(&part);
    }
}

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

// --- I2C ---------------------------------------------------------------------

class I2cProbe {
public:
    explicit I2cProbe(hardware::I2cMaster& i2c) : i2c_(i2c) {}

    bool Answers(int address) {
        std::uint8_t byte = 0;
        const hardware::I2cMessage read{static_cast<std::uint8_t>(address), true, {&byte, 1}};
        return i2c_.Transfer({&read, 1}).Ok();
    }
    // A random read with `count` word-address bytes (1 or 2) of `word`.
    std::optional<Window> Read(int device, int count, int word) {
        std::array<std::uint8_t, 2> address{static_cast<std::uint8_t>(word >> 8),
                                            static_cast<std::uint8_t>(word)};
        Window window{};
        const hardware::I2cMessage messages[] = {
            {static_cast<std::uint8_t>(device),
             false,
             {address.data() + 2 - count, static_cast<std::size_t>(count)}},
            {static_cast<std::uint8_t>(device), true, {window.data(), window.size()}}};
        if (i2c_.Capabilities().maxMessages >= 2) {
            if (!i2c_.Transfer(messages).Ok()) return std::nullopt;
        } else if (count > 1 || !i2c_.Transfer({messages, 1}).Ok() ||
                   !i2c_.Transfer({messages + 1, 1}).Ok()) {
            return std::nullopt;  // two bytes as a transfer of their own would be written
        }
        return window;
    }

private:
    hardware::I2cMaster& i2c_;
};

bool Has(const Detection& found, int address) {
    return std::find(found.answering.begin(), found.answering.end(), address) != found.answering.end();
}

// Blocks are the device addresses that answer from `base` on; a single
// block is a 24C01 or a 24C02, the latter proved by bytes at 0x80 that
// differ from those at 0.
void SizeOneByte(I2cProbe& probe, Detection& found, int base, const Window& at0) {
    int run = 1;
    while (run < 8 && Has(found, base + run)) ++run;
    const int blocks = run >= 8 ? 8 : run >= 4 ? 4 : run >= 2 ? 2 : 1;
    int smallest = blocks * 256;
    if (blocks == 1) {
        const std::optional<Window> at80 = probe.Read(base, 1, 0x80);
        smallest = at80 && *at80 != at0 ? 256 : 128;
    }
    AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
        return part.addressBytes == 1 && part.bytes >= smallest && part.bytes <= blocks * 256;
    });
    Settle(found);
    found.said = "One word-address byte, " + std::to_string(blocks) + " block" + (blocks > 1 ? "s" : "");
    if (blocks == 1) found.said += "; " + Seen(smallest, found.sure);
}

// The device addresses that answer beside `base` are taken as the part's
// blocks (a 24C1024's second, a 24M02's four, a 515's upper half at +4),
// as one part would answer; the size one address reaches is what reading
// proves of it.
void SizeTwoBytes(I2cProbe& probe, Detection& found, int base, const Window& at0) {
    const int smallest = SmallestPossible(4096, 32768, [&](int size) {
        const std::optional<Window> there = probe.Read(base, 2, size);
        return there && *there != at0;
    });
    const int blocks = Has(found, base + 3) && Has(found, base + 2) && Has(found, base + 1) ? 4
                       : Has(found, base + 1)                                               ? 2
                                                                                            : 1;
    const bool halves = blocks == 1 && Has(found, base + 4) && smallest <= 32768;
    bool upperDiffers = false;
    if (halves) {
        const std::optional<Window> upper = probe.Read(base + 4, 2, 0);
        upperDiffers = upper && *upper != at0;
    }
    AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
        if (part.addressBytes != 2) return false;
        const bool blockPart = part.blockSelect == hardware::BlockSelect::DeviceAddress;
        if (part.blockSelect == hardware::BlockSelect::UpperHalfAtPlus4) return halves;
        if (smallest == 65536 && blocks > 1) return blockPart && hardware::DeviceBlocks(part) == blocks;
        if (upperDiffers) return false;
        if (blockPart) return blocks > 1 && hardware::DeviceBlocks(part) == blocks;
        return part.bytes >= smallest;
    });
    Settle(found);
    found.said = "Two word-address bytes, " + std::to_string(upperDiffers ? 2 : blocks) + " device address" +
                 (blocks > 1 || upperDiffers ? "es" : "") + "; " + Seen(smallest, smallest == 65536);
}

// --- SPI ---------------------------------------------------------------------

std::optional<Window> SpiWindow(SpiFrames& frames, std::uint8_t opcode, int addressBytes, int address) {
    std::vector<std::uint8_t> out{opcode};
    for (int k = addressBytes - 1; k >= 0; --k) out.push_back(static_cast<std::uint8_t>(address >> (8 * k)));
    std::vector<std::uint8_t> in;
    if (!frames.Run(out, kWindow, in)) return std::nullopt;
    Window window{};
    std::copy_n(in.begin(), kWindow, window.begin());
    return window;
}

}  // namespace

Detection DetectI2c(hardware::I2cMaster& i2c) {
    Detection found;
    I2cProbe probe(i2c);
    i2c.Prepare();
    for (int address = 0x08; address <= 0x77; ++address) {
        if (probe.Answers(address)) found.answering.push_back(address);
    }
    int base = -1;
    for (int address = 0x50; address <= 0x57 && base < 0; ++address) {
        if (Has(found, address)) base = address;
    }
    if (base < 0) {
        found.said = "No memory answered at 0x50..0x57";
        return found;
    }
    found.device = base;
    // A one-byte part takes the second byte as data and reads on from the
    // first + 1 either way, so bytes that differ between the two-byte reads
    // at 0 and 0x10 prove two. Equal ones prove one only when the window at 0
    // varies within its first 32 bytes: a two-byte part would then have
    // shown the difference.
    const std::optional<Window> two0 = probe.Read(base, 2, 0x0000);
    const std::optional<Window> two10 = probe.Read(base, 2, 0x0010);
    const bool two = two0 && two10 && *two0 != *two10;
    const bool one = two0 && two10 && !two && Varies(*two0, 0);
    const std::optional<Window> one0 = one ? probe.Read(base, 1, 0x00) : std::nullopt;
    if (two) {
        SizeTwoBytes(probe, found, base, *two0);
    } else if (one0) {
        SizeOneByte(probe, found, base, *one0);
    } else {
        AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
            for (int b = 0; b < hardware::DeviceBlocks(part); ++b) {
                if (!Has(found, hardware::BlockDevice(part, base, b))) return false;
            }
            return true;
        });
        Settle(found);
        found.said = "The memory at " + Hex(base) +
                     " reads alike at its start, so neither its address bytes nor a wrap show";
    }
    return found;
}

Detection DetectSpi(PartBus bus, Progress& progress) {
    Detection found;
    SpiFrames frames(bus, progress);
    found.status = frames.Failed() ? -1 : frames.Status();
    if (found.status < 0 || found.status == 0xFF) {
        found.status = -1;
        found.said = kNoChipMessage;
        return found;
    }
    // Address bytes the part does not take come back as data: a read with
    // too many reads on from 1 or 2 whatever the last bytes say, so windows
    // that differ between the last bytes 0 and 0x10 prove at least that many.
    // A part that takes more sees our read's first bytes as its last address
    // bytes and answers from its start after one or two unknown bytes; it
    // would have shown a difference with its own count unless its first 48
    // bytes repeat every 16, so fewer bytes are proved only when the window
    // varies past its first two bytes.
    int addressBytes = 0;
    std::optional<Window> at0;
    for (int bytes = 3; bytes >= 1; --bytes) {
        at0 = SpiWindow(frames, 0x03, bytes, 0);
        const std::optional<Window> at10 = SpiWindow(frames, 0x03, bytes, 0x10);
        if (!at0 || !at10 || *at0 == *at10) continue;
        if (bytes == 3 || Varies(*at0, 2)) addressBytes = bytes;
        break;
    }
    const auto differsAt = [&](std::uint8_t opcode, int address) {
        const std::optional<Window> there = SpiWindow(frames, opcode, addressBytes, address);
        return there && *there != *at0;
    };
    int smallest = 0;
    if (addressBytes == 1) {
        smallest = differsAt(0x0B, 0) ? 512 : differsAt(0x03, 0x80) ? 256 : 128;  // 0x0B: A8 in the opcode
    } else if (addressBytes == 2) {
        smallest = SmallestPossible(1024, 32768, [&](int size) { return differsAt(0x03, size); });
    } else if (addressBytes == 3) {
        smallest = SmallestPossible(131072, 131072, [&](int size) { return differsAt(0x03, size); });
    }
    AddCandidates(found, ChipFamily::Spi, [&](const ChipPart& part) {
        return addressBytes == 0 || (part.addressBytes == addressBytes && part.bytes >= smallest);
    });
    Settle(found);
    const int level = (found.status >> 2) & 3;
    found.said = "Status register " + Hex(found.status) + " (BP1=" + std::to_string(level >> 1) +
                 ", BP0=" + std::to_string(level & 1) + ")" +
                 (addressBytes == 0
                      ? "; the part reads alike at its start, so neither its address bytes nor a wrap show"
                      : "; " + std::to_string(addressBytes) + " address byte" +
                            (addressBytes > 1 ? "s, " : ", ") + Seen(smallest, found.sure));
    return found;
}

}  // namespace eeprom
