// What the sub-commands share; see command_support.h.
#include "cli/command_support.h"

#include <cstdio>
#include <mutex>

#include "eeprom/checksums.h"
#include "eeprom/hex_text.h"
#include "hardware/port_adapter.h"
#include "hardware/probe.h"

namespace cli {

namespace {

constexpr std::uint8_t kStartLatch = 0xFD;  // the window's latch at start

eeprom::Checksums ChecksumsOf(const std::vector<std::uint8_t>& data) {
    return eeprom::ComputeChecksums(data.data(), static_cast<int>(data.size()));
}

void OnInterrupt(int) { stopRequested = 1; }

// The sentence a run's JSON object reports as the error, and the adapter its
// sentences name: one of each per thread, since several adapters run side by
// side, each in a thread of its own.
thread_local std::string failure;
thread_local std::string speaker;

// Interrupt guards nest (one per adapter running a write): the first one
// installs the handlers and the last one gives the old ones back.
std::mutex guardMutex;
int guardDepth = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};

}  // namespace

void Say(const std::string& sentence) {
    std::fprintf(stderr, "merlix-cli: %s%s\n", speaker.c_str(), sentence.c_str());
}

void SpeakFor(const std::string& adapter) { speaker = adapter.empty() ? adapter : adapter + ": "; }

int Fail(int code, const std::string& sentence) {
    Say(sentence);
    NoteFailure(sentence);
    return code;
}

const std::string& Failure() { return failure; }

void NoteFailure(const std::string& sentence) { failure = sentence; }

std::string Hex2(int value) { return eeprom::HexByte(value); }

bool FindAdapter(CommandContext& context) {
    eeprom::Session& session = context.session;
    // Another adapter was checked as it was opened; each command asks for
    // the interface it needs (RequireI2c, SelectChip).
    hardware::PortAdapter* parallel = session.Parallel();
    if (!parallel) {
        session.controllerPresent = session.i2c ? 1 : 0;
        return true;
    }
    parallel->SetLatch(kStartLatch);
    const int ports[] = {context.forcedPort ? context.forcedPort : hardware::kLpt1, hardware::kLpt2};
    for (int i = 0; i < (context.forcedPort ? 1 : 2); ++i) {
        parallel->SetBase(ports[i]);
        session.portBase = parallel->GetBase();
        parallel->ConfigurePort();
        if (hardware::ProbeController(*parallel, 0).found) {
            session.controllerPresent = 1;
            return true;
        }
    }
    session.controllerPresent = 0;
    session.probeFailed = 2;
    return false;
}

int RequireI2c(CommandContext& context) {
    // Said of the command, not of a memory: these commands speak to any I2C device.
    if (!context.session.i2c)
        return Fail(kExitFailed, "the " +
                                     (context.adapter.empty() ? std::string("adapter") : context.adapter) +
                                     " has no I2C bus, which " + context.command + " needs");
    return FindAdapter(context) ? kExitOk : NoAdapter();
}

int NoAdapter() {
    return Fail(kExitFailed, "no adapter answered (Not Found); check the cable, the port and --port");
}

void ReportTransfer(CommandContext& context, const std::string& chip, std::size_t bytes, double seconds,
                    long mismatches, const std::vector<std::uint8_t>* data, bool dataOnStdout) {
    if (!context.json) {
        if (!context.checksum || !data) return;
        const eeprom::Checksums sums = ChecksumsOf(*data);
        std::fprintf(dataOnStdout ? stderr : stdout, "CRC-32 %s  SHA-256 %s  sum %s  (%zu bytes)\n",
                     eeprom::Crc32Text(sums.crc32).c_str(), sums.sha256.c_str(),
                     eeprom::Sum8Text(sums.sum8).c_str(), data->size());
        return;
    }
    context.result.String("chip", chip)
        .Int("bytes", static_cast<long long>(bytes))
        .Number("seconds", seconds, 3)
        .Int("mismatches", mismatches);
    if (data) {
        const eeprom::Checksums sums = ChecksumsOf(*data);
        // Lower case, as the checksum tools print them.
        char crc[9], sum[3];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(sums.crc32));
        std::snprintf(sum, sizeof sum, "%02x", static_cast<unsigned>(sums.sum8));
        context.result.String("checksum", std::string("crc32:") + crc)
            .String("crc32", crc)
            .String("sha256", sums.sha256)
            .String("sum8", sum);
    }
}

// The one piece of process state here: a signal handler reaches nothing else.
volatile std::sig_atomic_t stopRequested = 0;

InterruptGuard::InterruptGuard() {
    const std::lock_guard<std::mutex> lock(guardMutex);
    if (guardDepth++ > 0) return;
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

InterruptGuard::~InterruptGuard() {
    const std::lock_guard<std::mutex> lock(guardMutex);
    if (--guardDepth > 0) return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 8) return false;
    long result = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return false;
        result = result * (hex ? 16 : 10) + d;
    }
    if (result < low || result > high) return false;
    value = result;
    return true;
}

}  // namespace cli
