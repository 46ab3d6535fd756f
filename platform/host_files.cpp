#include "platform/host_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace platform {

bool HostFiles::Read(const std::string& path, std::string& text) const {
    std::ifstream in(Path(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

bool HostFiles::Exists(const std::string& path) const {
    struct stat st {};
    return ::stat(Path(path).c_str(), &st) == 0;
}

std::vector<std::string> HostFiles::List(const std::string& dir) const {
    std::vector<std::string> names;
    DIR* d = ::opendir(Path(dir).c_str());
    if (!d) return names;
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// "parport12" -> 12; -1 for anything else.
int ParportNumber(const std::string& name) {
    const std::string prefix = "parport";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    int number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 9999) return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

bool ListHasEpp(const std::string& modes) {
    std::istringstream in(modes);
    std::string mode;
    while (std::getline(in, mode, ',')) {
        mode.erase(std::remove_if(mode.begin(), mode.end(), [](char c) { return c == ' ' || c == '\n'; }),
                   mode.end());
        if (mode == "EPP") return true;
    }
    return false;
}

}  // namespace

std::vector<ParportInfo> ListParports(const HostFiles& files) {
    std::map<int, ParportInfo> ports;
    const std::string procDir = "/proc/sys/dev/parport";
    for (const std::string& name : files.List(procDir)) {
        const int number = ParportNumber(name);
        if (number < 0) continue;
        ParportInfo& port = ports[number];
        port.name = name;
        port.inProc = true;
        std::string text;
        // base-addr holds the base and the ECP high base, in decimal.
        if (files.Read(procDir + "/" + name + "/base-addr", text)) {
            long base = -1;
            if (std::sscanf(text.c_str(), "%ld", &base) == 1 && base >= 0 && base <= 0xFFFF) {
                port.base = static_cast<int>(base);
            }
        }
        if (files.Read(procDir + "/" + name + "/modes", text)) {
            while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
            port.modes = text;
            port.epp = ListHasEpp(text);
        }
    }
    for (const std::string& name : files.List("/dev")) {
        const int number = ParportNumber(name);
        if (number < 0) continue;
        ParportInfo& port = ports[number];
        port.name = name;
        port.hasDevice = true;
    }
    std::vector<ParportInfo> list;
    for (auto& [number, port] : ports) {
        port.device = "/dev/" + port.name;
        list.push_back(port);
    }
    return list;
}

std::vector<int> ParportRangesInIoports(const std::string& ioportsText) {
    std::vector<int> starts;
    std::istringstream in(ioportsText);
    std::string line;
    while (std::getline(in, line)) {
        unsigned start = 0, end = 0;
        char owner[64] = {};
        if (std::sscanf(line.c_str(), " %x-%x : %63s", &start, &end, owner) != 3) continue;
        if (std::string(owner).rfind("parport", 0) == 0) starts.push_back(static_cast<int>(start));
    }
    return starts;
}

std::vector<int> LegacyParportBases(const HostFiles& files) {
    std::vector<int> found;
    std::string ioports;
    std::vector<int> reported;
    if (files.Read("/proc/ioports", ioports)) reported = ParportRangesInIoports(ioports);
    for (const ParportInfo& port : ListParports(files)) {
        if (port.inProc) reported.push_back(port.base);
    }
    for (int base : {0x378, 0x278}) {
        if (std::find(reported.begin(), reported.end(), base) != reported.end()) found.push_back(base);
    }
    return found;
}

bool MachineHasLegacyParport(const HostFiles& files) { return !LegacyParportBases(files).empty(); }

std::string ActiveLockdown(const std::string& lockdownText) {
    // "none [integrity] confidentiality": the bracketed word is in force.
    const auto open = lockdownText.find('[');
    const auto close = lockdownText.find(']', open == std::string::npos ? 0 : open);
    if (open == std::string::npos || close == std::string::npos) return {};
    const std::string level = lockdownText.substr(open + 1, close - open - 1);
    return level == "none" ? std::string() : level;
}

bool ModuleLoaded(const HostFiles& files, const std::string& module) {
    std::string text;
    if (!files.Read("/proc/modules", text)) return false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, module.size() + 1, module + " ") == 0) return true;
    }
    return false;
}

std::string HexAddress(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

}  // namespace platform
