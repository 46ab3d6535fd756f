// Icon 128 and the string table. The icon is data/icons/merlix.svg (a DIL chip on a
// parallel-port plug face, in the colours of the hex view's marks), rendered to the PNGs that
// are installed into the desktop's icon theme; the window embeds those same PNGs through the
// Qt resource built with this library, so it runs from the build folder too.
#include "ui/resources/icons.h"

#include <iterator>

namespace ui {

namespace resources {
namespace {

// The embedded renderings, smallest first.
constexpr struct {
    int size;
    const char* path;
} kAppIconFiles[] = {{48, ":/icons/merlix-48.png"}, {256, ":/icons/merlix-256.png"}};

}  // namespace

QPixmap IconPixmap(int id, int size) {
    if (id != kIconApp || size <= 0) return {};
    // Scale from the smallest rendering that is large enough, so edges stay crisp.
    const auto* file = std::begin(kAppIconFiles);
    while (file->size < size && file + 1 != std::end(kAppIconFiles)) ++file;
    const QPixmap pixmap(QString::fromLatin1(file->path));
    if (pixmap.isNull() || file->size == size) return pixmap;
    return pixmap.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QIcon LoadIcon(int id) {
    if (id != kIconApp) return {};
    QIcon icon;
    for (const auto& file : kAppIconFiles)
        icon.addFile(QString::fromLatin1(file.path), QSize(file.size, file.size));
    return icon;
}

QString LoadString(int id) {
    switch (id) {
        case kStringAboutEntry:
            return QStringLiteral("&About Orvex...");
        default:
            return {};
    }
}

}  // namespace resources

}  // namespace ui
