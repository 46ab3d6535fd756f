// Fuzzes the hexadecimal text readers: HexDigitsToValue on any bytes, and an
// edit's text (any Unicode a user can type or paste) through HexTextValue.
// Both read at most two characters; an edit's value is always a byte, and
// two upper-case digits read back as the byte HexByte wrote.
#include <cstdlib>
#include <string_view>

#include "eeprom/hex_edit.h"
#include "eeprom/hex_text.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int value = eeprom::HexDigitsToValue(text);
    Check(value == eeprom::HexDigitsToValue(text.substr(0, 2)));
    if (text.size() >= 2 && eeprom::IsUpperHexDigit(text[0]) && eeprom::IsUpperHexDigit(text[1]))
        Check(eeprom::HexByte(value) == text.substr(0, 2));

    const int edit = eeprom::HexTextValue(QString::fromUtf8(text.data(), static_cast<qsizetype>(size)));
    Check(edit >= 0 && edit <= 0xFF);

    // The hex view's digit entry, keyed by the input's bytes.
    eeprom::HexEntryState entry;
    std::uint8_t byte = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const int digit = eeprom::HexKeyDigit(static_cast<unsigned char>(text[i]));
        if (digit >= 0) byte = eeprom::TypeHexDigit(entry, byte, digit, static_cast<int>(i % 3));
        Check(entry.lowNibbleNext <= 1);
    }
    return 0;
}
