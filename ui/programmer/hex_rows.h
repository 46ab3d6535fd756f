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

// The character of a row's hex string where byte `column` begins. With
// `words`, pairs of bytes show as 16-bit words ("XXXX ") in the order the
// buffer holds them (a x16 Microwire word's high byte first).
constexpr int HexColumnChar(int column, bool words = false) {
    return (words ? 5 * (column / 2) + 2 * (column % 2) : 3 * column) + (column >= 8 ? 1 : 0);
}
// The byte whose digits are at character `c` of a row's hex string, and which
// of its digits (0 high, 1 low).
constexpr int HexCharColumn(int c, bool words, int& nibble) {
    const int at = c >= (words ? 21 : 25) ? c - 1 : c;
    const int unit = words ? 5 : 3;
    const int within = at % unit;
    const int column = words ? 2 * (at / unit) + (within >= 2 ? 1 : 0) : at / unit;
    nibble = words ? (within == 1 || within >= 3 ? 1 : 0) : (within >= 1 ? 1 : 0);
    return column < 0 ? 0 : column > kRowBytes - 1 ? kRowBytes - 1 : column;
}

}  // namespace ui::hexrows
