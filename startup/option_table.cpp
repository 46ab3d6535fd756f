// The backend options of both faces; see option_table.h.
#include "startup/option_table.h"

#include "startup/adapter_list.h"

namespace startup {

namespace {

using Takes = BackendOption::Takes;
using A = BackendArguments;

std::vector<BackendOption> Rows() {
    const std::string rateRule = kAnalyzerRateRule;
    return {
        {.name = "bench",
         .valueName = "PORT",
         .takes = Takes::OptionalValue,
         .help = "Run on the simulated bench, the adapter on PORT: lpt1 (default), lpt2 or none",
         .text = [](A& a) { return &a.benchPort; }},
        {.name = "direct",
         .takes = Takes::Nothing,
         .help = "Use the parallel port directly (needs root or CAP_SYS_RAWIO)",
         .flag = [](A& a) { return &a.direct; }},
        {.name = "ppdev",
         .valueName = "DEV1[,DEV2]",
         .help = "Use the ppdev devices DEV1 (LPT1) and DEV2 (LPT2)",
         .text = [](A& a) { return &a.ppdev; },
         .path = true},
        {.name = "adapter",
         .valueName = "ADAPTER",
         .takes = Takes::Values,
         .help =
             "Use ADAPTER: " + AdapterHelp() + "; default: " + AutomaticOrderText() +
             ". read, write, fill and verify take it more than once, and KIND:all, to run adapters side by "
             "side",
         .windowHelp = "Use ADAPTER: " + AdapterHelp() +
                       ". Without it (and without a choice remembered from the window's Adapter menu): " +
                       AutomaticOrderText() + ".",
         .list = [](A& a) { return &a.adapters; },
         .path = true},
        {.name = "bench-adapter",
         .valueName = "KIND",
         .help = "Bench: run through the real code of " + BenchAdapterHelp() + ", on its fake",
         .windowHelp =
             "Run on the simulated bench through KIND's real code and its fake: " + BenchAdapterHelp() + ".",
         .text = [](A& a) { return &a.benchAdapter; }},
        {.name = "port",
         .help = "Use the adapter on lpt1 or lpt2 only (default: probe LPT1, then LPT2)",
         .faces = OptionFaces::Cli,
         .text = [](A& a) { return &a.port; }},
        {.name = "check-ports",
         .takes = Takes::Nothing,
         .windowHelp = "Report the parallel ports and access rights, then exit.",
         .faces = OptionFaces::Window,
         .refusedBySurvey = false},
        {.name = "trace",
         .valueName = "FILE",
         .help = "Write every port access to FILE (- for standard output)",
         .windowHelp =
             "Write every port access to FILE (- for standard output), a run of the same access as one "
             "line with its count.",
         .text = [](A& a) { return &a.trace; },
         .path = true},
        {.name = "traffic",
         .valueName = "FILE",
         .help = "Bench: play the bus capture in FILE as a second bus master",
         .text = [](A& a) { return &a.traffic; },
         .path = true},
        {.name = "traffic-rate",
         .valueName = "HZ",
         .help =
             "Bench: the sample rate of the --traffic capture's sample numbers (\"1234-5678 i2c-1: Start\" "
             "lines); each transfer then plays at its own time, its first sample over HZ",
         .text = [](A& a) { return &a.trafficRate; }},
        {.name = "bench-vcd",
         .valueName = "FILE",
         .help = "Bench: record the I2C bus's SCL and SDA and write them to FILE as a VCD waveform when the "
                 "command ends",
         .windowHelp =
             "Bench: write the I2C bus's SCL and SDA, recorded from the start, to FILE as a VCD waveform "
             "when the program ends.",
         .text = [](A& a) { return &a.benchVcd; },
         .path = true},
        {.name = "bench-chip",
         .valueName = "NAME",
         .help = "Bench: keep chip NAME (a chip list text, or any part of chips) in its socket",
         .windowHelp = "Bench: keep chip NAME (a chip list text, or a part such as 24C256) in its socket.",
         .text = [](A& a) { return &a.benchChip; }},
        {.name = "bench-fault",
         .valueName = "NAME[,NAME...]",
         .help = "Bench: faults on from the start: adapter-absent, controller-absent, bus-busy, slave-nack, "
                 "chip-no-store, slow-parts",
         .windowHelp = "Bench: switch faults on from the start: adapter-absent, controller-absent, bus-busy, "
                       "slave-nack, chip-no-store, slow-parts.",
         .text = [](A& a) { return &a.benchFaults; }},
        {.name = "bench-state",
         .valueName = "DIR",
         .help = "Bench: keep the virtual chips in DIR (default $XDG_STATE_HOME/merlix/bench)",
         .faces = OptionFaces::Cli,
         .text = [](A& a) { return &a.benchState; }},
        {.name = "bench-fresh",
         .takes = Takes::Nothing,
         .help = "Bench: start from fresh chips, forgetting the saved ones",
         .faces = OptionFaces::Cli,
         .flag = [](A& a) { return &a.benchFresh; }},
        {.name = "bench-window",
         .takes = Takes::Nothing,
         .windowHelp = "Bench: show the bench's own window.",
         .faces = OptionFaces::Window},
        {.name = "transfers-window",
         .takes = Takes::Nothing,
         .windowHelp = "Show the bus transfers window (the monitor's transfers, decoded).",
         .faces = OptionFaces::Window,
         .refusedBySurvey = false},
        {.name = "programmer",
         .takes = Takes::Nothing,
         .windowHelp = "Open the chip programmer window over the main window (any part on any adapter).",
         .faces = OptionFaces::Window,
         .refusedBySurvey = false},
        {.name = "analyzer",
         .valueName = "DRIVER[:conn=...]",
         .help =
             "monitor: watch the bus through a logic analyzer, run by sigrok-cli with this driver (fx2lafw, "
             "or fx2lafw:conn=BUS.ADDRESS for one of several), whatever the adapter",
         .windowHelp = "The monitor watches the bus through a logic analyzer, run by sigrok-cli with DRIVER "
                       "(fx2lafw, or fx2lafw:conn=BUS.ADDRESS for one of several), whatever the adapter.",
         .text = [](A& a) { return &a.analyzer.device; }},
        {.name = "analyzer-file",
         .valueName = "FILE",
         .help =
             "monitor: watch a recorded capture instead (a sigrok session .sr, or a VCD such as --bench-vcd "
             "writes), as fast as it decodes",
         .windowHelp =
             "The monitor watches a recorded capture instead (a sigrok session .sr, or a VCD such as "
             "--bench-vcd writes), as fast as it decodes.",
         .text = [](A& a) { return &a.analyzer.file; },
         .path = true},
        {.name = "realtime",
         .takes = Takes::Nothing,
         .help = "monitor: play --analyzer-file at its own pace",
         .windowHelp = "Play --analyzer-file at its own pace.",
         .flag = [](A& a) { return &a.analyzer.realtime; },
         .refusedBySurvey = false},
        {.name = "analyzer-pins",
         .valueName = "scl=Dn,sda=Dm",
         .help = "monitor: the analyzer's channels on SCL and SDA (default scl=D0,sda=D1)",
         .windowHelp = "The analyzer's channels on SCL and SDA (default scl=D0,sda=D1).",
         .text = [](A& a) { return &a.analyzer.pins; },
         .refusedBySurvey = false},
        {.name = "analyzer-rate",
         .valueName = "RATE",
         .help = "monitor: the analyzer's sample rate (default 1M), " + rateRule,
         .windowHelp = "The analyzer's sample rate (default 1M), " + rateRule + ".",
         .text = [](A& a) { return &a.analyzer.rate; },
         .refusedBySurvey = false},
    };
}

}  // namespace

std::vector<BackendOption> BackendOptionTable() { return Rows(); }

}  // namespace startup
