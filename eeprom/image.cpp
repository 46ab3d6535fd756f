#include "eeprom/image.h"

namespace eeprom {

std::uint32_t MarkColour(std::uint8_t mark) {
    switch (mark) {
        case kMarkSeen:
            return kMarkColourSeen;
        case kMarkChanged:
            return kMarkColourChanged;
        case kMarkMismatch:
            return kMarkColourMismatch;
        default:
            return 0;
    }
}

}  // namespace eeprom
