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

bool Uniform(const Window& window) {
    return std::all_of(window.begin(), window.end(), [&window](std::uint8_t b) { return b == window[0]; });
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

void SizeOneByte(I2cProbe& probe, Detection& found, int base, const Window& at0) {
    int run = 1;
    while (run < 8 && Has(found, base + run)) ++run;
    const int blocks = run >= 8 ? 8 : run >= 4 ? 4 : run >= 2 ? 2 : 1;
    int bytes = blocks * 256;
    if (blocks == 1) {
        const std::optional<Window> at80 = probe.Read(base, 1, 0x80);
        if (at80 && *at80 == at0 && !Uniform(at0)) bytes = 128;
        if (!at80 || (*at80 == at0 && Uniform(at0))) bytes = 0;  // 24C01 or 24C02
    }
    AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
        return part.addressBytes == 1 && (bytes == 0 ? part.bytes <= 256 : part.bytes == bytes);
    });
    found.said = "One word-address byte, " + std::to_string(blocks) + " block" + (blocks > 1 ? "s" : "") +
                 (bytes == 0 ? "; its contents show no wrap at 128" : "");
}

void SizeTwoBytes(I2cProbe& probe, Detection& found, int base, const Window& at0) {
    int block = 65536;
    for (int size = 4096; size < 65536; size *= 2) {
        const std::optional<Window> there = probe.Read(base, 2, size);
        if (there && *there == at0) {
            block = size;
            break;
        }
    }
    const int blocks = Has(found, base + 3) && Has(found, base + 2) && Has(found, base + 1) ? 4
                       : Has(found, base + 1)                                               ? 2
                                                                                            : 1;
    bool upperHalf = false;
    if (block == 32768 && !Has(found, base + 1) && Has(found, base + 4)) {
        const std::optional<Window> upper = probe.Read(base + 4, 2, 0);
        upperHalf = upper && *upper != at0;
    }
    AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
        if (part.addressBytes != 2) return false;
        if (upperHalf) return part.blockSelect == hardware::BlockSelect::UpperHalfAtPlus4;
        if (block < 65536) return part.bytes == block && part.blockSelect == hardware::BlockSelect::None;
        return part.bytes == block * blocks && part.blockSelect != hardware::BlockSelect::UpperHalfAtPlus4;
    });
    found.said = "Two word-address bytes; the addresses wrap at " + std::to_string(block) + " bytes, " +
                 std::to_string(upperHalf ? 2 : blocks) + " device address" +
                 (blocks > 1 || upperHalf ? "es" : "");
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
    // first + 1 either way; a two-byte part reads from 0 and from 0x10.
    const std::optional<Window> two0 = probe.Read(base, 2, 0x0000);
    const std::optional<Window> two10 = probe.Read(base, 2, 0x0010);
    const std::optional<Window> one0 = probe.Read(base, 1, 0x00);
    const std::optional<Window> one10 = probe.Read(base, 1, 0x10);
    if (two0 && two10 && *two0 != *two10) {
        SizeTwoBytes(probe, found, base, *two0);
    } else if (two0 && one0 && one10 && *one0 != *one10) {
        SizeOneByte(probe, found, base, *one0);
    } else {
        AddCandidates(found, ChipFamily::I2c, [&](const ChipPart& part) {
            for (int b = 0; b < hardware::DeviceBlocks(part); ++b) {
                if (!Has(found, hardware::BlockDevice(part, base, b))) return false;
            }
            return true;
        });
        found.said = "The memory at " + Hex(base) + " reads alike everywhere, so its addresses show no wrap";
    }
    Settle(found);
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
    // too many reads on from 1 or 2 whatever the last bytes say.
    int addressBytes = 0;
    std::optional<Window> at0;
    for (int bytes = 3; bytes >= 1 && addressBytes == 0; --bytes) {
        at0 = SpiWindow(frames, 0x03, bytes, 0);
        const std::optional<Window> at10 = SpiWindow(frames, 0x03, bytes, 0x10);
        if (at0 && at10 && *at0 != *at10) addressBytes = bytes;
    }
    int size = 0;
    if (addressBytes == 1) {
        const std::optional<Window> at80 = SpiWindow(frames, 0x03, 1, 0x80);
        const std::optional<Window> a8 = SpiWindow(frames, 0x0B, 1, 0);  // A8 in the opcode
        size = at80 && *at80 == *at0 ? 128 : a8 && *a8 == *at0 ? 256 : 512;
    } else if (addressBytes == 2) {
        size = 65536;
        for (int s = 1024; s < 65536 && size == 65536; s *= 2) {
            const std::optional<Window> there = SpiWindow(frames, 0x03, 2, s);
            if (there && *there == *at0) size = s;
        }
    } else if (addressBytes == 3) {
        const std::optional<Window> there = SpiWindow(frames, 0x03, 3, 0x20000);
        size = there && *there == *at0 ? 131072 : 262144;
    }
    AddCandidates(found, ChipFamily::Spi,
                  [&](const ChipPart& part) { return size == 0 || part.bytes == size; });
    const int level = (found.status >> 2) & 3;
    found.said =
        "Status register " + Hex(found.status) + " (BP1=" + std::to_string(level >> 1) +
        ", BP0=" + std::to_string(level & 1) + ")" +
        (size == 0 ? "; the part reads alike everywhere, so its addresses show no wrap"
                   : "; " + std::to_string(addressBytes) + " address byte" + (addressBytes > 1 ? "s" : "") +
                         ", the addresses wrap at " + std::to_string(size) + " bytes");
    Settle(found);
    return found;
}

}  // namespace eeprom
