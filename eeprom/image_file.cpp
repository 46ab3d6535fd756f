// Image files, read whole before the image changes and saved atomically; the
// format is the one the name says, and on load the content's for a name that
// says none.
#include "eeprom/image_file.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

#include "eeprom/file_access.h"
#include "eeprom/image_formats.h"

namespace eeprom {

ImageLoadResult LoadImageFile(const QString& path, Image& image, std::string& error) {
    QByteArray bytes;
    bool longer = false;
    const std::string native = QFile::encodeName(path).toStdString();
    if (!ReadFileHead(native, kMaxImageFileBytes, bytes, longer, error, "load")) return {};
    const ImageFormat format = ImageFormatToRead(bytes, native);
    std::vector<std::uint8_t> data;
    if (format == ImageFormat::Raw) {
        // A raw file longer than the image loads as much as the image holds.
        data.assign(bytes.begin(), bytes.begin() + std::min<qsizetype>(bytes.size(), image.Size()));
    } else {
        // Read as: Cannot load "/tmp/a.hex" line 3: bad checksum
        const std::string name = "Cannot load \"" + native + "\"";
        if (longer) {
            error = name + ": the file is too large for an image";
            return {};
        }
        if (!DecodeImage(bytes, format, image.Size(), name, data, error)) return {};
    }
    std::copy(data.begin(), data.end(), image.begin());  // an empty file changes nothing
    return {true, static_cast<int>(data.size())};
}

bool SaveImageFile(const QString& path, const Image& image, int size, std::string& error) {
    const int n = std::clamp(size, 0, image.Size());
    const QByteArray out = EncodeImage(std::vector<std::uint8_t>(image.begin(), image.begin() + n),
                                       ImageFormatForPath(QFile::encodeName(path).toStdString()));
    return WriteFileAtomically(path, out.constData(), out.size(), error);
}

}  // namespace eeprom
