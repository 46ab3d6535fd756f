// The M62358/M62359 converters in the serial socket. While the frame line
// (latch bit 4) is high, each rising clock (bit 7) shifts in the data line
// (bit 6); the rising edge of the load line (bit 5) latches the last 14 bits
// into the channel they address: 4 address bits least significant first
// (channels 1..12), 2 range bits least significant first, 8 value bits most
// significant first.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "simulator/latch_edges.h"
#include "simulator/serial_chip.h"

namespace simulator {

class DacChip final : public SerialChip {
public:
    static constexpr int kChannels = 12;
    static constexpr int kFrameBits = 14;

    void OnLatch(std::uint8_t latch, std::int64_t nowUs) override;
    bool DataOut(std::int64_t) const override { return true; }  // the converters drive nothing back
    std::string Name() const override { return "M62358,M62359"; }
    std::vector<std::uint8_t>& Memory() override { return noMemory_; }
    void SetStoreFault(bool fault) override { storeFault_ = fault; }
    std::vector<DacChannel> Channels() const override;

    // Frames latched so far (including ones that addressed no channel).
    int Loads() const { return loads_; }

private:
    void LatchFrame();

    LatchTracker lines_;
    std::uint32_t shift_ = 0;
    int count_ = 0;
    int loads_ = 0;
    bool storeFault_ = false;
    std::array<DacChannel, kChannels> channels_{};
    std::vector<std::uint8_t> noMemory_;
};

}  // namespace simulator
