// Hexadecimal text as the tool shows and reads it: every byte is two
// upper-case digits ("%02X"); hex-view items and log bytes carry a blank.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace eeprom {

// One or two hexadecimal digits to a number, without validation: '0'..'9'
// give 0..9 and any other character its code minus 55 ('A'..'F' give 10..15).
// Reads at most two characters and never past the end of the text; an empty
// text is 0, a one-character text is that digit's value.
int HexDigitsToValue(std::string_view text);

// The byte value of an edit's text as the tool reads it: HexDigitsToValue of
// its first two characters, low 8 bits. Every hexadecimal edit goes through it.
int HexTextValue(const QString& text);

// The upper-case digit of a nibble (0..15; higher bits are ignored).
constexpr char HexDigit(int nibble) { return "0123456789ABCDEF"[nibble & 0x0F]; }

// "%02X" of the low byte of `value`: the one way the tool writes a byte.
inline std::string HexByte(int value) { return {HexDigit(value >> 4), HexDigit(value)}; }

// A chip address as "0x" and as many digits as the chip's last address needs,
// four at least: 0x07FF on a 24C16, 0x2ABFF on a 256 KiB part (chipBytes).
std::string ChipAddressText(int address, int chipBytes);

// Is c a digit the hexadecimal edits accept (0-9, A-F, upper case)?
constexpr bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace eeprom
