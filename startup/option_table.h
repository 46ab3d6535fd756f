// The backend options of both faces, each declared once: its name, its
// value's name, its help text in each face and which faces take it. The
// command line's parser (CLI11) and the window's (QCommandLineParser) are
// both generated from this table, and both read the values into
// BackendArguments before mapping them onto BackendOptions.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "startup/analyzer_options.h"

namespace startup {

// The backend options' values as the user gave them, before they are checked.
struct BackendArguments {
    std::string benchPort;              // --bench[=PORT]
    bool direct = false;                // --direct
    std::string ppdev;                  // --ppdev DEV1[,DEV2]
    std::vector<std::string> adapters;  // --adapter, once or more
    std::string benchAdapter;           // --bench-adapter KIND
    std::string port;                   // --port (merlix-cli)
    std::string trace;                  // --trace FILE
    std::string traffic;                // --traffic FILE
    std::string trafficRate;            // --traffic-rate HZ
    std::string benchVcd;               // --bench-vcd FILE
    std::string benchChip;              // --bench-chip NAME
    std::string benchFaults;            // --bench-fault NAME[,NAME...]
    std::string benchState;             // --bench-state DIR (merlix-cli)
    bool benchFresh = false;            // --bench-fresh (merlix-cli)
    AnalyzerArguments analyzer;  // --analyzer, --analyzer-file, --analyzer-pins, --analyzer-rate, --realtime
    // The options given, by name ("trace"), whatever their value.
    std::set<std::string> given;
    bool Given(const std::string& name) const { return given.count(name) > 0; }
};

enum class OptionFaces { Both, Cli, Window };

struct BackendOption {
    // How it takes its value: none (a flag), one, one or none (--bench),
    // one each time it is given (--adapter).
    enum class Takes { Nothing, Value, OptionalValue, Values };

    const char* name;            // without the dashes: "bench-vcd"
    const char* valueName = "";  // "FILE"; empty for a flag, or CLI11's own word
    Takes takes = Takes::Value;
    // What --help says of it on the command line, and in the window; an
    // empty window text is the command line's with a full stop.
    std::string help{};
    std::string windowHelp{};
    OptionFaces faces = OptionFaces::Both;
    // Where its value goes (the text of a Value or OptionalValue option).
    std::string* (*text)(BackendArguments& arguments) = nullptr;
    // A flag's place (Takes::Nothing); a flag without one is only noted in `given`.
    bool* (*flag)(BackendArguments& arguments) = nullptr;
    // Where the values of Takes::Values go.
    std::vector<std::string>* (*list)(BackendArguments& arguments) = nullptr;
    // The value names a file or device (the window reads it in the file
    // system's encoding).
    bool path = false;
    // --check-ports and `ports` survey the machine's own ports and refuse it.
    bool refusedBySurvey = true;

    bool OnCli() const { return faces != OptionFaces::Window; }
    bool InWindow() const { return faces != OptionFaces::Cli; }
    std::string WindowHelp() const { return windowHelp.empty() ? help + "." : windowHelp; }
};

// In the order both faces' --help lists them.
std::vector<BackendOption> BackendOptionTable();

}  // namespace startup
