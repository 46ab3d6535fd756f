// What the fast whole-chip loops share between the parallel adapter's serial
// lines (fast_chip_transfers.cpp) and an SPI master (fast_chip_transfers_spidev.cpp):
// how many words or bytes a serial chip moves, and how a read-back marks the
// bytes that differ from what was written.
#pragma once

#include <algorithm>

#include "eeprom/classic_chip_transfers.h"

namespace eeprom::serial_chip {

// What a serial chip moves: `units` words or bytes, `bytes` image bytes.
struct SerialShape {
    bool microwire = false;
    bool spi = false;
    int organisation = 8;
    int units = 0;
    int bytes = 0;
};

inline SerialShape ShapeOf(const ChipParams& chip, int imageBytes) {
    SerialShape shape;
    shape.spi = chip.family == ChipFamily::Spi;
    shape.microwire =
        chip.family == ChipFamily::Microwire && (chip.organisation == 8 || chip.organisation == 16);
    if (!shape.spi && !shape.microwire) return shape;
    shape.organisation = shape.microwire ? chip.organisation : 8;
    const int bytesPerUnit = shape.organisation / 8;
    // Units that would not fit the image are left out, as the classic loops do.
    shape.units = std::clamp(chip.capacity, 0, std::max(imageBytes, 0) / bytesPerUnit);
    shape.bytes = shape.units * bytesPerUnit;
    return shape;
}

// The verify of a write, as the classic write does it: `image` holds what
// was read back over what was `written`; every byte that differs is marked
// red, and the user's image is put back. A write that stopped early shows
// here, red, rather than in a message that could be taken for success.
inline void MarkDifferences(const Image& written, Image& image, Image& marks, Image* readBack) {
    for (std::size_t k = 0; k < std::min(image.size(), marks.size()); ++k) {
        if (image[k] != written[k]) marks[k] = kMarkMismatch;
    }
    if (readBack) *readBack = image;
    image = written;
}

}  // namespace eeprom::serial_chip
