// EEPROM image files: the raw image, no header, byte i of the file is byte i
// of the image (16-bit Microwire words high byte first, as the chip reads
// place them), or the same bytes as Intel HEX or S-record (image_formats.h).
// "Load eeprom" and "Save eeprom" call these and show `error` through the
// message seam.
#pragma once

#include <QString>
#include <string>

#include "eeprom/image.h"

namespace eeprom {

// The largest image file read, of any format. A file is judged by the data
// it holds (the decoders refuse data past the chip's end); this bound only
// keeps a stray huge file out of memory. It fits the largest part (256 KiB)
// in the most spread-out form either text format allows: one data byte a
// record, S3 with CRLF, 18 file bytes a data byte; 32 a data byte leave room
// for headers, blanks and long line ends. A file of lines has fewer lines
// than bytes, so this bounds its lines too.
inline constexpr qint64 kMaxImageFileBytes = 32 * 256 * 1024;

struct ImageLoadResult {
    bool ok = false;
    int bytesLoaded = 0;
};

// Reads the file completely, then copies its bytes to image[0..n-1]; the
// bytes after n keep their contents. A raw file gives as many bytes as the
// image holds; a HEX or S-record file (told by its name, or by content when
// the name says nothing) the bytes from address 0 to its highest one, gaps
// 0xFF, and a bad record or data past the image's end is refused with its line. A failed open or read
// changes nothing and sets `error` to one sentence with the path and the
// reason (missing file, folder, no permission). An empty file is ok with 0
// bytes: nothing changes, yet the caller still shows page 0.
ImageLoadResult LoadImageFile(const QString& path, Image& image, std::string& error);

// Writes image[0..size-1] in the format the extension names (.hex/.ihex,
// .srec/.s19/.mot, raw otherwise), size clamped to the image (the caller takes it from
// the chip table's image-file size rule). Atomic: on failure the old file is
// exactly as it was and `error` says so. Returns true on success.
bool SaveImageFile(const QString& path, const Image& image, int size, std::string& error);

}  // namespace eeprom
