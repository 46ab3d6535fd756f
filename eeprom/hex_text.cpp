#include "eeprom/hex_text.h"

#include <algorithm>

namespace eeprom {

namespace {
int DigitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : static_cast<unsigned char>(c) - 55; }
}  // namespace

int HexDigitsToValue(std::string_view text) {
    if (text.empty() || text[0] == '\0') return 0;
    const int first = DigitValue(text[0]);
    if (text.size() < 2 || text[1] == '\0') return first;
    return first * 16 + DigitValue(text[1]);
}

std::string ChipAddressText(int address, int chipBytes) {
    int digits = 4;
    while (digits < 8 && (static_cast<unsigned>(std::max(chipBytes - 1, address)) >> (4 * digits)) != 0)
        ++digits;
    std::string text = "0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += HexDigit(address >> shift);
    return text;
}

int HexTextValue(const QString& text) { return HexDigitsToValue(text.left(2).toStdString()) & 0xFF; }

}  // namespace eeprom
