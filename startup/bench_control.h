// What the faces do to the simulated bench, without reaching into its
// models: put a part into its socket, follow the chip list, tell what the
// sockets hold and whether the second master's capture has played out. The
// bench window alone works on the models themselves.
#pragma once

#include <string>

namespace hardware {
struct ChipPart;
}
namespace simulator {
class SimulatedBench;
}

namespace startup {

// A view of one bench, or of none (false): it owns nothing.
class BenchControl {
public:
    BenchControl() = default;
    explicit BenchControl(simulator::SimulatedBench* bench) : bench_(bench) {}
    explicit operator bool() const { return bench_ != nullptr; }

    // Puts part `name` into its socket; false with one sentence.
    bool PutPart(const std::string& name, std::string& error) const;
    // The serial socket follows the chip list's entry (unless --bench-chip keeps one there).
    void SetChipListChoice(const std::string& entry) const;
    // The chip --bench-chip keeps in its socket, as it was named; empty for none.
    std::string FixedSocketChip() const;
    // The part in the I2C socket, null for none.
    const hardware::ChipPart* I2cSocketPart() const;
    // The second master plays a capture (--traffic), and has played all of it.
    bool PlaysCapture() const;
    bool CapturePlayedOut() const;

private:
    simulator::SimulatedBench* bench_ = nullptr;
};

}  // namespace startup
