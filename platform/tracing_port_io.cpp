#include "platform/tracing_port_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"

namespace platform {
namespace {

// Makes the trace file at `path`: new, or in place of a regular file that is
// not `capture`. Returns the descriptor, or -1 with the reason.
int MakeTraceFile(const std::string& path, const std::string& capture, std::string& reason) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            reason = "it is a symbolic link, which a trace never follows";
            return -1;
        }
        reason = NotRegularFile(path);
        if (!reason.empty()) return -1;
        struct stat played {};
        if (!capture.empty() && ::stat(capture.c_str(), &played) == 0 && played.st_dev == st.st_dev &&
            played.st_ino == st.st_ino) {
            reason = "it is the capture file being played";
            return -1;
        }
        // A new file rather than the old one cut short: the mode is ours, and
        // a hard link to the old file elsewhere keeps what it holds.
        if (::unlink(path.c_str()) != 0) {
            reason = std::strerror(errno);
            return -1;
        }
    } else if (errno != ENOENT) {
        reason = std::strerror(errno);
        return -1;
    }
    // Whatever appeared at `path` since the check is refused, not followed.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) reason = std::strerror(errno);
    return fd;
}

}  // namespace

TracingPortIo::TracingPortIo(PortIo& inner, const std::string& path, const std::string& capture)
    : inner_(inner), name_(path) {
    if (path == "-") {
        stream_ = stdout;
        name_ = "standard output";
        return;
    }
    std::string reason;
    fd_ = MakeTraceFile(path, capture, reason);
    if (fd_ < 0) error_ = "Cannot write the port trace to " + path + ": " + reason + ".";
}

TracingPortIo::TracingPortIo(PortIo& inner, std::FILE* stream)
    : inner_(inner), name_("the trace stream"), stream_(stream) {}

TracingPortIo::~TracingPortIo() {
    if (stream_ && count_ > 0) Put();
    if (fd_ >= 0) ::close(fd_);
}

void TracingPortIo::Put() {
    char line[48];
    int n = std::snprintf(line, sizeof line, "%s %04X %02X", in_ ? "in" : "out", static_cast<unsigned>(port_),
                          static_cast<unsigned>(value_));
    if (count_ > 1)
        n += std::snprintf(line + n, sizeof line - n, " x%llu", static_cast<unsigned long long>(count_));
    line[n++] = '\n';
    const auto length = static_cast<std::size_t>(n);
    if (fd_ >= 0) {
        for (std::size_t done = 0; done < length;) {
            const ssize_t written = ::pwrite(fd_, line + done, length - done, lineStart_ + done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return Fail(written < 0 ? errno : EIO);
            done += static_cast<std::size_t>(written);
        }
        lineLength_ = length;
    } else if (stream_) {
        if (std::fwrite(line, 1, length, stream_) != length || std::fflush(stream_) != 0) Fail(errno);
    }
}

void TracingPortIo::Fail(int error) {
    error_ = "Cannot write the port trace to " + name_ + ": " + std::strerror(error) + "; tracing stopped.";
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    stream_ = nullptr;
    if (sink_) sink_(error_);
}

void TracingPortIo::Record(bool in, std::uint16_t port, std::uint8_t value) {
    if (!Ok()) return;
    if (count_ > 0 && in == in_ && port == port_ && value == value_) {
        ++count_;
        if (fd_ >= 0) Put();
        return;
    }
    if (stream_ && count_ > 0) Put();  // the run before this access has ended
    lineStart_ += static_cast<std::int64_t>(lineLength_);
    lineLength_ = 0;
    in_ = in;
    port_ = port;
    value_ = value;
    count_ = 1;
    if (fd_ >= 0) Put();
}

std::uint8_t TracingPortIo::In(std::uint16_t port) {
    const std::uint8_t value = inner_.In(port);
    Record(true, port, value);
    return value;
}

void TracingPortIo::Out(std::uint16_t port, std::uint8_t value) {
    inner_.Out(port, value);
    Record(false, port, value);
}

}  // namespace platform
