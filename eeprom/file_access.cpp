// Whole-head reads and atomic writes for the user's files.
#include "eeprom/file_access.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/regular_file.h"

namespace eeprom {

namespace {

std::string Sentence(const char* verb, const QString& path, const QString& reason, const char* tail = "") {
    return std::string("Cannot ") + verb + " \"" + path.toStdString() + "\": " + reason.toStdString() + tail +
           ".";
}

}  // namespace

bool ReadFileHead(const QString& path, qint64 maxBytes, QByteArray& data, bool& truncated, std::string& error,
                  const char* verb) {
    data.clear();
    truncated = false;
    std::string reason;
    const int fd = platform::OpenRegularFile(QFile::encodeName(path).toStdString(), reason);
    if (fd < 0) {
        error = Sentence(verb, path, QString::fromLocal8Bit(reason.c_str()));
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = Sentence(verb, path, file.errorString());
        return false;
    }
    // Read until the limit or the end, whatever the file system reports as
    // the size: a file may grow or shrink while we read.
    const qint64 hint = file.size() > 0 ? file.size() : 64 * 1024;
    QByteArray buffer(static_cast<qsizetype>(std::min(maxBytes, hint)), '\0');
    qint64 total = 0;
    while (total < maxBytes) {
        if (total == buffer.size()) buffer.resize(static_cast<qsizetype>(std::min(maxBytes, total * 2)));
        const qint64 n = file.read(buffer.data() + total, buffer.size() - total);
        if (n < 0) {
            error = Sentence(verb, path, file.errorString());
            return false;
        }
        if (n == 0) break;
        total += n;
    }
    if (total == maxBytes) {
        char extra;
        truncated = file.read(&extra, 1) == 1;
    }
    buffer.truncate(static_cast<qsizetype>(total));
    data = std::move(buffer);
    return true;
}

bool WriteFileAtomically(const QString& path, const char* data, qint64 size, std::string& error) {
    // QSaveFile renames its temporary file over whatever is at `path`: a
    // device node or a FIFO would become a plain file, and the save would
    // seem to succeed. A symbolic link to a regular file is saved through.
    const std::string notRegular = platform::NotRegularFile(QFile::encodeName(path).toStdString());
    if (!notRegular.empty()) {
        error = Sentence("save", path, QString::fromLocal8Bit(notRegular.c_str()), "; nothing was written");
        return false;
    }
    const char* tail = QFileInfo::exists(path) ? "; the old file is unchanged" : "; nothing was written";
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        file.cancelWriting();
        error = Sentence("save", path, reason, tail);
        return false;
    };
    // Unbuffered, so that a failed write (a full disk) reaches us here: a
    // buffered QSaveFile flushes on commit() and, in the Qt versions we
    // build with, renames a short temporary file over the target when that
    // last flush fails.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    for (qint64 total = 0; total < size;) {
        const qint64 n = file.write(data + total, size - total);
        if (n <= 0) return fail(file.errorString());
        total += n;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError) return fail(file.errorString());
    if (!file.commit()) return fail(file.errorString());
    return true;
}

}  // namespace eeprom
