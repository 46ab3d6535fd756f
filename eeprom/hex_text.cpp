#include "eeprom/hex_text.h"

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

int HexTextValue(const QString& text) { return HexDigitsToValue(text.left(2).toStdString()) & 0xFF; }

}  // namespace eeprom
