// merlix-cli's information commands: probe and chips.
#include <cstdio>
#include <string>

#include "cli/chips.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "hardware/port_adapter.h"

namespace cli {

namespace {

// Another adapter has no PCF8584 to reset: it was checked as it was opened,
// and the probe says what it is and what it can do.
int ProbeOtherAdapter(CommandContext& context) {
    const eeprom::Session& session = context.session;
    const auto yes = [](bool can) { return can ? "yes" : "no"; };
    context.result.Bool("found", true).Null("port").String("adapter", context.adapter);
    context.result.String("capabilities", context.capabilities);
    context.result.Bool("i2c", session.i2c != nullptr).Bool("serial_chips", session.lines || session.spi);
    context.result.Bool("monitor", session.sniffer != nullptr).Bool("latch", session.Parallel() != nullptr);
    if (context.json) return kExitOk;
    std::printf("%s\n", context.capabilities.c_str());
    std::printf("I2C memories and registers: %s; Microwire and SPI memories: %s; bus monitor: %s; "
                "device lines, user outputs and DAC: no\n",
                yes(session.i2c), yes(session.lines || session.spi), yes(session.sniffer));
    return kExitOk;
}

}  // namespace

int RunProbe(CommandContext& context) {
    if (!context.session.Parallel()) return ProbeOtherAdapter(context);
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

namespace {

std::string Volts(int millivolts) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", millivolts / 1000.0);
    return text;
}

}  // namespace

int RunChips(bool json, JsonObject& result) {
    if (!json)
        std::printf("%-11s %6s  %-16s %-10s %-5s %-33s %-6s %s\n", "chip", "bytes", "organisation",
                    "page write", "addr", "block rule", "cycle", "supply");
    JsonArray list;
    for (const Chip& chip : Chips()) {
        const hardware::ChipPart& part = *chip.part;
        const std::string bus = eeprom::BusName(part);
        JsonObject entry;
        entry.String("name", chip.name).Int("bytes", chip.bytes).Int("organisation", chip.organisation);
        const std::vector<std::string> names = eeprom::PartNames(part);
        JsonArray aliases;
        for (std::size_t n = 1; n < names.size(); ++n) aliases.String(names[n]);
        if (names.size() > 1) entry.Json("aliases", aliases.Text());  // "25010" for the AT25C010
        entry.String("bus", bus).Int("page_size", chip.pageSize).Int("address_bytes", part.addressBytes);
        entry.String("block_rule", hardware::BlockRuleText(part))
            .Number("write_cycle_ms", part.writeCycleMaxUs / 1000.0, 1);
        entry.Number("min_volts", part.minMillivolts / 1000.0, 1)
            .Number("max_volts", part.maxMillivolts / 1000.0, 1);
        list.Json(entry.Text());
        if (json) continue;
        const std::string page = chip.pageSize ? std::to_string(chip.pageSize) + " bytes" : "one word";
        // Microwire parts send address bits, not bytes.
        const std::string address = part.addressBytes ? std::to_string(part.addressBytes) : "-";
        std::string also;
        for (std::size_t n = 1; n < names.size(); ++n) also += (n == 1 ? "  also " : ", ") + names[n];
        std::printf("%-11s %6d  %-16s %-10s %-5s %-33s %-6s %s-%s V%s\n", chip.name.c_str(), chip.bytes,
                    (std::to_string(chip.organisation) + "-bit " + bus).c_str(), page.c_str(),
                    address.c_str(), hardware::BlockRuleText(part),
                    (std::to_string(part.writeCycleMaxUs / 1000) + " ms").c_str(),
                    Volts(part.minMillivolts).c_str(), Volts(part.maxMillivolts).c_str(), also.c_str());
    }
    result.Json("chips", list.Text());
    return kExitOk;
}

}  // namespace cli
