// Image file formats: raw bytes, Intel HEX and Motorola S-record, for the
// window's Load/Save eeprom and for merlix-cli. A file's format is told by
// its content when it is read (a programmer's HEX file may be called
// anything) and by its name when it is written (".hex" means HEX).
//
// A HEX or S-record file is checked whole before anything uses it: a bad
// checksum, a malformed or unknown record, or data past the chip's end is
// refused with one sentence that names the line. Addresses the file leaves
// out read 0xFF, as an erased chip does.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace eeprom {

enum class ImageFormat { Raw, IntelHex, SRecord };

// "raw"/"bin", "hex"/"ihex", "srec"/"s19"/"mot", any case.
bool ParseImageFormat(const std::string& name, ImageFormat& format);
const char* ImageFormatName(ImageFormat format);
// By content: a first non-blank ':' is HEX, 'S' and a record digit is an
// S-record, anything else raw.
ImageFormat DetectImageFormat(const QByteArray& data);
// By extension: .hex/.ihex, .srec/.s19/.mot; anything else (.bin) is raw.
ImageFormat ImageFormatForPath(const QString& path);

// Decodes `data` into `bytes`: raw as it is, HEX and S-record as the bytes
// from address 0 to the highest one the file holds (gaps 0xFF). Data at or
// past `capacity` is refused. `name` starts the error sentence.
bool DecodeImage(const QByteArray& data, ImageFormat format, int capacity, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error);
// The text or bytes of a file holding `bytes` from address 0.
QByteArray EncodeImage(const std::vector<std::uint8_t>& bytes, ImageFormat format);

}  // namespace eeprom
