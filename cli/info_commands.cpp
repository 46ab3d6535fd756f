// merlix-cli's information commands: probe and chips.
#include <cstdio>

#include "cli/chips.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "hardware/port_adapter.h"

namespace cli {

int RunProbe(CommandContext& context) {
    const bool found = FindAdapter(context);
    context.result.Bool("found", found);
    if (found) {
        context.result.String("port", context.session.portBase == hardware::kLpt2 ? "lpt2" : "lpt1");
    } else {
        context.result.Null("port");
    }
    if (context.json) return found ? kExitOk : NoAdapter();
    std::printf("%s\n", found ? "PCF 8584 Ok" : "Not Found");
    return found ? kExitOk : kExitFailed;
}

int RunChips(bool json, JsonObject& result) {
    if (!json) std::printf("%-11s %6s  %-13s %s\n", "chip", "bytes", "organisation", "page write");
    JsonArray list;
    for (const Chip& chip : Chips()) {
        const std::string bus = chip.I2c()                                     ? "I2C"
                                : chip.family == eeprom::ChipFamily::Microwire ? "Microwire"
                                                                               : "SPI";
        JsonObject entry;
        entry.String("name", chip.name).Int("bytes", chip.bytes).Int("organisation", chip.organisation);
        entry.String("bus", bus).Int("page_size", chip.pageSize);
        list.Json(entry.Text());
        if (json) continue;
        const std::string page = chip.pageSize ? std::to_string(chip.pageSize) + " bytes" : "one word";
        std::printf("%-11s %6d  %-13s %s\n", chip.name.c_str(), chip.bytes,
                    (std::to_string(chip.organisation) + "-bit " + bus).c_str(), page.c_str());
    }
    result.Json("chips", list.Text());
    return kExitOk;
}

}  // namespace cli
