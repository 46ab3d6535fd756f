// Whole-head reads and atomic writes for the user's files.
#include "eeprom/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "platform/regular_file.h"

namespace eeprom {

namespace {

std::string Sentence(const char* verb, const std::string& path, const std::string& reason,
                     const char* tail = "") {
    return std::string("Cannot ") + verb + " \"" + path + "\": " + reason + tail + ".";
}

// The file a save replaces: `path`, or where its chain of symbolic links
// ends (a link to a file is saved through and stays a link).
std::string SaveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(target.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) break;
        const std::string link(buffer.data(), static_cast<std::size_t>(n));
        const std::size_t slash = target.rfind('/');
        target = link[0] == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
    return target;
}

// A new file beside `target` for the save to fill, opened for writing with
// `mode`; -1 with errno set when none can be made.
int MakeTemporary(const std::string& target, mode_t mode, std::string& name) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".";
        for (int i = 0; i < 6; ++i) name += kDigits[random() % 36];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool ReadFileHead(const std::string& path, qint64 maxBytes, QByteArray& data, bool& truncated,
                  std::string& error, const char* verb) {
    data.clear();
    truncated = false;
    std::string reason;
    const int fd = platform::OpenRegularFile(path, reason);
    if (fd < 0) {
        error = Sentence(verb, path, reason);
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = Sentence(verb, path, file.errorString().toStdString());
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
            error = Sentence(verb, path, file.errorString().toStdString());
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

bool ReadFileHead(const QString& path, qint64 maxBytes, QByteArray& data, bool& truncated, std::string& error,
                  const char* verb) {
    return ReadFileHead(QFile::encodeName(path).toStdString(), maxBytes, data, truncated, error, verb);
}

bool WriteFileAtomically(const std::string& path, const char* data, qint64 size, std::string& error) {
    // The new file is renamed over whatever is at the target: a device node
    // or a FIFO would become a plain file, and the save would seem to succeed.
    const std::string notRegular = platform::NotRegularFile(path);
    if (!notRegular.empty()) {
        error = Sentence("save", path, notRegular, "; nothing was written");
        return false;
    }
    const std::string target = SaveTarget(path);
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    const char* tail = replacing ? "; the old file is unchanged" : "; nothing was written";
    std::string temporary;
    // The old file's permissions carry over; a new file gets the umask's.
    const int fd = MakeTemporary(target, replacing ? old.st_mode & 0777 : 0666, temporary);
    if (fd < 0) {
        error = Sentence("save", path, std::strerror(errno), tail);
        return false;
    }
    int failure = replacing && ::fchmod(fd, old.st_mode & 0777) != 0 ? errno : 0;
    for (qint64 total = 0; failure == 0 && total < size;) {
        const ssize_t n = ::write(fd, data + total, static_cast<std::size_t>(size - total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure = n < 0 ? errno : EIO;
        if (n > 0) total += n;
    }
    // On disk before the rename, so a crash leaves the old file or the new one whole.
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = Sentence("save", path, std::strerror(failure), tail);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const QString& path, const char* data, qint64 size, std::string& error) {
    return WriteFileAtomically(QFile::encodeName(path).toStdString(), data, size, error);
}

}  // namespace eeprom
