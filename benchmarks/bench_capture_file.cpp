// Speed of the capture reader (--traffic FILE, "Open capture...") on what a
// technician feeds it: a decoder dump of ordinary lines, and one annotation
// line that holds thousands of labels and quoted alternatives before its
// event. Both should cost time in proportion to their length.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "simulator/simulated_bench.h"

namespace {

// About `bytes` of decoder text: EEPROM writes of one byte each.
std::string DecoderDump(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        text += "i2c-1: Start\ni2c-1: Address write: 50\ni2c-1: ACK\ni2c-1: Data write: 10\n"
                "i2c-1: ACK\ni2c-1: Data write: 5A\ni2c-1: ACK\ni2c-1: Stop\n";
    }
    return text;
}

// One line of about `bytes` whose event stands after all its labels.
std::string LongAnnotationLine(std::size_t bytes) {
    std::string text = "10-11 I2C: Address/data: Start\n20-28 I2C: ";
    while (text.size() < bytes) text += "row: \"Data write: zz\" ";
    return text + "Address write: 50\n30-31 I2C: Stop\n";
}

void Parse(benchmark::State& state, const std::string& text) {
    std::vector<simulator::BusTransfer> transfers;
    for (auto _ : state) benchmark::DoNotOptimize(simulator::ParseCaptureText(text, transfers));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_CaptureDecoderDump(benchmark::State& state) {
    Parse(state, DecoderDump(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_CaptureDecoderDump)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_CaptureLongLine(benchmark::State& state) {
    Parse(state, LongAnnotationLine(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_CaptureLongLine)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
