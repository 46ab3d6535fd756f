// A staged /sys and /dev of character-device adapters for the survey: folder
// listings, small text files and the rights of each node. Nothing is opened.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/device_system.h"

class FakeDeviceListing final : public platform::DeviceSystem {
public:
    // A node this user may open, or one that exists but is refused.
    void AddNode(const std::string& path, bool usable) { nodes[path] = usable; }
    void AddI2cBus(int number, const std::string& name, bool usable = true, bool node = true) {
        const std::string entry = "i2c-" + std::to_string(number);
        folders["/sys/class/i2c-dev"].push_back(entry);
        texts["/sys/class/i2c-dev/" + entry + "/name"] = name;
        if (node) AddNode("/dev/" + entry, usable);
    }

    int Open(const std::string&, int) override { return Fail(ENOENT); }
    int Ioctl(int, unsigned long, void*) override { return Fail(EBADF); }
    int Close(int) override { return Fail(EBADF); }
    int Access(const std::string& path, int mode) override {
        const auto node = nodes.find(path);
        if (node == nodes.end()) return Fail(ENOENT);
        return mode == F_OK || node->second ? 0 : Fail(EACCES);
    }
    bool ReadText(const std::string& path, std::string& text) override {
        const auto found = texts.find(path);
        if (found == texts.end()) return false;
        text = found->second;
        return true;
    }
    std::vector<std::string> List(const std::string& folder) override {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::vector<std::string>{} : found->second;
    }

    std::map<std::string, bool> nodes;
    std::map<std::string, std::string> texts;
    std::map<std::string, std::vector<std::string>> folders;

private:
    static int Fail(int error) {
        errno = error;
        return -1;
    }
};
