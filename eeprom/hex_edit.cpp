// Hex-view editing without widgets; see hex_edit.h.
#include "eeprom/hex_edit.h"

#include <algorithm>
#include <utility>

namespace eeprom {

int HexKeyDigit(int key) {
    if (key >= '0' && key <= '9') return key - '0';
    if (key >= 'A' && key <= 'F') return key - 'A' + 10;
    return -1;
}

std::uint8_t TypeHexDigit(HexEntryState& entry, std::uint8_t byte, int digit, int item) {
    if (item != entry.lastHexSelection) entry.lowNibbleNext = 0;
    // Remember the item, so that the low digit that follows stays on it even
    // when the selection got there without a selection notice.
    entry.lastHexSelection = item;
    const auto nibble = static_cast<std::uint8_t>(digit & 0x0F);
    if (entry.lowNibbleNext == 0) {
        entry.lowNibbleNext = 1;
        return static_cast<std::uint8_t>((byte & 0x0F) | (nibble << 4));
    }
    entry.lowNibbleNext = 0;
    return static_cast<std::uint8_t>((byte & 0xF0) | nibble);
}

void SwapBytePairs(Image& image) {
    for (int i = 0; i + 1 < image.Size(); i += 2) std::swap(image[i], image[i + 1]);
}

void MarkDifferences(const Image& image, const Image& snapshot, Image& marks) {
    const int size = std::min({image.Size(), snapshot.Size(), marks.Size()});
    for (int i = 0; i < size; ++i) {
        if (image[i] != snapshot[i]) marks[i] = kMarkChanged;
    }
}

}  // namespace eeprom
