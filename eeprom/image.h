// The EEPROM image the programmer works on: 2048 bytes, its compare snapshot
// and one mark code per byte. Page p (0..7) is bytes p*256..p*256+255; for
// I2C memories it is the block at device address 0xA0 + 2p.
#pragma once

#include <array>
#include <cstdint>

namespace eeprom {

inline constexpr int kImageSize = 2048;
inline constexpr int kPageSize = 256;
inline constexpr int kPageCount = kImageSize / kPageSize;

// Mark codes and their highlight colours (0xRRGGBB).
inline constexpr std::uint8_t kMarkNone = 0;
inline constexpr std::uint8_t kMarkSeen = 1;      // green: seen on the bus
inline constexpr std::uint8_t kMarkChanged = 2;   // yellow: differs from the snapshot
inline constexpr std::uint8_t kMarkMismatch = 4;  // red: failed verify / value in a selected log line
inline constexpr std::uint32_t kMarkColourSeen = 0x00FF00;
inline constexpr std::uint32_t kMarkColourChanged = 0xFFFF00;
inline constexpr std::uint32_t kMarkColourMismatch = 0xFF0000;
// Colour of a mark code; 0 when the code draws no highlight.
std::uint32_t MarkColour(std::uint8_t mark);

using ImageArray = std::array<std::uint8_t, kImageSize>;

// True when index is a valid image position; every index computed from text
// goes through this before it touches the arrays.
constexpr bool InImage(long index) { return index >= 0 && index < kImageSize; }

}  // namespace eeprom
