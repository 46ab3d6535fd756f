// merlix-cli detect, and the chip `read --chip auto` takes: what answers on
// the I2C bus and in the serial socket, found by reading only.
#include <cstdio>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "eeprom/detect.h"
#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"

namespace cli {

namespace {

using Found = eeprom::BusDetection;

// Every bus the adapter has, detected; false with the sentence said.
int DetectAll(CommandContext& context, std::vector<Found>& found) {
    eeprom::Session& session = context.session;
    if (!FindAdapter(context)) return NoAdapter();
    std::string error;
    if (context.bench && context.socketReady && !context.socketReady(error)) return Fail(kExitFailed, error);
    ProgressLine silent(false);
    StretchProgress progress(silent, 0, 0);
    found = eeprom::DetectEveryBus(session, progress);
    return kExitOk;
}

std::string Names(const eeprom::Detection& detection) {
    std::string names;
    for (const hardware::ChipPart* part : detection.candidates)
        names += (names.empty() ? "" : ", ") + eeprom::PartNamesText(*part);
    return names;
}

// The memory detection sized, as an 8-bit device address ("A4"), or empty.
std::string MemoryDevice(const eeprom::Detection& detection) {
    return detection.device >= 0 ? Hex2(detection.device << 1) : std::string();
}

}  // namespace

int RunDetect(CommandContext& context) {
    std::vector<Found> found;
    if (int code = DetectAll(context, found)) return code;
    JsonArray buses;
    for (const Found& f : found) {
        const eeprom::Detection& d = f.detection;
        JsonArray answering;
        JsonArray candidates;
        std::string addresses;
        for (int address : d.answering) {
            answering.String("0x" + Hex2(address));
            addresses += " 0x" + Hex2(address);
        }
        for (const hardware::ChipPart* part : d.candidates)
            for (const std::string& name : eeprom::PartNames(*part)) candidates.String(name);
        JsonObject bus;
        bus.String("bus", f.bus).Json("answering", answering.Text());
        if (d.status >= 0) {
            bus.Int("status", d.status);
        } else {
            bus.Null("status");
        }
        bus.Json("candidates", candidates.Text()).Bool("sure", d.sure).String("said", d.said);
        buses.Json(bus.Text());
        if (context.json) continue;
        if (std::string(f.bus) == "I2C")
            std::printf("I2C addresses answering:%s\n", addresses.empty() ? " none" : addresses.c_str());
        std::printf("%s: %s\n", std::string(f.bus) == "I2C" ? "I2C memory" : "SPI socket", d.said.c_str());
        if (!d.candidates.empty())
            std::printf("  %s: %s%s\n", d.candidates.size() > 1 ? "candidates" : "candidate",
                        Names(d).c_str(), d.sure ? " (sure)" : " (not sure)");
    }
    context.result.Json("buses", buses.Text());
    return kExitOk;
}

int ChooseDetectedChip(CommandContext& context, MemoryOptions& options) {
    std::vector<Found> found;
    if (int code = DetectAll(context, found)) return code;
    const Found* only = nullptr;
    std::string seen;
    int withCandidates = 0;
    for (const Found& f : found) {
        if (f.detection.candidates.empty()) continue;
        ++withCandidates;
        only = &f;
        seen += std::string(seen.empty() ? "" : "; ") + f.bus + ": " + Names(f.detection);
    }
    if (withCandidates != 1 || !only->detection.sure)
        return Fail(kExitFailed,
                    withCandidates == 0
                        ? std::string("--chip auto found no memory on the I2C bus or in the socket")
                        : "--chip auto will not guess between " + seen +
                              " (merlix-cli detect tells why); name the chip with --chip");
    options.chip = std::string(only->detection.candidates.front()->name);
    if (std::string(only->bus) == "I2C" && options.device.empty())
        options.device = MemoryDevice(only->detection);
    if (!context.json) Say("--chip auto took the " + options.chip + ": " + only->detection.said);
    context.result.Bool("detected", true);
    return kExitOk;
}

}  // namespace cli
