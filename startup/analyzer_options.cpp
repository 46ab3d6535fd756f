// The logic analyzer options; see analyzer_options.h.
#include "startup/analyzer_options.h"

#include <algorithm>
#include <cctype>

namespace startup {
namespace {

// The fastest rate any analyzer sigrok drives takes, with room to spare.
constexpr long long kMaxRateHz = 10'000'000'000LL;
// The slowest rate that can follow a bus at all: ten samples a clock of a
// 1 kHz bus, far below any I2C device's clock.
constexpr long long kMinRateHz = 10'000;

// A channel name as sigrok-cli's -P takes it: letters, digits, '_'.
bool ChannelName(const std::string& name) {
    if (name.empty() || name.size() > 16) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

bool ParsePins(const std::string& text, std::string& scl, std::string& sda) {
    std::string found[2];
    std::size_t begin = 0;
    for (int i = 0; i < 2; ++i) {
        const std::size_t end = i == 0 ? text.find(',') : text.size();
        if (end == std::string::npos) return false;
        const std::string item = text.substr(begin, end - begin);
        begin = end + 1;
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) return false;
        std::string key = item.substr(0, equals);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const int slot = key == "scl" ? 0 : key == "sda" ? 1 : -1;
        if (slot < 0 || !found[slot].empty() || !ChannelName(item.substr(equals + 1))) return false;
        found[slot] = item.substr(equals + 1);
    }
    if (found[0] == found[1]) return false;
    scl = found[0];
    sda = found[1];
    return true;
}

}  // namespace

bool ParseSampleRate(const std::string& text, long long& hz) {
    std::size_t i = 0;
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i < 12)
        value = value * 10 + (text[i++] - '0');
    if (i == 0) return false;
    std::string unit = text.substr(i);
    if (unit.size() >= 2 &&
        (unit.compare(unit.size() - 2, 2, "Hz") == 0 || unit.compare(unit.size() - 2, 2, "hz") == 0))
        unit.erase(unit.size() - 2);
    long long scale = 1;
    if (unit == "k" || unit == "K") {
        scale = 1'000;
    } else if (unit == "M" || unit == "m") {
        scale = 1'000'000;
    } else if (unit == "G" || unit == "g") {
        scale = 1'000'000'000;
    } else if (!unit.empty()) {
        return false;
    }
    if (value <= 0 || value > kMaxRateHz / scale) return false;
    hz = value * scale;
    return true;
}

std::string SampleRateText(long long hz) {
    if (hz % 1'000'000 == 0) return std::to_string(hz / 1'000'000) + "M";
    if (hz % 1'000 == 0) return std::to_string(hz / 1'000) + "k";
    return std::to_string(hz);
}

bool ParseAnalyzerArguments(const AnalyzerArguments& arguments, monitor::AnalyzerSettings& settings,
                            std::string& error) {
    if (!arguments.device.empty() && !arguments.file.empty()) {
        error = "--analyzer and --analyzer-file are two sources: give one";
        return false;
    }
    if (arguments.device.empty() && arguments.file.empty()) {
        if (arguments.pins.empty() && arguments.rate.empty() && !arguments.realtime) return true;
        error = std::string(!arguments.pins.empty()   ? "--analyzer-pins"
                            : !arguments.rate.empty() ? "--analyzer-rate"
                                                      : "--realtime") +
                " goes with --analyzer DRIVER or --analyzer-file FILE";
        return false;
    }
    if (arguments.realtime && arguments.file.empty()) {
        error = "--realtime paces a recorded capture: it goes with --analyzer-file FILE";
        return false;
    }
    const std::string& device = arguments.device;
    const bool printable = std::all_of(device.begin(), device.end(), [](char c) {
        return std::isgraph(static_cast<unsigned char>(c)) != 0;
    });
    if (arguments.file.empty() && (!printable || device.front() == '-' || device.front() == ':')) {
        error = "--analyzer takes DRIVER or DRIVER:conn=..., as sigrok-cli -d does, not '" + device + "'";
        return false;
    }
    monitor::AnalyzerSettings parsed = settings;
    parsed.device = device;
    parsed.inputFile = arguments.file;
    parsed.realtime = arguments.realtime;
    if (!arguments.pins.empty() && !ParsePins(arguments.pins, parsed.scl, parsed.sda)) {
        error = "--analyzer-pins takes the two channels as scl=D0,sda=D1, not '" + arguments.pins + "'";
        return false;
    }
    long long hz = 0;
    if (!arguments.rate.empty()) {
        if (!ParseSampleRate(arguments.rate, hz)) {
            error = "--analyzer-rate takes a sample rate such as 1M, 2M or 500k (" +
                    std::string(kAnalyzerRateRule) + "), not '" + arguments.rate + "'";
            return false;
        }
        if (hz < kMinRateHz) {
            error = "--analyzer-rate " + arguments.rate + " is too slow to follow any I2C bus; take " +
                    SampleRateText(kMinRateHz) + " or more (" + kAnalyzerRateRule + ")";
            return false;
        }
        parsed.rateHz = hz;
    }
    settings = parsed;
    return true;
}

}  // namespace startup
