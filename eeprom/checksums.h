// The checksums a technician compares dumps with: CRC-32 (the zip/flashrom
// one, from zlib), SHA-256 (Qt's QCryptographicHash) and the 8-bit sum many
// boot loaders and configuration blocks keep in their last byte.
#pragma once

#include <cstdint>
#include <string>

namespace eeprom {

struct Checksums {
    std::uint32_t crc32 = 0;
    std::string sha256;  // 64 lower-case hex digits
    std::uint8_t sum8 = 0;
};

Checksums ComputeChecksums(const std::uint8_t* data, int size);

// The CRC and the sum as upper-case hex digits, as the hex view shows bytes.
std::string Crc32Text(std::uint32_t crc);
std::string Sum8Text(std::uint8_t sum);

}  // namespace eeprom
