// A preload library that puts the bench's fake /dev/i2c-1 under programs
// that speak to i2c-dev themselves, such as the i2c-tools, so that their
// output and merlix-cli's can be compared on the same virtual chips:
//
//   MERLIX_BENCH_STATE=DIR LD_PRELOAD=build/tests/libmerlix_i2c_tools_shim.so i2cdump -y 1 0x20
//
// The bus is the bench's: the 24C16 at 0x50..0x57 and the register devices.
// The chips start from the raw files of the bench state folder DIR
// (eeprom-24c16.bin, register-XX.bin) when it is given, and what the program
// wrote goes back there when it exits. MERLIX_BENCH_DRIVER_HELD=0x50,0x51
// lets a kernel driver hold those addresses. Only the bus's node and its
// /sys entries are faked; every other call goes to the system.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/counter.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/simulated_bench.h"

namespace {

std::string StateFile(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string RegisterFile(std::uint8_t device) {
    char name[32];
    std::snprintf(name, sizeof name, "register-%02x.bin", device);
    return name;
}

bool Load(const std::string& path, std::vector<std::uint8_t>& data) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    if (bytes.size() != data.size()) return false;
    data = std::move(bytes);
    return true;
}

void Save(const std::string& path, const std::vector<std::uint8_t>& data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// The bench, its fake bus and the descriptors handed out for it, made on the
// first call that names the bus and saved back when the program exits.
class Shim {
public:
    Shim() : bench_(clock_), fake_(bench_, Config()) {
        if (const char* folder = std::getenv("MERLIX_BENCH_STATE")) folder_ = folder;
        if (folder_.empty()) return;
        Load(StateFile(folder_, "eeprom-24c16.bin"), bench_.Eeprom());
        for (std::uint8_t device : bench_.RegisterDevices()) {
            std::vector<std::uint8_t> registers(256);
            if (!Load(StateFile(folder_, RegisterFile(device)), registers)) continue;
            for (int r = 0; r < 256; ++r)
                bench_.SetRegister(device, static_cast<std::uint8_t>(r),
                                   registers[static_cast<std::size_t>(r)]);
        }
    }

    ~Shim() {
        if (folder_.empty()) return;
        Save(StateFile(folder_, "eeprom-24c16.bin"), bench_.Eeprom());
        for (std::uint8_t device : bench_.RegisterDevices()) {
            std::vector<std::uint8_t> registers(256);
            for (int r = 0; r < 256; ++r)
                registers[static_cast<std::size_t>(r)] =
                    bench_.Register(device, static_cast<std::uint8_t>(r));
            Save(StateFile(folder_, RegisterFile(device)), registers);
        }
    }

    static simulator::FakeI2cDev::Config Config() {
        simulator::FakeI2cDev::Config config;
        if (const char* held = std::getenv("MERLIX_BENCH_DRIVER_HELD")) {
            for (char* at = const_cast<char*>(held); *at;) {
                char* end = nullptr;
                config.driverHeld.push_back(static_cast<int>(std::strtol(at, &end, 0)));
                if (end == at) break;
                at = *end ? end + 1 : end;
            }
        }
        return config;
    }

    bool Names(const char* path) const { return path && fake_.Path() == path; }

    // The descriptor the program gets is a real one (of /dev/null), so that
    // it never collides with a file the program opens itself.
    int Open(int realFd, int flags) {
        const int fakeFd = fake_.Open(fake_.Path(), flags);
        if (fakeFd < 0) return -1;
        fds_[realFd] = fakeFd;
        return realFd;
    }

    bool Owns(int fd) const { return fds_.count(fd) != 0; }
    int Ioctl(int fd, unsigned long request, void* arg) { return fake_.Ioctl(fds_.at(fd), request, arg); }
    void Close(int fd) {
        fake_.Close(fds_.at(fd));
        fds_.erase(fd);
    }

private:
    platform::VirtualCounter clock_;
    simulator::SimulatedBench bench_;
    simulator::FakeI2cDev fake_;
    std::string folder_;
    std::map<int, int> fds_;
};

std::recursive_mutex lock;

Shim& TheShim() {
    static Shim shim;
    return shim;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

int OpenEither(const char* name, const char* path, int flags, mode_t mode) {
    using OpenCall = int (*)(const char*, int, ...);
    static const auto next = Next<OpenCall>(name);
    {
        std::lock_guard<std::recursive_mutex> hold(lock);
        if (TheShim().Names(path)) {
            const int fd = next("/dev/null", O_RDWR | O_CLOEXEC);
            if (fd < 0) return -1;
            if (TheShim().Open(fd, flags) >= 0) return fd;
            ::close(fd);
            return -1;
        }
    }
    return next(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
    va_end(args);
    return OpenEither("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
    va_end(args);
    return OpenEither("open64", path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    {
        std::lock_guard<std::recursive_mutex> hold(lock);
        if (TheShim().Owns(fd)) return TheShim().Ioctl(fd, request, arg);
    }
    using IoctlCall = int (*)(int, unsigned long, ...);
    static const auto next = Next<IoctlCall>("ioctl");
    return next(fd, request, arg);
}

int close(int fd) {
    {
        std::lock_guard<std::recursive_mutex> hold(lock);
        if (TheShim().Owns(fd)) TheShim().Close(fd);
    }
    using CloseCall = int (*)(int);
    static const auto next = Next<CloseCall>("close");
    return next(fd);
}

}  // extern "C"
