// The socket's chip catalogue: which model and geometry each chip-list entry
// puts into the serial socket.
#include "simulator/serial_chip.h"

#include <array>
#include <string_view>

#include "simulator/dac_chip.h"
#include "simulator/microwire_chip.h"
#include "simulator/spi_chip.h"

namespace simulator {
namespace {

struct MicrowirePart {
    std::string_view name;
    int capacity;
    int addressBitsX8;
};
constexpr std::array<MicrowirePart, 6> kMicrowire{{
    {"93C06", 32, 7},
    {"93C46", 128, 7},
    {"93C56", 256, 9},  // one top address bit unused
    {"93C66", 512, 9},
    {"93C76", 1024, 11},
    {"93C86", 2048, 11},
}};

struct SpiPart {
    std::string_view name;
    int capacity;
    int addressBytes;
    bool a8InOpcode;
    int page;
};
constexpr std::array<SpiPart, 5> kSpi{{
    {"AT25C010", 128, 1, false, 8},  // 7 address bits, sent as one byte
    {"AT25C020", 256, 1, false, 8},
    {"AT25C040", 512, 1, true, 8},
    {"AT25C080", 1024, 2, false, 32},
    {"AT25C160", 2048, 2, false, 32},
}};

// "93C46 (8)" and "93C46 (16)" are one chip: its ORG pin picks the words.
std::string_view PartName(std::string_view text) {
    for (std::string_view suffix : {" (8)", " (16)"}) {
        if (text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix) {
            return text.substr(0, text.size() - suffix.size());
        }
    }
    return text;
}

}  // namespace

std::unique_ptr<SerialChip> MakeSerialChip(const std::string& chipListText) {
    const std::string_view name = PartName(chipListText);
    for (const MicrowirePart& part : kMicrowire) {
        if (part.name == name) {
            return std::make_unique<MicrowireChip>(std::string(name), part.capacity, part.addressBitsX8);
        }
    }
    for (const SpiPart& part : kSpi) {
        if (part.name == name) {
            return std::make_unique<SpiChip>(std::string(name), part.capacity, part.addressBytes,
                                             part.a8InOpcode, part.page);
        }
    }
    if (chipListText == "M62358,M62359") return std::make_unique<DacChip>();
    return nullptr;
}

double DacChannel::Volts() const {
    // The output is taken as linear over the code, 255 being full scale: no
    // data sheet was at hand to say whether 255 or 256 steps span the range.
    static constexpr std::array<double, 4> kFullScale{5.0, 8.0, 9.0, 12.0};
    return value / 255.0 * kFullScale[range & 3u];
}

}  // namespace simulator
