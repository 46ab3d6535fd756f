// The faces' view of the bench; see bench_control.h.
#include "startup/bench_control.h"

#include "simulator/i2c_memory.h"
#include "simulator/simulated_bench.h"

namespace startup {

bool BenchControl::PutPart(const std::string& name, std::string& error) const {
    return bench_->PutPart(name, error);
}

void BenchControl::SetChipListChoice(const std::string& entry) const { bench_->SetChipListChoice(entry); }

std::string BenchControl::FixedSocketChip() const { return bench_->config().fixedSocketChip; }

const hardware::ChipPart* BenchControl::I2cSocketPart() const {
    const simulator::I2cMemory* part = bench_->I2cPart();
    return part ? &part->Part() : nullptr;
}

bool BenchControl::PlaysCapture() const {
    return bench_->config().traffic == simulator::SimulatedBench::Traffic::Capture;
}

bool BenchControl::CapturePlayedOut() const { return bench_->CapturePlayedOut(); }

}  // namespace startup
