// What merlix-cli's sub-commands share: their sentences on stderr, finding
// the adapter, the JSON object's fields, timing and the interrupt that stops a command.
#pragma once

#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace cli {

// One sentence on stderr, after the program's name (and the adapter's,
// SpeakFor).
void Say(const std::string& sentence);
// The adapter this thread's sentences name ("i2c-dev:/dev/i2c-7"); empty for none.
void SpeakFor(const std::string& adapter);
// Says the sentence and returns `code`; the run's JSON object carries it as
// its "error".
int Fail(int code, const std::string& sentence);
// The sentence of the run's failure (in this thread) (the last one Fail said or NoteFailure
// took), empty when nothing failed.
const std::string& Failure();
// Takes `sentence` as the run's failure without saying it (it was said in
// other words already, as a verify report).
void NoteFailure(const std::string& sentence);

std::string Hex2(int value);

// The probe of "Reset PCF": two resets, the second deciding. LPT1 is tried
// first, then LPT2, as the window does at start; --port tries one. The one
// place that knows the adapter is the parallel one; the commands speak to it
// through its bus interfaces.
bool FindAdapter(CommandContext& context);
// FindAdapter for the register commands: on an adapter without I2C, its
// sentence and exit code 1; kExitOk when the bus can be used.
int RequireI2c(CommandContext& context);
// The sentence and exit code when FindAdapter found nothing.
int NoAdapter();

class Stopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// What a chip command moved, as fields of the JSON object (chip, bytes,
// seconds, mismatches, checksums), or with --checksum the checksums as a line
// of text (on stderr when the data itself went to stdout).
void ReportTransfer(CommandContext& context, const std::string& chip, std::size_t bytes, double seconds,
                    long mismatches, const std::vector<std::uint8_t>* data, bool dataOnStdout = false);

// Ctrl-C and SIGTERM ask the running command to stop at a safe point: the
// monitor between passes, a write after the page in flight.
extern volatile std::sig_atomic_t stopRequested;

// Catches both signals while it lives; the handlers before it come back after
// the last guard of the process ends (guards of several threads nest).
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

}  // namespace cli
