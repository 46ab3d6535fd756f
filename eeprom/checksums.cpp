// Checksums of image ranges; see checksums.h.
#include "eeprom/checksums.h"

#include <zlib.h>
#include <QByteArray>
#include <QCryptographicHash>

#include <cstdio>

namespace eeprom {

Checksums ComputeChecksums(const std::uint8_t* data, int size) {
    Checksums sums;
    if (size < 0) size = 0;
    sums.crc32 = static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size)));
    const QByteArray bytes(reinterpret_cast<const char*>(data), size);
    sums.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
    unsigned sum = 0;
    for (int i = 0; i < size; ++i) sum += data[i];
    sums.sum8 = static_cast<std::uint8_t>(sum);
    return sums;
}

std::string Crc32Text(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    return text;
}

std::string Sum8Text(std::uint8_t sum) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(sum));
    return text;
}

}  // namespace eeprom
