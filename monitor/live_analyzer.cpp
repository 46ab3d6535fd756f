// The live logic analyzer; see live_analyzer.h.
#include "monitor/live_analyzer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace monitor {
namespace {

// The decoder's bus events alone: its bit and "Read"/"Write" rows would
// triple the text the pipe carries and are skipped anyway.
constexpr const char* kAnnotations =
    "i2c=start:repeat-start:stop:ack:nack:address-read:address-write:data-read:data-write";
// What sigrok-cli says when the driver finds no device of its kind.
constexpr const char* kNoDevice = "No devices found";

}  // namespace

std::vector<std::string> AnalyzerCommand(const AnalyzerSettings& settings) {
    std::vector<std::string> argv{settings.program};
    if (settings.inputFile.empty()) {
        argv.insert(argv.end(), {"-d", settings.device, "--continuous", "-c",
                                 "samplerate=" + std::to_string(settings.rateHz)});
    } else {
        argv.insert(argv.end(), {"-i", settings.inputFile});
        if (!settings.inputFormat.empty()) argv.insert(argv.end(), {"-I", settings.inputFormat});
    }
    argv.insert(argv.end(), {"-P", "i2c:scl=" + settings.scl + ":sda=" + settings.sda, "-A", kAnnotations,
                             "--protocol-decoder-samplenum"});
    return argv;
}

void TransferRecords(const hardware::BusTransfer& transfer, hardware::TransferBuffer& records) {
    using Kind = hardware::BusEvent::Kind;
    records.Clear();
    bool address = false;
    for (const hardware::BusEvent& event : transfer) {
        if (event.kind == Kind::Start || event.kind == Kind::RepeatedStart) {
            address = true;
        } else if (event.kind == Kind::Byte) {
            const std::uint8_t type = address       ? hardware::kRecordAddress
                                      : event.acked ? std::uint8_t{0}
                                                    : hardware::kRecordUnacknowledged;
            records.Append({type, event.byte});
            address = false;
        }
    }
    records.SetStopSeen(!transfer.empty() && transfer.back().kind == Kind::Stop);
}

void LiveAnalyzer::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void LiveAnalyzer::StartWatching() {
    if (running_) return;
    trouble_.clear();
    finished_ = false;
    lines_.clear();
    done_.clear();
    assembler_.Clear();
    skipping_ = false;
    lastSample_ = 0;
    baseUs_ = nowUs_;
    std::string error;
    switch (child_.Begin(AnalyzerCommand(settings_), error)) {
        case platform::ChildProcess::Start::Started:
            running_ = true;
            return;
        case platform::ChildProcess::Start::NotFound:
            trouble_ =
                "sigrok-cli is not installed; the logic analyzer needs it: sudo apt install sigrok-cli";
            return;
        case platform::ChildProcess::Start::Failed:
            trouble_ = error;
            return;
    }
}

hardware::CaptureCount LiveAnalyzer::CaptureTransfers(int, const hardware::TransferSink& sink) {
    hardware::CaptureCount count;
    if (!running_) return count;
    lines_.clear();
    const bool alive = child_.Poll(lines_);
    for (const std::string& text : lines_) {
        hardware::DecoderLine line;
        if (!hardware::ParseDecoderLine(text, line)) continue;
        // The decoder prints its events in bus order as it finds them.
        if (line.ranged) {
            lastSample_ = line.sample;
        } else {
            line.sample = lastSample_;
        }
        // A transfer that never stops is cut where the PCF8584's capture
        // would end, and the rest of it skipped up to the next START, so a
        // stuck bus cannot fill the memory.
        const bool start = !line.ackLine && (line.event.kind == hardware::BusEvent::Kind::Start ||
                                             line.event.kind == hardware::BusEvent::Kind::RepeatedStart);
        if (skipping_ && !start) continue;
        skipping_ = false;
        assembler_.Add(line);
        if (assembler_.OpenEvents() >= static_cast<std::size_t>(hardware::kCaptureRecordLimit)) {
            assembler_.Finish();
            skipping_ = true;
        }
    }
    if (!alive) {
        assembler_.Finish();
        running_ = false;
        trouble_ = Ended();
        finished_ = trouble_.empty();
    }
    const auto rate = static_cast<std::uint64_t>(std::max<std::int64_t>(settings_.rateHz, 1));
    hardware::TransferBuffer records;
    for (Done& done : done_) {
        TransferRecords(done.transfer, records);
        if (!records.StopSeen()) ++count.capturesCut;
        nowUs_ = baseUs_ + static_cast<std::int64_t>(done.first / rate * 1'000'000 +
                                                     done.first % rate * 1'000'000 / rate);
        if (records.Size() > 0 && sink) sink(records);
    }
    done_.clear();
    return count;
}

void LiveAnalyzer::StopWatching() {
    child_.Stop();
    assembler_.Clear();
    done_.clear();
    running_ = false;
}

std::string LiveAnalyzer::Ended() const {
    const std::string said = child_.LastErrorLine();
    if (!settings_.inputFile.empty() && child_.Ending() == "exit status 0") return {};
    if (said.find(kNoDevice) != std::string::npos)
        return "No " + settings_.device +
               " logic analyzer was found: plug it in, and check that the udev rules "
               "of the libsigrok package let you use it (sigrok-cli said: " +
               said + ")";
    return "sigrok-cli stopped (" + child_.Ending() + ")" + (said.empty() ? "" : ": " + said);
}

}  // namespace monitor
