// Editing the image from the hex view, without widgets: the nibble-entry
// state, typing one hexadecimal digit into a byte, the "H/L" byte swap and the
// compare marking. The hex-view handlers call these.
#pragma once

#include <cstdint>

#include "eeprom/image.h"

namespace eeprom {

// Nibble-entry state of the hex view (once the process-wide hexViewFocused,
// lowNibbleNext and lastHexSelection, with the g_ prefix).
struct HexEntryState {
    std::uint8_t hexViewFocused = 0;  // 1 while the hex view has the focus
    std::uint8_t lowNibbleNext = 0;   // 0: the next digit is the high one, 1: the low one
    int lastHexSelection = 0;         // item that took the last digit (or the last selected)
};

// Digit value of a key code of the main keyboard's 0-9 and A-F keys (their
// ASCII codes, which Qt's key codes share); -1 for any other key.
int HexKeyDigit(int key);

// Types one digit into `byte`, typed on hex-view item `item`: the high digit
// first, then the low one; a digit on another item than the last one starts
// again with the high digit. Returns the new byte.
std::uint8_t TypeHexDigit(HexEntryState& entry, std::uint8_t byte, int digit, int item);

// "H/L": swaps the two bytes of every pair (0,1), (2,3) ... of the image.
void SwapBytePairs(Image& image);

// Marks yellow every byte that differs from the snapshot. Marks are only
// raised here, never lowered: a byte typed back to its old value stays
// yellow until the marks are cleared.
void MarkDifferences(const Image& image, const Image& snapshot, Image& marks);

}  // namespace eeprom
