// The fuzz input as a file, for targets whose parser starts from a path (the
// loaders read the file themselves, size checks and all). One file per
// process in the temporary folder, written anew for each input and removed
// at exit, so two targets running side by side never share it. Anew, not
// truncated: ext4 flushes a file truncated and rewritten to the disk on
// close, which slows a target down a hundredfold.
#pragma once

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzz {

inline const QString& InputPath() {
    static const QString path = [] {
        const QString p = QDir::temp().filePath(QStringLiteral("merlix-fuzz-%1.in").arg(::getpid()));
        std::atexit([] { QFile::remove(InputPath()); });
        return p;
    }();
    return path;
}

// Writes the input to InputPath() and returns the path; aborts when the file
// cannot be written, since every finding after that would be false.
inline QString WriteInputFile(const std::uint8_t* data, std::size_t size) {
    QFile::remove(InputPath());
    QFile file(InputPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        std::abort();
    }
    return InputPath();
}

}  // namespace fuzz
