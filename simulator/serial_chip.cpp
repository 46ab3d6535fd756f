// The socket's chip catalogue: which model each chip-list entry puts into the
// serial socket, with the geometry of its part in the chip table.
#include "simulator/serial_chip.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "hardware/chip_parts.h"
#include "simulator/dac_chip.h"
#include "simulator/microwire_chip.h"
#include "simulator/spi_chip.h"

namespace simulator {
namespace {

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
    const hardware::ChipPart* part = hardware::FindMemoryPart(name);
    if (part != nullptr && part->family == hardware::ChipFamily::Microwire) {
        return std::make_unique<MicrowireChip>(std::string(part->name), part->bytes,
                                               hardware::MicrowireAddressBitsX8(*part));
    }
    // Every 25xx by its name or alias ("AT25C160", "25160", "25M02").
    if (part != nullptr && part->family == hardware::ChipFamily::Spi) {
        return std::make_unique<SpiChip>(std::string(part->name), part->bytes, part->addressBytes,
                                         part->blockSelect == hardware::BlockSelect::OpcodeBit3,
                                         part->pageSize, part->writeCycleMaxUs);
    }
    const hardware::ChipPart* dac = hardware::FindChipPart(chipListText);
    if (dac != nullptr && dac->family == hardware::ChipFamily::Dac) return std::make_unique<DacChip>();
    return nullptr;
}

std::vector<std::string> I2cSocketParts() {
    std::vector<std::string> names;
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (part.family == hardware::ChipFamily::I2c) names.emplace_back(part.name);
    }
    return names;
}

std::vector<std::string> SerialSocketParts() {
    std::vector<std::string> names;
    for (const hardware::ChipPart& part : hardware::kChipParts) {
        const std::string name(PartName(part.listText));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (part.family == hardware::ChipFamily::Spi && part.listText.empty()) names.emplace_back(part.name);
    }
    return names;
}

double DacChannel::Volts() const {
    // The output is taken as linear over the code, 255 being full scale: no
    // data sheet was at hand to say whether 255 or 256 steps span the range.
    static constexpr std::array<double, 4> kFullScale{5.0, 8.0, 9.0, 12.0};
    return value / 255.0 * kFullScale[range & 3u];
}

}  // namespace simulator
