#include "cli/gang.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "cli/command_support.h"
#include "eeprom/image_formats.h"

namespace cli {

std::string NumberedFile(const std::string& path, int n) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
                                   dot == (slash == std::string::npos ? 0 : slash + 1)
                               ? path.size()
                               : dot;
    return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

std::string GangOutputFile(const MemoryOptions& memory, int n) {
    const std::string& path = memory.outputFile;
    struct stat st {};
    const bool folder =
        !path.empty() && (path.back() == '/' || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)));
    if (!folder) return NumberedFile(path, n);
    // The chip as it was named, fit for a file name ("93c66 x16": "93c66-x16").
    std::string chip = ::strcasecmp(memory.chip.c_str(), "auto") == 0 ? std::string("dump") : memory.chip;
    std::replace_if(
        chip.begin(), chip.end(), [](char c) { return c == ' ' || c == '/' || c == '(' || c == ')'; }, '-');
    eeprom::ImageFormat format = eeprom::ImageFormat::Raw;
    if (!memory.format.empty()) eeprom::ParseImageFormat(memory.format, format);
    const char* extension = format == eeprom::ImageFormat::IntelHex  ? ".hex"
                            : format == eeprom::ImageFormat::SRecord ? ".srec"
                                                                     : ".bin";
    return (path.back() == '/' ? path : path + "/") + chip + "-" + std::to_string(n) + extension;
}

int RunGang(const std::vector<GangMember>& gang, const MemoryOptions& memory, bool json, JsonObject& data,
            const std::function<int(std::size_t, const MemoryOptions&, JsonObject&)>& runOne) {
    struct Member {
        std::string name;
        int code = kExitOk;
        std::string error;
        JsonObject result;
    };
    std::vector<Member> members(gang.size());
    std::vector<std::thread> threads;
    const InterruptGuard interrupts;  // Ctrl-C reaches every adapter's write
    for (std::size_t i = 0; i < gang.size(); ++i) {
        Member& member = members[i];
        member.name = gang[i].name;
        threads.emplace_back([i, &member, &memory, &runOne, number = gang[i].number] {
            SpeakFor(member.name);
            MemoryOptions mine = memory;
            if (!mine.outputFile.empty()) mine.outputFile = GangOutputFile(memory, number);
            member.code = runOne(i, mine, member.result);
            member.error = member.code == kExitOk ? "" : Failure();
        });
    }
    for (std::thread& thread : threads) thread.join();

    int worst = kExitOk;
    JsonArray rows;
    std::string table = "adapter            result     bytes  seconds  CRC-32\n";
    for (Member& member : members) {
        worst = std::max(worst, member.code);
        const auto field = [&member](const char* key) {
            std::string value = member.result.Value(key);
            if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
            return value.empty() || value == "null" ? std::string("-") : value;
        };
        const char* result = member.code == kExitOk            ? "ok"
                             : member.code == kExitMismatch    ? "MISMATCH"
                             : member.code == kExitInterrupted ? "STOPPED"
                             : member.code == kExitUsage       ? "REFUSED"
                                                               : "FAILED";
        char line[160];
        std::snprintf(line, sizeof line, "%-18s %-9s %6s %8s  %s", member.name.c_str(), result,
                      field("bytes").c_str(), field("seconds").c_str(), field("crc32").c_str());
        table += line;
        table += member.error.empty() ? "\n" : "  " + member.error + "\n";
        // Said by no thread (its fields went to the table): where each chip's old contents are.
        if (const std::string backup = member.result.Value("backup"); backup.size() > 2 && !json)
            Say(member.name + ": backup of the old contents: " + backup.substr(1, backup.size() - 2));
        JsonObject row;
        row.String("adapter", member.name).Bool("ok", member.code == kExitOk).Int("exit", member.code);
        if (member.error.empty()) {
            row.Null("error");
        } else {
            row.String("error", member.error);
        }
        rows.Json(row.Merge(member.result).Text());
    }
    if (!json) std::fputs(table.c_str(), stdout);
    data.Json("adapters", rows.Text());
    if (worst != kExitOk) {
        int failed = 0;
        for (const Member& member : members) failed += member.code != kExitOk ? 1 : 0;
        NoteFailure(std::to_string(failed) + " of " + std::to_string(members.size()) + " adapters failed");
    }
    return worst;
}

}  // namespace cli
