#include "simulator/dac_chip.h"

namespace simulator {

void DacChip::OnLatch(std::uint8_t latch, std::int64_t) {
    const LatchEdges lines = lines_.Load(latch);
    if (lines.Rose(kSocketClock) && lines.High(kSocketOrg)) {
        shift_ = ((shift_ << 1) | (lines.High(kSocketData) ? 1u : 0u)) & ((1u << kFrameBits) - 1);
        if (count_ < kFrameBits) ++count_;
    }
    if (lines.Rose(kSocketSelect)) LatchFrame();
}

void DacChip::LatchFrame() {
    const bool whole = count_ == kFrameBits;
    count_ = 0;
    if (!whole) return;  // a short frame latches nothing
    ++loads_;
    // Bit k in clock order sits at 13 - k in the shift register.
    auto bit = [this](int k) { return static_cast<int>((shift_ >> (kFrameBits - 1 - k)) & 1u); };
    int address = 0;
    for (int k = 0; k < 4; ++k) address |= bit(k) << k;
    const int range = bit(4) | (bit(5) << 1);
    int value = 0;
    for (int k = 6; k < kFrameBits; ++k) value = (value << 1) | bit(k);
    if (address < 1 || address > kChannels || storeFault_) return;
    DacChannel& channel = channels_[static_cast<std::size_t>(address - 1)];
    channel.value = static_cast<std::uint8_t>(value);
    channel.range = static_cast<std::uint8_t>(range);
}

std::vector<DacChannel> DacChip::Channels() const { return {channels_.begin(), channels_.end()}; }

}  // namespace simulator
