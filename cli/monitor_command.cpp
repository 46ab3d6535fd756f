// merlix-cli's bus monitor: the window's log lines (or decoded transfers) on
// stdout until a count, a time (the user's, by the steady clock), Ctrl-C or
// the end of the bench's capture ends it.
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "hardware/port_adapter.h"
#include "monitor/live_analyzer.h"
#include "monitor/monitor_clock.h"
#include "monitor/monitor_logic.h"
#include "monitor/transfer_decode.h"

namespace cli {

int RunMonitor(CommandContext& context, const MonitorOptions& options) {
    eeprom::Session& session = context.session;
    if (!options.filter.empty()) {
        long value = 0;
        std::string text = options.filter;
        if (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0) text = "0x" + text;
        if (!ParseNumber(text, 0, 0xFF, value))
            return Fail(kExitUsage,
                        "--filter takes an address as the log shows it (A0), not '" + options.filter + "'");
        const monitor::MonitorFilter filter = monitor::FilterBytes(static_cast<int>(value));
        session.filterRead = filter.read;
        session.filterWrite = filter.write;
    }
    // The JSON object carries the log lines; the other forms are for stdout.
    if (context.json && options.format != "log")
        return Fail(kExitUsage, "monitor --json carries the log lines; --format " + options.format +
                                    " is for standard output");
    if (!session.sniffer) {
        // The capture plays on the bench's bus all the same; this adapter does not see it.
        if (context.bench && context.bench.PlaysCapture())
            return Fail(kExitFailed, "the " + context.adapter +
                                         " cannot watch the bus, so the capture --traffic plays on it is not "
                                         "seen; watch it through the parallel adapter's bench "
                                         "(--bench-adapter parallel) or a logic analyzer (--analyzer)");
        return Fail(kExitFailed, monitor::kCannotWatchMessage);
    }
    // A logic analyzer watches on its own; the parallel adapter's controller must be found first.
    const bool ownController = session.sniffer == static_cast<hardware::BusSniffer*>(session.Parallel());
    if (ownController && !FindAdapter(context)) return NoAdapter();
    const InterruptGuard interrupts;
    const auto began = std::chrono::steady_clock::now();

    hardware::BusSniffer& sniffer = *session.sniffer;
    monitor::MonitorClock clock(sniffer);
    const std::int64_t start = clock.NowUs();
    session.monitorOn = 1;
    monitor::StartMonitor(sniffer);
    // An analyzer that cannot start, or stops by itself, ends the monitor with its sentence.
    const auto trouble = [&] {
        const std::string why = sniffer.Trouble();
        session.monitorOn = 0;
        monitor::StopMonitor(sniffer);
        return Fail(kExitFailed, why);
    };
    if (!sniffer.Trouble().empty()) return trouble();
    // The window replays the log's EEPROM transfers into its image when the
    // monitor stops; here each line is replayed as it comes, so that a
    // monitor left running all day keeps no log in memory.
    long logged = 0;
    int replayed = 0;
    JsonArray lines;  // under --json, kept for the object at the end
    const char* ended = "signal";
    int page = 0;
    std::string deviceAddress = "A1";
    const auto limitReached = [&] { return options.count > 0 && logged >= options.count; };
    const bool plainLines = options.format == "log";
    const bool csv = options.format == "csv";
    if (csv) {
        const std::string header = monitor::TransfersCsv({});
        std::fwrite(header.data(), 1, header.size(), stdout);
    }
    while (!stopRequested) {
        // A capture the bench has played to its end brings nothing more once
        // the pass after it has logged its last transfer.
        // So does a recorded capture the analyzer has decoded to its end.
        const auto* analyzer = dynamic_cast<const monitor::LiveAnalyzer*>(&sniffer);
        const bool playedOut =
            (context.bench && context.bench.CapturePlayedOut()) || (analyzer && analyzer->Finished());
        // Each logged transfer brings its line, then its records.
        bool lineTaken = false;
        const auto onLine = [&](std::string_view line) {
            lineTaken = !limitReached();
            if (!lineTaken) return;
            ++logged;
            if (context.json) {
                lines.String(line);
            } else if (plainLines) {
                std::fwrite(line.data(), 1, line.size(), stdout);
                std::fputc('\n', stdout);
            }
            replayed +=
                monitor::ReplayLogLine(std::string(line), session.image, session.marks, page, deviceAddress);
        };
        const auto onRecords = [&](const hardware::TransferBuffer& transfer) {
            if (plainLines || !lineTaken) return;
            std::optional<monitor::DecodedTransfer> decoded = monitor::DecodeTransfer(transfer);
            if (!decoded) return;
            const std::vector<monitor::SeenTransfer> one{
                {static_cast<int>(logged), clock.At(transfer.StartUs()) - start, std::move(*decoded)}};
            std::string text = csv ? monitor::TransfersCsv(one) : monitor::TransfersCaptureText(one);
            if (csv) text.erase(0, text.find('\n') + 1);  // the header went out once
            std::fwrite(text.data(), 1, text.size(), stdout);
        };
        // As the window's timer pass.
        monitor::MonitorPass(sniffer, session.filterRead, session.filterWrite, onLine, onRecords);
        std::fflush(stdout);
        if (!sniffer.Trouble().empty()) return trouble();
        if (limitReached()) {
            ended = "count";
            break;
        }
        // The user's seconds, not the adapter's: the bench's own time runs far ahead.
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - began;
        if (options.seconds > 0 && elapsed.count() >= options.seconds) {
            ended = "seconds";
            break;
        }
        if (playedOut) {
            ended = "capture";
            Say("the capture ended after " + std::to_string(logged) + " line" + (logged == 1 ? "" : "s") +
                (options.count > 0 ? ", before the " + std::to_string(options.count) + " of --count" : ""));
            break;
        }
        sniffer.SleepMs(5);  // the window's timer period
        // On bench time the sleep above costs nothing; a monitor left running
        // must not keep a core busy for it.
        if (context.bench) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    session.monitorOn = 0;
    monitor::StopMonitor(sniffer);
    std::fprintf(stderr, "merlix-cli: monitor stopped: %ld line%s logged, %d replayed as EEPROM transfers\n",
                 logged, logged == 1 ? "" : "s", replayed);
    if (context.json) context.result.Json("lines", lines.Text());
    context.result.Int("logged", logged).Int("replayed", replayed).String("ended", ended);
    return kExitOk;
}

}  // namespace cli
