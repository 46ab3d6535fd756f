// The live logic analyzer; see live_analyzer.h.
#include "monitor/live_analyzer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace monitor {
namespace {

// What sigrok-cli says when the driver finds no device of its kind.
constexpr const char* kNoDevice = "No devices found";
// How long sigrok-cli may take to say what a device or file holds (a
// device may need its firmware loaded first).
constexpr int kShowTimeoutMs = 20'000;
// What one pass reads at most, so that a pass stays short however fast a
// recorded capture plays; and the pieces it decodes them in (memory stays
// bounded whatever the capture's length).
constexpr std::size_t kPassBytes = 32u << 20;
constexpr std::size_t kBlockBytes = 1u << 20;
// How long a pass over a recorded capture waits for more of it.
constexpr int kPassMs = 40;
// How far a device's samples may wait for decoding (they wait in memory,
// so that the device never waits for us): ten seconds at 24 MHz. Past it
// the monitor has fallen so far behind that it stops and says so.
constexpr std::size_t kMostBehindBytes = 256u << 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The channel's bit: its name as given, else the same name in another case.
int ChannelBit(const std::vector<std::string>& channels, const std::string& name) {
    for (std::size_t i = 0; i < channels.size(); ++i)
        if (channels[i] == name) return static_cast<int>(i);
    for (std::size_t i = 0; i < channels.size(); ++i)
        if (Lower(channels[i]) == Lower(name)) return static_cast<int>(i);
    return -1;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

SampleLayout ParseShowText(const std::string& text) {
    SampleLayout layout;
    std::vector<std::string> listed;  // "- NAME: logic" lines
    std::vector<std::string> header;  // "... with N channels: A B C"
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        auto value = [&](const char* key) -> std::optional<long long> {
            const std::string k = key;
            if (line.compare(0, k.size(), k) != 0) return std::nullopt;
            try {
                return std::stoll(line.substr(k.size()));
            } catch (...) {
                return std::nullopt;
            }
        };
        if (auto rate = value("Samplerate: ")) {
            layout.rateHz = *rate;
        } else if (auto unit = value("Logic unitsize: ")) {
            layout.unitSize = static_cast<int>(*unit);
        } else if (line.size() > 9 && line.compare(0, 2, "- ") == 0 &&
                   line.compare(line.size() - 7, 7, ": logic") == 0) {
            listed.push_back(line.substr(2, line.size() - 9));
        } else if (const std::size_t at = line.find(" channels: ");
                   at != std::string::npos && header.empty() && line.find(" with ") != std::string::npos) {
            std::size_t from = at + 11;
            while (from < line.size()) {
                std::size_t to = line.find(' ', from);
                if (to == std::string::npos) to = line.size();
                if (to > from) header.push_back(line.substr(from, to - from));
                from = to + 1;
            }
        }
    }
    layout.channels = listed.empty() ? header : listed;
    return layout;
}

std::vector<std::string> AnalyzerShowCommand(const AnalyzerSettings& settings) {
    std::vector<std::string> argv{settings.program};
    if (settings.inputFile.empty()) {
        argv.insert(argv.end(), {"-d", settings.device});
    } else {
        argv.insert(argv.end(), {"-i", settings.inputFile});
        if (!settings.inputFormat.empty()) argv.insert(argv.end(), {"-I", settings.inputFormat});
    }
    argv.push_back("--show");
    return argv;
}

std::vector<std::string> AnalyzerCommand(const AnalyzerSettings& settings) {
    std::vector<std::string> argv{settings.program};
    if (settings.inputFile.empty()) {
        // Only the two channels, so the device sends as little as it can.
        argv.insert(argv.end(), {"-d", settings.device, "--continuous", "-c",
                                 "samplerate=" + std::to_string(settings.rateHz), "-C",
                                 settings.scl + "," + settings.sda});
    } else {
        argv.insert(argv.end(), {"-i", settings.inputFile});
        if (!settings.inputFormat.empty()) argv.insert(argv.end(), {"-I", settings.inputFormat});
    }
    argv.insert(argv.end(), {"-O", "binary"});
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

bool LiveAnalyzer::Probe(std::int64_t& rateHz, int& unitSize, int& sclBit, int& sdaBit) {
    platform::ChildProcess show;
    std::string error;
    switch (show.Begin(AnalyzerShowCommand(settings_), error)) {
        case platform::ChildProcess::Start::Started:
            break;
        case platform::ChildProcess::Start::NotFound:
            trouble_ =
                "sigrok-cli is not installed; the logic analyzer needs it: sudo apt install sigrok-cli";
            return false;
        case platform::ChildProcess::Start::Failed:
            trouble_ = error;
            return false;
    }
    std::vector<std::string> lines;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShowTimeoutMs);
    while (show.Poll(lines)) {
        if (std::chrono::steady_clock::now() > end) {
            show.Stop();
            trouble_ = "sigrok-cli did not say within " + std::to_string(kShowTimeoutMs / 1000) +
                       " s what the analyzer holds";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    const SampleLayout layout = ParseShowText(text);
    if (show.Ending() != "exit status 0" || layout.channels.empty()) {
        trouble_ = Ended(show);
        if (trouble_.empty()) trouble_ = "sigrok-cli named no channels of " + settings_.inputFile;
        return false;
    }
    sclBit = ChannelBit(layout.channels, settings_.scl);
    sdaBit = ChannelBit(layout.channels, settings_.sda);
    for (const std::string* name : {&settings_.scl, &settings_.sda}) {
        if (ChannelBit(layout.channels, *name) >= 0) continue;
        trouble_ = (settings_.inputFile.empty() ? "The analyzer" : settings_.inputFile) + " has no channel " +
                   *name + " (its channels: " + Joined(layout.channels) +
                   "): name SCL's and SDA's with --analyzer-pins scl=NAME,sda=NAME";
        return false;
    }
    // A file says its sample size. A device sends one byte a sample while no
    // channel past the eighth is on, two beyond (libsigrok's fx2lafw,
    // protocol.c: sample_wide = channel_mask > 0xff; its demo driver,
    // api.c: logic_unitsize = (num_logic_channels + 7) / 8, eight channels).
    unitSize = layout.unitSize > 0 ? layout.unitSize : std::max(sclBit, sdaBit) / 8 + 1;
    if (unitSize > 8 || std::max(sclBit, sdaBit) >= unitSize * 8) {
        trouble_ = "sigrok-cli gives samples of " + std::to_string(unitSize) +
                   " bytes; SCL and SDA must be among the first 64 channels";
        return false;
    }
    rateHz = settings_.inputFile.empty() || layout.rateHz <= 0 ? settings_.rateHz : layout.rateHz;
    return true;
}

void LiveAnalyzer::StartWatching() {
    if (running_) return;
    trouble_.clear();
    finished_ = false;
    done_.clear();
    events_.clear();
    assembler_.Clear();
    skipping_ = false;
    header_ = true;
    baseUs_ = nowUs_;
    int unitSize = 1, sclBit = 0, sdaBit = 1;
    std::int64_t rateHz = settings_.rateHz;
    if (!Probe(rateHz, unitSize, sclBit, sdaBit)) return;
    rateHz_ = std::max<std::int64_t>(rateHz, 1);
    unitSize_ = unitSize;
    decoder_ = std::make_unique<I2cSampleDecoder>(unitSize, sclBit, sdaBit);
    std::string error;
    // A device never waits for us (its samples go to a spool); a recorded
    // capture waits in the pipe, so that a long one takes no memory.
    const auto output = settings_.inputFile.empty() ? platform::ChildProcess::Output::Spool
                                                    : platform::ChildProcess::Output::Pipe;
    switch (child_.Begin(AnalyzerCommand(settings_), error, output)) {
        case platform::ChildProcess::Start::Started:
            running_ = true;
            began_ = std::chrono::steady_clock::now();
            return;
        case platform::ChildProcess::Start::NotFound:
        case platform::ChildProcess::Start::Failed:
            trouble_ = error;
            return;
    }
}

std::size_t LiveAnalyzer::Budget() const {
    if (!settings_.realtime || settings_.inputFile.empty()) return kPassBytes;
    // Paced: no further than the samples the time since the start covers.
    const auto elapsedUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - began_)
            .count();
    const auto due = static_cast<std::uint64_t>(elapsedUs / 1'000'000 * rateHz_ +
                                                elapsedUs % 1'000'000 * rateHz_ / 1'000'000);
    const std::uint64_t decoded = decoder_->Samples();
    if (due <= decoded) return 0;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>((due - decoded) * static_cast<std::uint64_t>(unitSize_), kPassBytes));
}

void LiveAnalyzer::Decode(std::string_view bytes) {
    if (header_ && bytes.empty()) return;
    if (header_) {
        // sigrok-cli writes a VCD's rate as a text line before its samples
        // ("META samplerate: 10000000"); nothing of it is a sample.
        static constexpr std::string_view kMeta = "META ";
        while (!bytes.empty()) {
            if (bytes.size() < kMeta.size() && kMeta.substr(0, bytes.size()) == bytes) return;
            if (bytes.substr(0, kMeta.size()) != kMeta) break;
            const std::size_t end = bytes.find('\n');
            if (end == std::string_view::npos && bytes.size() < 4096) return;  // the rest comes next
            if (end == std::string_view::npos) break;                          // no header line is that long
            bytes.remove_prefix(end + 1);
        }
        header_ = false;
    }
    events_.clear();
    decoder_->Feed({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, events_);
    for (const hardware::DecoderLine& line : events_) {
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
}

hardware::CaptureCount LiveAnalyzer::CaptureTransfers(int, const hardware::TransferSink& sink) {
    hardware::CaptureCount count;
    if (!running_) return count;
    bool alive = true;
    std::size_t budget = Budget();
    // A recorded capture plays as fast as it decodes: the pass waits for
    // sigrok-cli's next bytes for a while rather than leave them to the next.
    const bool unpaced = !settings_.inputFile.empty() && !settings_.realtime;
    const auto passEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPassMs);
    while (budget > 0) {
        // Until the header is read, the bytes wait here until its line is whole.
        if (!header_) block_.clear();
        const std::size_t before = block_.size();
        alive = child_.PollBytes(block_, std::min(budget, kBlockBytes));
        const std::size_t got = block_.size() - before;
        budget -= std::min(budget, got);
        Decode(block_);
        if (!alive) break;
        if (got == 0 &&
            (!unpaced || std::chrono::steady_clock::now() >= passEnd || !child_.WaitForOutput(kPassMs)))
            break;
    }
    if (!alive) {
        assembler_.Finish();
        running_ = false;
        trouble_ = Ended(child_);
        finished_ = trouble_.empty();
    }
    hardware::TransferBuffer records;
    for (Done& done : done_) {
        TransferRecords(done.transfer, records);
        if (!records.StopSeen()) ++count.capturesCut;
        const auto rate = static_cast<std::uint64_t>(rateHz_);
        nowUs_ = baseUs_ + static_cast<std::int64_t>(done.first / rate * 1'000'000 +
                                                     done.first % rate * 1'000'000 / rate);
        records.SetStartUs(nowUs_);
        if (records.Size() > 0 && sink) sink(records);
    }
    done_.clear();
    if (const std::size_t behind = running_ ? child_.Waiting() : 0; behind > kMostBehindBytes) {
        const double seconds =
            static_cast<double>(behind / static_cast<unsigned>(unitSize_)) / static_cast<double>(rateHz_);
        char text[160];
        std::snprintf(text, sizeof text,
                      "the monitor fell %.1f s behind the logic analyzer and stopped it; choose a lower "
                      "--analyzer-rate",
                      seconds);
        StopWatching();
        trouble_ = text;
    }
    return count;
}

void LiveAnalyzer::StopWatching() {
    child_.Stop();
    assembler_.Clear();
    done_.clear();
    running_ = false;
}

std::string LiveAnalyzer::Ended(const platform::ChildProcess& child) const {
    const std::string said = child.LastErrorLine();
    if (!settings_.inputFile.empty() && child.Ending() == "exit status 0") return {};
    if (said.find(kNoDevice) != std::string::npos)
        return "No " + settings_.device +
               " logic analyzer was found: plug it in, and check that the udev rules "
               "of the libsigrok package let you use it (sigrok-cli said: " +
               said + ")";
    return "sigrok-cli stopped (" + child.Ending() + ")" + (said.empty() ? "" : ": " + said);
}

}  // namespace monitor
