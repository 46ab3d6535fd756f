#include "platform/direct_port_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define MERLIX_HAVE_PORT_INSTRUCTIONS 1
#else
#define MERLIX_HAVE_PORT_INSTRUCTIONS 0
#endif

namespace platform {
namespace {

class LinuxDirectIo final : public DirectIoSystem {
public:
    int Ioperm(unsigned long from, unsigned long count, bool on) override {
#if MERLIX_HAVE_PORT_INSTRUCTIONS
        return ::ioperm(from, count, on ? 1 : 0) == 0 ? 0 : -errno;
#else
        (void)from, (void)count, (void)on;
        return -ENOSYS;
#endif
    }
    std::uint8_t Inb(std::uint16_t port) override {
#if MERLIX_HAVE_PORT_INSTRUCTIONS
        return ::inb(port);
#else
        (void)port;
        return 0xFF;
#endif
    }
    void Outb(std::uint8_t value, std::uint16_t port) override {
#if MERLIX_HAVE_PORT_INSTRUCTIONS
        ::outb(value, port);
#else
        (void)value, (void)port;
#endif
    }
    int Open(const std::string& path, int flags) override {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    long Pread(int fd, std::uint8_t& byte, long offset) override {
        const ssize_t n = ::pread(fd, &byte, 1, offset);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    long Pwrite(int fd, std::uint8_t byte, long offset) override {
        const ssize_t n = ::pwrite(fd, &byte, 1, offset);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    int Close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }
};

constexpr const char* kDevPort = "/dev/port";
constexpr const char* kUsePpdev = "use ppdev (--ppdev) instead";

bool Refused(int result) { return result == -EPERM || result == -EACCES; }

}  // namespace

DirectIoSystem& HostDirectIo() {
    static LinuxDirectIo system;
    return system;
}

std::span<const IoRange> ProgramIoRanges() {
    static constexpr IoRange kRanges[] = {
        {0x278, 5}, {0x278 + 0x402, 1}, {0x378, 5}, {0x378 + 0x402, 1}, {0x3F0, 2},
    };
    return kRanges;
}

DirectPortIo::DirectPortIo(DirectIoSystem& system, HostFiles files)
    : system_(system), files_(std::move(files)) {}

DirectPortIo::~DirectPortIo() { CloseAccess(); }

bool DirectPortIo::MachineHasPort(const HostFiles& files) { return MachineHasLegacyParport(files); }

void DirectPortIo::CloseAccess() {
    const auto ranges = ProgramIoRanges();
    for (std::size_t i = 0; i < rangesGranted_; ++i) system_.Ioperm(ranges[i].from, ranges[i].count, false);
    rangesGranted_ = 0;
    if (fd_ >= 0) system_.Close(fd_);
    fd_ = -1;
    method_ = Method::None;
}

bool DirectPortIo::Open(bool requireListedPort) {
    CloseAccess();
    error_.clear();
    if (requireListedPort && !MachineHasPort(files_)) {
        error_ = "Direct port I/O was not tried: the kernel reports no parallel port at 0x378 or 0x278 "
                 "(see /proc/ioports).";
        return false;
    }

    int ioperm = 0;
    for (const IoRange& range : ProgramIoRanges()) {
        ioperm = system_.Ioperm(range.from, range.count, true);
        if (ioperm < 0) break;
        ++rangesGranted_;
    }
    if (ioperm == 0) {
        method_ = Method::Ioperm;
        return true;
    }
    CloseAccess();  // a part-granted set is no use; give back what was granted

    const int fd = system_.Open(kDevPort, O_RDWR);
    if (fd >= 0) {
        fd_ = fd;
        method_ = Method::DevPort;
        return true;
    }

    std::string lockdownText;
    const std::string lockdown =
        files_.Read("/sys/kernel/security/lockdown", lockdownText) ? ActiveLockdown(lockdownText) : "";
    const bool noIoperm = ioperm == -ENOSYS || ioperm == -EINVAL;
    const bool noDevPort = fd == -ENOENT || fd == -ENODEV || fd == -ENXIO;
    if ((ioperm == -EPERM || fd == -EPERM) && !lockdown.empty()) {
        error_ = "Direct port I/O is refused: the kernel is in lockdown (" + lockdown +
                 "), which forbids it even to root; " + kUsePpdev + ".";
    } else if (noIoperm && noDevPort) {
        error_ = std::string(
                     "Direct port I/O is not available: this kernel has neither ioperm() nor /dev/port; ") +
                 kUsePpdev + ".";
    } else if ((Refused(ioperm) || Refused(fd)) && noDevPort) {
        error_ = "Direct port I/O needs root or CAP_SYS_RAWIO, and this system has no /dev/port to fall back "
                 "on; run as root or use ppdev (--ppdev).";
    } else if (Refused(ioperm) || Refused(fd)) {
        error_ = "Direct port I/O needs root or CAP_SYS_RAWIO (ioperm() and /dev/port were both refused); "
                 "run as root or use ppdev (--ppdev).";
    } else {
        error_ = std::string("Direct port I/O failed (ioperm: ") + std::strerror(-ioperm) +
                 "; /dev/port: " + std::strerror(-fd) + "); " + kUsePpdev + ".";
    }
    return false;
}

bool DirectPortIo::Permitted(std::uint16_t port) const {
    if (method_ == Method::None) return false;
    for (const IoRange& range : ProgramIoRanges()) {
        if (port >= range.from && port < range.from + range.count) return true;
    }
    return false;
}

std::uint8_t DirectPortIo::In(std::uint16_t port) {
    if (!Permitted(port)) return 0xFF;
    if (method_ == Method::Ioperm) return system_.Inb(port);
    std::uint8_t byte = 0xFF;
    const long n = system_.Pread(fd_, byte, port);
    if (n == 1) return byte;
    NoteIoError("Reading port " + HexAddress(port) +
                " through /dev/port failed: " + std::strerror(n < 0 ? static_cast<int>(-n) : EIO) + ".");
    return 0xFF;
}

void DirectPortIo::Out(std::uint16_t port, std::uint8_t value) {
    if (!Permitted(port)) return;
    if (method_ == Method::Ioperm) {
        system_.Outb(value, port);
        return;
    }
    const long n = system_.Pwrite(fd_, value, port);
    if (n != 1) {
        NoteIoError("Writing port " + HexAddress(port) +
                    " through /dev/port failed: " + std::strerror(n < 0 ? static_cast<int>(-n) : EIO) + ".");
    }
}

}  // namespace platform
