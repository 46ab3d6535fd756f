// The logic analyzer options of both faces: --analyzer DRIVER[:conn=...]
// or --analyzer-file FILE (a sigrok session .sr or a VCD) with --realtime,
// --analyzer-pins scl=D0,sda=D1 and --analyzer-rate 1M, read into the
// settings the live analyzer runs with. With an analyzer the monitor watches
// through it, whatever adapter the run drives.
#pragma once

#include <string>

#include "monitor/live_analyzer.h"

namespace startup {

// What the rate rule says in help texts and sentences.
inline constexpr const char* kAnalyzerRateRule =
    "at least ten times the bus clock: 1M for 100 kHz, 4M for 400 kHz";

struct AnalyzerArguments {
    std::string device;     // empty: no analyzer
    std::string pins;       // empty: scl=D0,sda=D1
    std::string rate;       // empty: 1M
    std::string file;       // --analyzer-file: a recorded capture played instead of a device
    bool realtime = false;  // --realtime: the file plays at its own pace
};

// False with one sentence in `error` when a value is wrong, or pins or a rate
// come without --analyzer or --analyzer-file. Settings are untouched then.
bool ParseAnalyzerArguments(const AnalyzerArguments& arguments, monitor::AnalyzerSettings& settings,
                            std::string& error);

// "2M", "2MHz", "500k", "2000000" in Hz; false for anything else or 0.
bool ParseSampleRate(const std::string& text, long long& hz);
// The rate as the options spell it: "2M", "500k", "1234".
std::string SampleRateText(long long hz);

}  // namespace startup
