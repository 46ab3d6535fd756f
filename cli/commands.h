// merlix-cli's sub-commands on one session. Each returns the process exit
// status (see ExitCode) and writes its errors to stderr as one sentence.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/json.h"
#include "eeprom/image_formats.h"
#include "eeprom/session.h"
#include "startup/bench_control.h"

namespace cli {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,         // the operation failed: no adapter, bus error, time-out
    kExitUsage = 2,          // usage or input-file error
    kExitMismatch = 3,       // verify found differences
    kExitInterrupted = 130,  // Ctrl-C or SIGTERM stopped a write (128 + SIGINT, as shells report it)
};

// A progress line redrawn in place (on a terminal), one JSON object a line
// (--progress=json), or nothing.
enum class ProgressStyle { None, Line, Json };

// What the chip and register commands share.
struct CommandContext {
    eeprom::Session& session;
    startup::BenchControl bench{};                 // none on real hardware
    int forcedPort = 0;                            // --port: base, 0 to probe LPT1 then LPT2
    ProgressStyle progress = ProgressStyle::None;  // on stderr while the chip is read or written
    bool resultLine = false;                       // one result line on stderr at the end
    bool json = false;                             // one JSON object on stdout
    bool checksum = false;                         // --checksum: CRC-32, SHA-256 and sum of the data
    bool backup = true;                            // back the chip up before writing it
    std::string command{};                         // the sub-command's name
    JsonObject result{};                           // the command's fields of the JSON object
    // Called once the bench has the command's chip in its socket, to load the
    // chip's saved contents (the bench state folder); false with one sentence.
    std::function<bool(std::string&)> socketReady{};
    bool benchChipFixed = false;  // --bench-chip chose the socket's part: commands leave it there
    // The adapter when it is not the parallel one ("i2c-dev /dev/i2c-7"),
    // and one line on what it can do; both empty on the parallel adapter.
    std::string adapter{};
    std::string capabilities{};
    // The bench's fake of an adapter without an ORG line: its 93Cxx ORG pin strapped as the chip chosen
    // needs (high for 16-bit words), as a technician straps the real one.
    std::function<void(bool high)> strapOrg{};
};

// File names are the system's bytes, as given on the command line.
struct MemoryOptions {
    std::string chip;
    std::string device;      // 8-bit, the window's spelling; empty: A0 (I2C memories only)
    int page = -1;           // -1: whole chip
    bool pageGiven = false;  // --page was given (a page out of range is refused, never the whole chip)
    std::string inputFile;   // write, verify
    std::string outputFile;  // read
    std::string format;      // empty: by the name (then by content on input), raw for stdin/stdout
    bool verify = true;
    int fillValue = 0xFF;
    bool unprotect = false;  // a 25xx's block protection cleared for the write, set again after
    // --offset/--length or --range FIRST-LAST: a stretch of any part; empty when not given.
    std::string offset, length, range;
    bool pad = false;  // write, verify: a raw file shorter than the part is filled with FF
};

int RunProbe(CommandContext& context);
int RunChips(bool json, JsonObject& result);
int RunRead(CommandContext& context, const MemoryOptions& options);
int RunWrite(CommandContext& context, const MemoryOptions& options);  // write, fill and erase
int RunVerify(CommandContext& context, const MemoryOptions& options);
// Reads the chip and says whether every byte is FF: exit 3 naming the first
// other byte and how many there are.
int RunBlankCheck(CommandContext& context, const MemoryOptions& options);
// Writes a backup back (the newest of --chip's without a file) and verifies it.
int RunRestore(CommandContext& context, const MemoryOptions& options, const std::string& file);
// What answers on the I2C bus and in the serial socket, with the parts that
// fit; reads only.
int RunDetect(CommandContext& context);
// --chip auto: the one part detection is sure of into `options` (its chip,
// and for an I2C memory its device unless given); else exit 1 naming the
// candidates.
int ChooseDetectedChip(CommandContext& context, MemoryOptions& options);

// Register devices: 7-bit addresses and numbers as the i2c-tools take them.
struct RegisterOptions {
    std::string address, reg, value;
    std::string mode;        // "b" (byte, also when empty) or "w" (word, low byte first)
    std::string mask;        // set: only these bits change
    bool maskGiven = false;  // set: -m was given (an empty mask is refused, not taken as all bits)
    bool readBack = false;   // set: read the register back and compare
    std::string range;       // dump: FIRST-LAST; empty: all 256
};
int RunSet(CommandContext& context, const RegisterOptions& options);
int RunGet(CommandContext& context, const RegisterOptions& options);
int RunDump(CommandContext& context, const RegisterOptions& options);
int RunTransfer(CommandContext& context, const std::vector<std::string>& messages);

struct MonitorOptions {
    std::string filter;  // 8-bit address as the log shows it; empty: none
    long count = 0;      // stop after this many lines; 0: no limit
    double seconds = 0;  // stop after this long; 0: no limit
    // "log": the window's log lines; "csv": one decoded row per transfer;
    // "text": the decoder's capture text, which --traffic plays back.
    std::string format = "log";
};
int RunMonitor(CommandContext& context, const MonitorOptions& options);

// A number as the i2c-tools read it: 0x-prefixed hex or decimal. False for
// anything else or outside [low, high].
bool ParseNumber(const std::string& text, long low, long high, long& value);

}  // namespace cli
