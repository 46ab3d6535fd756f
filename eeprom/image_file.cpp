// Raw image files, read whole before the image changes and saved atomically.
#include "eeprom/image_file.h"

#include <algorithm>
#include <cstring>

#include "eeprom/file_access.h"

namespace eeprom {

ImageLoadResult LoadImageFile(const QString& path, ImageArray& image, std::string& error) {
    QByteArray bytes;
    bool longer = false;
    if (!ReadFileHead(path, kImageSize, bytes, longer, error, "load")) return {};
    std::memcpy(image.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return {true, static_cast<int>(bytes.size())};
}

bool SaveImageFile(const QString& path, const ImageArray& image, int size, std::string& error) {
    const int n = std::clamp(size, 0, kImageSize);
    return WriteFileAtomically(path, reinterpret_cast<const char*>(image.data()), n, error);
}

}  // namespace eeprom
