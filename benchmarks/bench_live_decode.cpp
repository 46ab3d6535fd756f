// Speed of the logic analyzer's I2C decoding, against sigrok-cli's own
// decoder on the same file in the same run: a real capture of a 24C256 being
// programmed (2,000,000 samples at 1 MHz, 16-bit samples, from
// tests/data/analyzer-captures).
//
//  - BM_DecoderAgainstSigrok: our decoder's samples a second of processor
//    time on one core (the raw samples in memory), sigrok-cli's decode of
//    the file (-P i2c, its annotations to a pipe) in its processor time, and
//    the ratio of the two.
//  - BM_MonitorFileAgainstSigrok: the whole `merlix-cli monitor
//    --analyzer-file` run (sigrok-cli streaming the samples, our decoding,
//    the CSV written, sigrok-cli's share included) against the same
//    sigrok-cli decode, in wall time and in processor time.
//  - BM_LiveDemo/RATE: sigrok-cli's demo driver at RATE Hz for two seconds,
//    watched as the monitor watches; kept_up is the share of the samples the
//    rate gives in that time that were decoded in it (the demo driver makes
//    fewer when the processor cannot keep its pace), most_behind_ms the
//    farthest our decoding fell behind it (its samples wait in a spool, so
//    sigrok-cli never waits for us).
// Needs sigrok-cli; each benchmark says so and skips when it is missing.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "monitor/i2c_sample_decoder.h"
#include "monitor/live_analyzer.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kCapture = MERLIX_SOURCE_DIR "/tests/data/analyzer-captures/glasgow-firmware-flash.sr";

// Runs `argv` to its end; its standard output in `out` when asked for.
bool RunToEnd(const std::vector<std::string>& argv, std::string* out = nullptr) {
    platform::ChildProcess child;
    std::string error;
    if (child.Begin(argv, error) != platform::ChildProcess::Start::Started) return false;
    std::string sink;
    while (child.PollBytes(out ? *out : sink, 1 << 20)) {
        if (!out) sink.clear();
        child.WaitForOutput(20);
    }
    return child.Ending() == "exit status 0";
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time, so that the figures hold on a machine busy with other
// work: this thread's, and that of the children reaped so far.
double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Cost {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds of processor time, its children's included
};

Cost Measure(const std::vector<std::string>& argv, bool& ok) {
    const auto began = Clock::now();
    const double cpu = ChildrenCpuSeconds();
    ok = RunToEnd(argv);
    return {Seconds(began), ChildrenCpuSeconds() - cpu};
}

// sigrok-cli's own decode of the capture.
Cost SigrokDecode() {
    bool ok = false;
    return Measure({"sigrok-cli", "-i", kCapture, "-P", "i2c:scl=SCL:sda=SDA", "-A",
                    "i2c=start:repeat-start:stop:ack:nack:address-read:address-write:data-read:data-write",
                    "--protocol-decoder-samplenum"},
                   ok);
}

void BM_DecoderAgainstSigrok(benchmark::State& state) {
    std::string raw;
    if (!RunToEnd({"sigrok-cli", "-i", kCapture, "-O", "binary"}, &raw)) {
        state.SkipWithError("sigrok-cli is not installed (Debian package sigrok-cli)");
        return;
    }
    const std::size_t samples = raw.size() / 2;  // 16-bit samples, SCL D0, SDA D1
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(raw.data());
    std::vector<hardware::DecoderLine> events;
    double best = 1e9;
    for (auto _ : state) {
        const double began = ThreadCpuSeconds();
        monitor::I2cSampleDecoder decoder(2, 0, 1);
        for (std::size_t at = 0; at < raw.size(); at += 1 << 20) {
            events.clear();
            decoder.Feed({bytes + at, std::min<std::size_t>(1 << 20, raw.size() - at)}, events);
        }
        benchmark::DoNotOptimize(events.data());
        best = std::min(best, ThreadCpuSeconds() - began);
    }
    const double sigrok = SigrokDecode().cpu;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples));
    state.counters["ours_Msamples_per_s"] = static_cast<double>(samples) / best / 1e6;
    state.counters["sigrok_Msamples_per_s"] = static_cast<double>(samples) / sigrok / 1e6;
    state.counters["times_faster"] = sigrok / best;
}
BENCHMARK(BM_DecoderAgainstSigrok)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_MonitorFileAgainstSigrok(benchmark::State& state) {
    Cost ours;
    for (auto _ : state) {
        bool ok = false;
        ours = Measure({MERLIX_CLI, "monitor", "--analyzer-file", kCapture, "--analyzer-pins",
                        "scl=SCL,sda=SDA", "--format", "csv"},
                       ok);
        if (!ok) {
            state.SkipWithError("merlix-cli monitor --analyzer-file failed (is sigrok-cli installed?)");
            return;
        }
    }
    const Cost sigrok = SigrokDecode();
    state.counters["merlix_cli_s"] = ours.wall;
    state.counters["sigrok_cli_s"] = sigrok.wall;
    state.counters["share_of_sigrok"] = ours.wall / sigrok.wall;
    state.counters["merlix_cli_cpu_s"] = ours.cpu;
    state.counters["sigrok_cli_cpu_s"] = sigrok.cpu;
    state.counters["cpu_share_of_sigrok"] = ours.cpu / sigrok.cpu;
}
BENCHMARK(BM_MonitorFileAgainstSigrok)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LiveDemo(benchmark::State& state) {
    monitor::AnalyzerSettings settings;
    settings.device = "demo";
    settings.rateHz = state.range(0);
    std::uint64_t decoded = 0;
    double elapsed = 0;
    double behindMs = 0;
    for (auto _ : state) {
        monitor::LiveAnalyzer analyzer(settings);
        analyzer.StartWatching();
        if (!analyzer.Trouble().empty()) {
            state.SkipWithError(analyzer.Trouble().c_str());
            return;
        }
        const auto began = Clock::now();
        while (Seconds(began) < 2.0 && analyzer.Trouble().empty()) {
            analyzer.CaptureTransfers(0, {});
            analyzer.SleepMs(5);  // the window's timer period
        }
        analyzer.CaptureTransfers(0, {});
        elapsed = Seconds(began);
        decoded = analyzer.SamplesDecoded();
        behindMs =
            static_cast<double>(analyzer.PeakSamplesBehind()) * 1000.0 / static_cast<double>(state.range(0));
        analyzer.StopWatching();
    }
    state.counters["Msamples_decoded_per_s"] = static_cast<double>(decoded) / elapsed / 1e6;
    state.counters["most_behind_ms"] = behindMs;
    state.counters["kept_up"] =
        static_cast<double>(decoded) / (static_cast<double>(state.range(0)) * elapsed);
}
BENCHMARK(BM_LiveDemo)
    ->Arg(24'000'000)
    ->Arg(100'000'000)
    ->Arg(400'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
