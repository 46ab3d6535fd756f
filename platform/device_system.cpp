// The machine's own character devices; see device_system.h.
#include "platform/device_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace platform {

namespace {

class HostDeviceSystem final : public DeviceSystem {
public:
    int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags | O_CLOEXEC); }
    int Ioctl(int fd, unsigned long request, void* arg) override { return ::ioctl(fd, request, arg); }
    int Close(int fd) override { return ::close(fd); }
    int Access(const std::string& path, int mode) override { return ::access(path.c_str(), mode); }

    bool ReadText(const std::string& path, std::string& text) override {
        std::ifstream file(path);
        if (!file) return false;
        std::getline(file, text);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        return !file.bad();
    }

    std::vector<std::string> List(const std::string& folder) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

DeviceSystem& HostDevices() {
    // Stateless: the calls go straight to the kernel.
    static HostDeviceSystem host;
    return host;
}

}  // namespace platform
