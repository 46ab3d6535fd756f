// The adapter contract on the simulated bench, bare and behind the access
// tracer (which must change nothing the program sees).
#include <cstdio>
#include <memory>

#include "adapter_contract.h"
#include "platform/tracing_port_io.h"
#include "simulator/simulated_bench.h"

namespace {

struct BenchBackend {
    explicit BenchBackend(platform::Counter& counter) : counter_(counter) {}
    std::unique_ptr<platform::PortIo> Make() {
        auto bench = std::make_unique<simulator::SimulatedBench>(counter_);
        bench_ = bench.get();
        return bench;
    }
    std::uint8_t LatchSeen() { return bench_->Latch(); }

private:
    platform::Counter& counter_;
    simulator::SimulatedBench* bench_ = nullptr;
};

struct TracedBenchBackend {
    class Io final : public platform::PortIo {
    public:
        explicit Io(platform::Counter& counter)
            : bench(counter), file_(std::tmpfile(), &std::fclose), tracer_(bench, file_.get()) {}
        std::uint8_t In(std::uint16_t port) override { return tracer_.In(port); }
        void Out(std::uint16_t port, std::uint8_t value) override { tracer_.Out(port, value); }
        simulator::SimulatedBench bench;

    private:
        // Closed after the tracer, which writes its last line as it goes.
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
        platform::TracingPortIo tracer_;
    };
    explicit TracedBenchBackend(platform::Counter& counter) : counter_(counter) {}
    std::unique_ptr<platform::PortIo> Make() {
        auto io = std::make_unique<Io>(counter_);
        io_ = io.get();
        return io;
    }
    std::uint8_t LatchSeen() { return io_->bench.Latch(); }

private:
    platform::Counter& counter_;
    Io* io_ = nullptr;
};

using BenchBackends = ::testing::Types<BenchBackend, TracedBenchBackend>;
INSTANTIATE_TYPED_TEST_SUITE_P(Bench, AdapterContract, BenchBackends);

}  // namespace
