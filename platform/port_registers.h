// The parallel port's register map, as offsets from the port base, and the
// board's configuration pair. The adapter driver writes these registers and
// the simulated bench answers them; both read the map from here.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr int kDataPort = 0;
inline constexpr int kStatusPort = 1;
inline constexpr int kControlPort = 2;
inline constexpr int kEppAddress = 3;  // PCF8584 S1
inline constexpr int kEppData = 4;     // PCF8584 S0
inline constexpr int kEcr = 0x402;
inline constexpr std::uint16_t kConfigIndex = 0x3F0;
inline constexpr std::uint16_t kConfigData = 0x3F1;

}  // namespace platform
