// Fuzzes the Intel HEX and S-record readers behind Load eeprom and
// merlix-cli. A file they accept must hold no byte past the chip, and must
// come back with the same bytes after it is written out again in its format.
#include <QByteArray>

#include <cstdlib>
#include <string>
#include <vector>

#include "eeprom/image_formats.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

constexpr int kCapacity = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const eeprom::ImageFormat format : {eeprom::ImageFormat::IntelHex, eeprom::ImageFormat::SRecord}) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!eeprom::DecodeImage(text, format, kCapacity, "fuzz", bytes, error)) {
            Check(!error.empty());
            continue;
        }
        Check(bytes.size() <= static_cast<std::size_t>(kCapacity));
        std::vector<std::uint8_t> again;
        Check(
            eeprom::DecodeImage(eeprom::EncodeImage(bytes, format), format, kCapacity, "fuzz", again, error));
        Check(again == bytes);
    }
    return 0;
}
