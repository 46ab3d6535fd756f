// Image file formats: raw bytes, Intel HEX and Motorola S-record, for the
// window's Load/Save eeprom and for merlix-cli. A file is read in the format
// its name says (".hex" is HEX, ".bin" raw, even when its first byte is ':');
// only a name that says nothing (".dat", standard input) leaves it to the
// content. A file is written in the format its name says, raw otherwise.
//
// A HEX or S-record file is checked whole before anything uses it: a bad
// checksum, a malformed or unknown record, data past the chip's end, one
// address given two values, a record after the end record, no data at all,
// a comment line, a byte-order mark or UTF-16 text is refused with one
// sentence that names the line where there is one. Addresses the file leaves
// out read 0xFF, as an erased chip does.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace eeprom {

enum class ImageFormat { Raw, IntelHex, SRecord };

// "raw"/"bin", "hex"/"ihex", "srec"/"s19"/"mot", any case.
bool ParseImageFormat(const std::string& name, ImageFormat& format);
const char* ImageFormatName(ImageFormat format);
// By content: a first non-blank ':' is HEX, 'S' and a record digit is an
// S-record (after a byte-order mark too), anything else raw.
ImageFormat DetectImageFormat(const QByteArray& data);
// The format a file name's extension says (.bin/.raw, .hex/.ihex,
// .srec/.s19/.mot, any case); none for any other name. `path` is the
// system's bytes.
std::optional<ImageFormat> ImageFormatNamed(const std::string& path);
// The format to write `path` in: the one its name says, else raw.
ImageFormat ImageFormatForPath(const std::string& path);
// The format to read `data` from `path` in: the one its name says, else the
// content's.
ImageFormat ImageFormatToRead(const QByteArray& data, const std::string& path);

// Decodes `data` into `bytes`: raw as it is, HEX and S-record as the bytes
// from address 0 to the highest one the file holds (gaps 0xFF). Data at or
// past `capacity` is refused as beyond the chip's end. `name` starts the
// error sentence.
bool DecodeImage(const QByteArray& data, ImageFormat format, int capacity, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error);

// The addresses of a HEX or S-record file that fill a part of the chip: file
// address `base` is byte 0 of the decoded bytes, and `size` bytes follow.
// A refusal calls it `name` ("page 3") and its size `extent`.
// `defined`, when given, receives one flag per decoded byte: true where the
// file gave it a value (every byte of a raw file), false in a gap.
struct ImageSpan {
    std::uint32_t base = 0;
    int size = 0;
    std::string name;
    std::string extent;
    std::vector<bool>* defined = nullptr;
};
// As above, for the span's addresses: data before `base` or at or past
// base + size is refused, and `beforeSpan` (when given) tells the first case,
// a file written for other addresses, from the others. Raw data is as it is.
bool DecodeImage(const QByteArray& data, ImageFormat format, const ImageSpan& span, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error, bool* beforeSpan = nullptr);
// The text or bytes of a file holding `bytes` from address 0.
QByteArray EncodeImage(const std::vector<std::uint8_t>& bytes, ImageFormat format);

}  // namespace eeprom
