// Fuzzes "Load eeprom" on any file. A raw image must load its first bytes
// exactly (at most the 2048 of the image); a file read as Intel HEX or
// S-record either loads or is refused with a sentence and changes nothing.
// Either way every byte past what was loaded stays as it was: the rest of
// the image is the technician's data.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "eeprom/image_file.h"
#include "eeprom/image_formats.h"
#include "tests/fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // On the heap, so a write past the end lands in ASan's red zone.
    auto image = std::make_unique<eeprom::Image>(eeprom::kImageSize);
    for (int i = 0; i < eeprom::kImageSize; ++i) (*image)[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const eeprom::Image before = *image;

    std::string error;
    const eeprom::ImageLoadResult r = eeprom::LoadImageFile(fuzz::WriteInputFile(data, size), *image, error);
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::size_t n = std::min<std::size_t>(size, eeprom::kImageSize);
    if (eeprom::DetectImageFormat(text) == eeprom::ImageFormat::Raw) {
        if (!r.ok || !error.empty() || static_cast<std::size_t>(r.bytesLoaded) != n) std::abort();
        if (n > 0 && std::memcmp(image->data(), data, n) != 0) std::abort();
    } else if (!r.ok) {
        if (error.empty() || *image != before) std::abort();
        return 0;
    } else {
        if (r.bytesLoaded < 0 || r.bytesLoaded > eeprom::kImageSize) std::abort();
        n = static_cast<std::size_t>(r.bytesLoaded);
    }
    if (!std::equal(image->begin() + static_cast<long>(n), image->end(),
                    before.begin() + static_cast<long>(n)))
        std::abort();
    return 0;
}
