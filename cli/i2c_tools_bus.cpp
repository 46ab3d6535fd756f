// Which adapter an i2c-tools command's bus number names, and the kernel's
// buses as the i2c-tools find them (i2c-tools 4.3, tools/i2cbusses.c).
#include <dirent.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/i2c_tools.h"
#include "startup/backend.h"

namespace cli {

namespace {

// The bus an adapter answers as: the bench's 1, and otherwise what its
// descriptor says (i2c-dev's N, the Nth USB adapter's N, LPT1's 1, LPT2's 2).
int BusOf(const std::string& adapterName, bool bench) {
    if (bench) return 1;
    startup::BackendOptions options;
    std::string error;
    if (adapterName.empty() || !startup::ParseAdapter(adapterName, options, error)) return 1;
    const hardware::AdapterChoice& choice = options.choice;
    return choice.adapter->i2cToolsBus ? choice.adapter->i2cToolsBus(choice) : 1;
}

int NoSuchBus(int bus) {
    std::fprintf(stderr, "Error: Could not open file `/dev/i2c-%d' or `/dev/i2c/%d': %s\n", bus, bus,
                 std::strerror(ENOENT));
    return 1;
}

int OpenBus(int bus, std::string& node) {
    for (const char* form : {"/dev/i2c/", "/dev/i2c-"}) {
        node = form + std::to_string(bus);
        const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return 0;
        }
        if (errno != ENOENT && errno != ENOTDIR) break;
    }
    if (errno == ENOENT) return NoSuchBus(bus);
    std::fprintf(stderr, "Error: Could not open file `%s': %s\n", node.c_str(), std::strerror(errno));
    if (errno == EACCES) std::fprintf(stderr, "Run as root?\n");
    return 1;
}

// i2cdetect -l without an adapter: the kernel's buses, as i2c-tools list
// them from /sys/class/i2c-dev (i2cbusses.c): number, kind, name and kind again.
void ListKernelBuses() {
    std::vector<std::pair<int, std::string>> buses;
    if (DIR* folder = ::opendir("/sys/class/i2c-dev")) {
        while (const dirent* entry = ::readdir(folder)) {
            int number = -1;
            if (std::sscanf(entry->d_name, "i2c-%d", &number) != 1) continue;
            std::string name;
            if (std::FILE* file =
                    std::fopen(("/sys/class/i2c-dev/" + std::string(entry->d_name) + "/name").c_str(), "r")) {
                char text[128] = {};
                if (std::fgets(text, sizeof text, file)) name = text;
                std::fclose(file);
            }
            while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
            buses.emplace_back(number, name);
        }
        ::closedir(folder);
    }
    std::sort(buses.begin(), buses.end());
    for (const auto& [number, name] : buses) {
        unsigned long functions = 0;
        const int fd = ::open(("/dev/i2c-" + std::to_string(number)).c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            if (::ioctl(fd, I2C_FUNCS, &functions) < 0) functions = 0;
            ::close(fd);
        }
        const bool i2c = functions & I2C_FUNC_I2C;
        std::printf("i2c-%d\t%-10s\t%-32s\t%s\n", number, i2c ? "i2c" : "smbus", name.c_str(),
                    i2c ? "I2C adapter" : "SMBus adapter");
    }
}

}  // namespace

int ChooseI2cBus(I2cToolPlan& plan, bool picked, bool bench, std::vector<std::string>& adapters) {
    const int bus = BusOf(adapters.empty() ? "" : adapters.front(), bench);
    if (plan.probe == 'l' && !picked) {
        ListKernelBuses();
        plan.done = true;
        return 0;
    }
    if (plan.probe == 'l') plan.bus = bus;
    if (picked) {
        startup::BackendOptions options;
        std::string error;
        if (!bench && !adapters.empty() && startup::ParseAdapter(adapters.front(), options, error) &&
            options.choice.adapter->i2cToolsNode)
            plan.node = options.choice.adapter->i2cToolsNode(options.choice);
        return plan.bus == bus ? 0 : NoSuchBus(plan.bus);
    }
    if (const int code = OpenBus(plan.bus, plan.node)) return code;
    adapters = {startup::AdapterForKernelNode(plan.node)};
    return 0;
}

}  // namespace cli
