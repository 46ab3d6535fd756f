// Fuzzes "Load eeprom": any file as a raw image. The loader must take the
// file's first bytes exactly (at most the 2048 of the image) and leave every
// byte past them as it was: the rest of the image is the technician's data.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "eeprom/image_file.h"
#include "tests/fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // On the heap, so a write past the end lands in ASan's red zone.
    auto image = std::make_unique<eeprom::ImageArray>();
    for (int i = 0; i < eeprom::kImageSize; ++i) (*image)[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const eeprom::ImageArray before = *image;

    std::string error;
    const eeprom::ImageLoadResult r = eeprom::LoadImageFile(fuzz::WriteInputFile(data, size), *image, error);
    const std::size_t n = std::min<std::size_t>(size, eeprom::kImageSize);
    if (!r.ok || !error.empty() || static_cast<std::size_t>(r.bytesLoaded) != n) std::abort();
    if (n > 0 && std::memcmp(image->data(), data, n) != 0) std::abort();
    if (!std::equal(image->begin() + static_cast<long>(n), image->end(),
                    before.begin() + static_cast<long>(n)))
        std::abort();
    return 0;
}
