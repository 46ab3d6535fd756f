// The parallel adapter on the bench's own port; see bench_adapter.h.
#include "simulator/bench_adapter.h"

#include "hardware/parallel/parallel_descriptor.h"

namespace simulator {
namespace {

constexpr const char* kMenu[] = {"Bench: the parallel adapter|bench:parallel", nullptr};

hardware::AdapterDescriptor::Parse Parse(const std::string&, bool given, BenchChoice& choice, std::string&) {
    if (given) return hardware::AdapterDescriptor::Parse::NotMine;
    choice.adapter = &kParallelOnTheBench;
    return hardware::AdapterDescriptor::Parse::Taken;
}

std::unique_ptr<BenchAdapter> Open(SimulatedBench&, const BenchChoice&, platform::Counter&, std::string&,
                                   std::string&) {
    return std::make_unique<BenchAdapter>();
}

}  // namespace

const BenchAdapterDescriptor kParallelOnTheBench{
    .adapter = &hardware::kParallelAdapter,
    .syntax = "parallel",
    .help = "parallel",
    .benchName = "the parallel adapter's bench",
    .portLevel = true,
    .menu = kMenu,
    .parse = Parse,
    .open = Open,
};

}  // namespace simulator
