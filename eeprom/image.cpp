#include "eeprom/image.h"

ImageArray g_image{};
ImageArray g_compareImage{};
ImageArray g_marks{};

std::uint32_t MarkColour(std::uint8_t mark) {
    switch (mark) {
        case kMarkSeen: return kMarkColourSeen;
        case kMarkChanged: return kMarkColourChanged;
        case kMarkMismatch: return kMarkColourMismatch;
        default: return 0;
    }
}

void ResetImageState() {
    g_image.fill(0);
    g_compareImage.fill(0);
    g_marks.fill(0);
}
