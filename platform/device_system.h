// The system calls of the adapters that Linux gives as character devices
// (/dev/i2c-N, /dev/spidevB.C): open, ioctl and close as the kernel gives
// them, and the /sys and /dev listings that find them. Every call goes
// through DeviceSystem so that tests and the bench put a fake device behind
// the adapters' real code.
#pragma once

#include <string>
#include <vector>

namespace platform {

class DeviceSystem {
public:
    virtual ~DeviceSystem() = default;
    // As open(2), ioctl(2) and close(2): -1 with errno set on failure.
    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual int Close(int fd) = 0;
    // As access(2): 0 when this process may use `path` as `mode` asks, -1
    // with errno otherwise.
    virtual int Access(const std::string& path, int mode) = 0;
    // A small text file such as /sys/class/i2c-dev/i2c-1/name, without its
    // trailing newline; false when it cannot be read.
    virtual bool ReadText(const std::string& path, std::string& text) = 0;
    // The names in a folder, sorted; empty when it is missing.
    virtual std::vector<std::string> List(const std::string& folder) = 0;
};

// The machine's own devices.
DeviceSystem& HostDevices();

}  // namespace platform
