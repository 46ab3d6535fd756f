// The logic analyzer options both faces read: what each value gives the
// analyzer's command line, and the values refused with one sentence.
#include <gtest/gtest.h>

#include "startup/analyzer_options.h"

namespace {

TEST(AnalyzerOptions, ValuesReachTheCommandLineAndWrongOnesAreRefused) {
    struct Case {
        startup::AnalyzerArguments given;
        std::string command;  // the arguments after the program's name, or the sentence
    };
    const Case cases[] = {
        {{"fx2lafw", "", "", ""}, "-d fx2lafw --continuous -c samplerate=1000000 -C D0,D1 -O binary "},
        {{"fx2lafw:conn=1.7", "SDA=D3,scl=D2", "2MHz", ""},
         "-d fx2lafw:conn=1.7 --continuous -c samplerate=2000000 -C D2,D3 -O binary "},
        {{"", "scl=SCL,sda=SDA", "", "bus.sr", true}, "-i bus.sr -O binary "},
        {{"", "", "", ""}, ""},
        {{"", "scl=D0,sda=D1", "", ""},
         "--analyzer-pins goes with --analyzer DRIVER or --analyzer-file FILE"},
        {{"fx2lafw", "", "", "bus.sr"}, "--analyzer and --analyzer-file are two sources: give one"},
        {{"fx2lafw", "", "", "", true},
         "--realtime paces a recorded capture: it goes with --analyzer-file FILE"},
        {{"-x", "", "", ""}, "--analyzer takes DRIVER or DRIVER:conn=..., as sigrok-cli -d does, not '-x'"},
        {{"fx2lafw", "scl=D0,sda=D0", "", ""},
         "--analyzer-pins takes the two channels as scl=D0,sda=D1, not 'scl=D0,sda=D0'"},
        {{"fx2lafw", "scl=D0", "", ""},
         "--analyzer-pins takes the two channels as scl=D0,sda=D1, not 'scl=D0'"},
        {{"fx2lafw", "", "fast", ""},
         "--analyzer-rate takes a sample rate such as 1M, 2M or 500k (at least ten times the bus clock: 1M "
         "for 100 kHz, 4M for 400 kHz), not 'fast'"},
        {{"fx2lafw", "", "0", ""}, "--analyzer-rate takes a sample rate"},
        {{"fx2lafw", "", "1", ""}, "--analyzer-rate 1 is too slow to follow any I2C bus; take 10k or more"},
    };
    for (const Case& c : cases) {
        monitor::AnalyzerSettings settings;
        std::string error;
        const bool ok = startup::ParseAnalyzerArguments(c.given, settings, error);
        if (!ok) {
            EXPECT_EQ(error.substr(0, c.command.size()), c.command) << c.given.device << " " << c.given.rate;
            continue;
        }
        EXPECT_TRUE(error.empty());
        if (c.given.device.empty() && c.given.file.empty()) {
            EXPECT_TRUE(settings.device.empty());
            continue;
        }
        std::string command;
        for (const std::string& arg : monitor::AnalyzerCommand(settings)) command += arg + " ";
        EXPECT_EQ(command.substr(std::string("sigrok-cli ").size()), c.command);
        EXPECT_EQ(settings.realtime, c.given.realtime);
    }
    long long hz = 0;
    EXPECT_TRUE(startup::ParseSampleRate("500k", hz) && hz == 500'000);
    EXPECT_EQ(startup::SampleRateText(2'000'000), "2M");
    EXPECT_EQ(startup::SampleRateText(500'000), "500k");
}

}  // namespace
