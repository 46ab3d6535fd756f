// merlix-cli's information commands: probe and chips.
#include <cstdio>

#include "cli/chips.h"
#include "cli/command_support.h"
#include "cli/commands.h"

namespace cli {

int RunProbe(CommandContext& context) {
    const bool found = FindAdapter(context);
    std::printf("%s\n", found ? "PCF 8584 Ok" : "Not Found");
    return found ? kExitOk : kExitFailed;
}

int RunChips() {
    std::printf("%-11s %6s  %-13s %s\n", "chip", "bytes", "organisation", "page write");
    for (const Chip& chip : Chips()) {
        const std::string page = chip.pageSize ? std::to_string(chip.pageSize) + " bytes" : "one word";
        const std::string bus = chip.I2c()                                     ? "I2C"
                                : chip.family == eeprom::ChipFamily::Microwire ? "Microwire"
                                                                               : "SPI";
        std::printf("%-11s %6d  %-13s %s\n", chip.name.c_str(), chip.bytes,
                    (std::to_string(chip.organisation) + "-bit " + bus).c_str(), page.c_str());
    }
    return kExitOk;
}

}  // namespace cli
