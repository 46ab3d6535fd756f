// Line levels of the output latch between two loads, for the socket chips:
// each model reacts to edges (rising clock, falling select), so it needs the
// levels before and after every load. The first load after a chip goes into
// the socket only sets the levels: the chip cannot know what came before.
#pragma once

#include <cstdint>

namespace simulator {

// Latch bits as the socket sees them.
inline constexpr int kSocketOrg = 4;     // 93Cxx ORG; DAC frame line
inline constexpr int kSocketSelect = 5;  // 93Cxx CS, AT25 /CS, DAC load line
inline constexpr int kSocketData = 6;    // data into the chip
inline constexpr int kSocketClock = 7;

struct LatchEdges {
    std::uint8_t before = 0;
    std::uint8_t after = 0;

    bool High(int bit) const { return (after >> bit) & 1; }
    bool Rose(int bit) const { return !((before >> bit) & 1) && High(bit); }
    bool Fell(int bit) const { return ((before >> bit) & 1) && !High(bit); }
};

class LatchTracker {
public:
    LatchEdges Load(std::uint8_t latch) {
        const LatchEdges edges{known_ ? last_ : latch, latch};
        known_ = true;
        last_ = latch;
        return edges;
    }

private:
    bool known_ = false;
    std::uint8_t last_ = 0;
};

}  // namespace simulator
