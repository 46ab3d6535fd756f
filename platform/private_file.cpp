#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

bool MakePrivateFolder(const std::string& path, std::string& reason) {
    if (path.empty()) {
        reason = "no folder given";
        return false;
    }
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            reason = part + ": " + std::strerror(errno);
            return false;
        }
        if (end == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) reason = path + ": it is not a folder";
    return S_ISDIR(st.st_mode);
}

PrivateWrite WritePrivateFile(const std::string& path, const void* data, std::size_t size, bool replace,
                              std::string& reason) {
    std::vector<char> temp(path.begin(), path.end());
    const char suffix[] = ".new-XXXXXX";
    temp.insert(temp.end(), suffix, suffix + sizeof suffix);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600, never an existing name
    if (fd < 0) {
        reason = std::strerror(errno);
        return PrivateWrite::Failed;
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.data());
        reason = std::strerror(error);
        return PrivateWrite::Failed;
    };
    const char* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.data());
        reason = std::strerror(error);
        return PrivateWrite::Failed;
    }
    // rename() replaces whatever the name is, a link included; link() takes
    // only a free name, so two writers never replace each other's file.
    const int moved = replace ? ::rename(temp.data(), path.c_str()) : ::link(temp.data(), path.c_str());
    const int error = errno;
    if (moved != 0 || !replace) ::unlink(temp.data());
    if (moved == 0) return PrivateWrite::Written;
    if (!replace && error == EEXIST) return PrivateWrite::NameTaken;
    reason = std::strerror(error);
    return PrivateWrite::Failed;
}

}  // namespace platform
