// A logic analyzer watching the bus live: the analyzer suite's command line
// (sigrok-cli) runs as a child process and streams the raw samples of the
// two channels (-O binary), from the device or from a recorded capture; our
// own decoder (I2cSampleDecoder) turns them into the monitor's capture
// records, so the monitor, its log lines, the replay into the image, the bus
// transfers window and merlix-cli monitor take it as they take the parallel
// adapter's controller. Before the stream, sigrok-cli --show tells the
// channels' order, the bytes a sample takes and (for a file) the rate.
//
// Each transfer (START to STOP, repeated STARTs inside it) gives the records
// the PCF8584 gives for the same traffic: type 4 for each address byte, 0 for
// an acknowledged byte, 8 for one that was not. Its time is its first sample
// over the sample rate, so lines keep the analyzer's timing however late the
// pipe brings them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <chrono>
#include <memory>
#include "hardware/bus_sniffer.h"

#include "hardware/decoder_text.h"
#include "monitor/i2c_sample_decoder.h"
#include "platform/child_process.h"

namespace monitor {

struct AnalyzerSettings {
    // DRIVER[:conn=...], as sigrok-cli's -d takes it ("fx2lafw").
    std::string device;
    std::string scl = "D0";
    std::string sda = "D1";
    // The sample rate in Hz; it must be at least ten times the bus clock.
    std::int64_t rateHz = 1'000'000;
    // The program run; a test puts a script of its own here.
    std::string program = "sigrok-cli";
    // A recorded waveform decoded instead of the device (-i FILE -I FORMAT),
    // at the rate the file gives: its end is then the end of watching, no trouble.
    std::string inputFile;
    std::string inputFormat;
    // A recorded waveform plays at its own pace rather than as fast as it decodes.
    bool realtime = false;
};

// What sigrok-cli --show says of a device or a file.
struct SampleLayout {
    std::int64_t rateHz = 0;            // 0: not said
    int unitSize = 0;                   // bytes a sample; 0: not said
    std::vector<std::string> channels;  // in bit order
};
// Reads --show's text ("Samplerate: 4000000", "- SCL: logic", "Logic unitsize: 1",
// "demo - Demo device with 13 channels: D0 D1 ...").
SampleLayout ParseShowText(const std::string& text);

// The argument lists that ask for the layout and that stream the samples.
std::vector<std::string> AnalyzerShowCommand(const AnalyzerSettings& settings);
std::vector<std::string> AnalyzerCommand(const AnalyzerSettings& settings);

// The records the PCF8584 monitor gives for `transfer`.
void TransferRecords(const hardware::BusTransfer& transfer, hardware::TransferBuffer& records);

class LiveAnalyzer final : public hardware::BusSniffer {
public:
    explicit LiveAnalyzer(AnalyzerSettings settings) : settings_(std::move(settings)) {}
    LiveAnalyzer(const LiveAnalyzer&) = delete;
    LiveAnalyzer& operator=(const LiveAnalyzer&) = delete;

    // The time of the transfer last given to a capture sink (0 before any),
    // in microseconds; a later run of the analyzer continues from it.
    std::int64_t NowUs() override { return nowUs_; }
    void SleepMs(int ms) override;

    // Starts the analyzer unless it runs; Trouble() says when it cannot.
    void StartWatching() override;
    void RearmWatching() override {}
    // Reads what the analyzer decoded since the last pass, without waiting,
    // and gives each whole transfer to `sink`. `reads` has no meaning here.
    hardware::CaptureCount CaptureTransfers(int reads, const hardware::TransferSink& sink) override;
    // Ends the analyzer.
    void StopWatching() override;
    std::string Trouble() const override { return trouble_; }

    // A recorded waveform has been decoded to its end.
    bool Finished() const { return finished_; }
    const AnalyzerSettings& Settings() const { return settings_; }
    // The analyzer's process id while it runs, else -1.
    pid_t ChildPid() const { return child_.Pid(); }
    // Samples decoded since watching started, and the rate they came at.
    std::uint64_t SamplesDecoded() const { return decoder_ ? decoder_->Samples() : 0; }
    std::int64_t RateHz() const { return rateHz_; }
    // The farthest the decoding fell behind the device, in samples: they
    // waited in the spool, and the device never waited for us.
    std::uint64_t PeakSamplesBehind() const {
        return child_.PeakWaiting() / static_cast<unsigned>(unitSize_);
    }

private:
    AnalyzerSettings settings_;
    platform::ChildProcess child_;
    struct Done {
        hardware::BusTransfer transfer;
        std::uint64_t first = 0;
    };
    std::vector<Done> done_;
    hardware::TransferAssembler assembler_{[this](hardware::BusTransfer& transfer, std::uint64_t first) {
        done_.push_back({std::move(transfer), first});
    }};
    std::unique_ptr<I2cSampleDecoder> decoder_;
    std::vector<hardware::DecoderLine> events_;
    std::string block_;
    bool header_ = true;  // the stream's first bytes, which may be a text header
    std::int64_t rateHz_ = 0;
    int unitSize_ = 1;
    std::chrono::steady_clock::time_point began_;
    std::int64_t baseUs_ = 0;
    std::int64_t nowUs_ = 0;
    bool running_ = false;
    bool skipping_ = false;  // a transfer too long was cut: its rest is skipped
    bool finished_ = false;
    std::string trouble_;

    std::string Ended(const platform::ChildProcess& child) const;
    bool Probe(std::int64_t& rateHz, int& unitSize, int& sclBit, int& sdaBit);
    std::size_t Budget() const;
    void Decode(std::string_view bytes);
};

}  // namespace monitor
