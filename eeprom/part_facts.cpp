// What the faces ask of a part; see part_facts.h.
#include "eeprom/part_facts.h"

#include "eeprom/part_session.h"
#include "eeprom/session.h"

namespace eeprom {

using hardware::ChipFamily;
using hardware::ChipPart;

const char* BusName(const ChipPart& part) {
    switch (part.family) {
        case ChipFamily::I2c:
            return "I2C";
        case ChipFamily::Microwire:
            return "Microwire";
        case ChipFamily::Spi:
            return "SPI";
        case ChipFamily::Dac:
            break;
    }
    return "latch";
}

bool OnI2cBus(const ChipPart& part) { return part.family == ChipFamily::I2c; }

bool StrappedByOrg(const ChipPart& part) { return part.family == ChipFamily::Microwire; }

bool MovedWhole(const ChipPart& part) { return part.family == ChipFamily::Microwire; }

bool HasBlockProtection(const ChipPart& part) { return part.commands->protectBits != 0; }

bool MovedByPartTransfers(const ChipPart& part) { return !part.inMainWindow || HasBlockProtection(part); }

std::vector<std::string> PartNames(const ChipPart& part) {
    std::vector<std::string> names{PartName(part)};
    std::string_view rest = part.aliases;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        names.emplace_back(rest.substr(0, blank));
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
    }
    return names;
}

std::string PartNamesText(const ChipPart& part) {
    std::string text;
    for (const std::string& name : PartNames(part)) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string CannotReachI2c(const Session& session) { return session.CannotReach(ChipFamily::I2c); }

std::string CannotReachSerial(const Session& session) { return session.CannotReach(ChipFamily::Microwire); }

bool ChipOnI2cBus(const ChipParams& chip) { return chip.family == ChipFamily::I2c; }

}  // namespace eeprom
