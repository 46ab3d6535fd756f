// A chip command on several programmers side by side: each in a thread of
// its own with its own backend, session and clock; one failing never stops
// the others. A table on stdout (or an "adapters" array under --json), and
// the worst exit code of them all.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json.h"

namespace cli {

// FILE with "-N" before its extension: each adapter's file of a run on
// several ("dump.hex": "dump-2.hex").
std::string NumberedFile(const std::string& path, int n);

// Where programmer `n` saves its read: FILE-N, or in a folder (-o sub/) a
// file named after the chip and the format ("sub/24C02-0.bin").
std::string GangOutputFile(const MemoryOptions& memory, int n);

struct GangMember {
    std::string name;         // "bench KIND:2", for the table and its sentences
    int number = 0;           // the programmer's number, for its files
    std::string stateFolder;  // where its bench keeps its chips
};

// Runs `runOne(i, options, result)` for every member at once, the output
// file numbered for each; prints the table (or fills `data`'s "adapters") and
// returns the worst exit code: the highest, whichever programmer had it.
int RunGang(const std::vector<GangMember>& members, const MemoryOptions& memory, bool json, JsonObject& data,
            const std::function<int(std::size_t, const MemoryOptions&, JsonObject&)>& runOne);

}  // namespace cli
