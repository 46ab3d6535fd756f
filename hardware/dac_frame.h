// The M62358/M62359 converter frame on the serial lines: with the
// frame line (latch bit 4) high, 14 bits are clocked out (channel address
// 1..12 and range least significant bit first, value most significant bit
// first), then the rising load line (bit 5) latches them into the channel.
#pragma once

#include <cstdint>

#include "hardware/serial_lines.h"

namespace hardware {

inline constexpr int kDacChannels = 12;

// `channel` 0..11 is sent as address channel + 1; `range` 0..3 picks the
// full scale (5, 8, 9, 12 V). Lines 0..3 of the latch keep the shadow's value.
void SendDacFrame(SerialLines& lines, int channel, int range, std::uint8_t value);

}  // namespace hardware
