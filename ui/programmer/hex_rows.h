// How the hex editor lays out a row: sixteen bytes as "XX " with a wider gap
// after the eighth, the offsets left of them and the characters right.
#pragma once

namespace ui::hexrows {

inline constexpr int kRowBytes = 16;
inline constexpr int kMargin = 4;     // pixels left of the offsets
inline constexpr int kOffsetGap = 2;  // characters between offsets and hex
inline constexpr int kAsciiGap = 2;   // characters between hex and ASCII
inline constexpr int kHexChars = 49;  // "XX " x 16 with a wider gap after the 8th, less the last blank
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The character of a row's hex string where byte `column` begins.
constexpr int HexColumnChar(int column) { return 3 * column + (column >= 8 ? 1 : 0); }

}  // namespace ui::hexrows
