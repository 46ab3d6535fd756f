// A throw-away directory that stands in for "/" so tests can stage the
// kernel's files (/proc/ioports, /proc/sys/dev/parport, /dev, lockdown).
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <stdlib.h>

class ScratchRoot {
public:
    ScratchRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "merlix-root-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
    }
    ~ScratchRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchRoot(const ScratchRoot&) = delete;
    ScratchRoot& operator=(const ScratchRoot&) = delete;

    const std::string& path() const { return root_; }

    // Writes `text` at `path` (absolute, as the program names it).
    void Write(const std::string& path, const std::string& text) const {
        const std::filesystem::path full = root_ + path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full) << text;
    }

    // A parport as the kernel lists it, with its /dev node.
    void AddParport(int number, int base, const std::string& modes, bool device = true) const {
        const std::string dir = "/proc/sys/dev/parport/parport" + std::to_string(number);
        Write(dir + "/base-addr", std::to_string(base) + "\t" + std::to_string(base + 0x400) + "\n");
        Write(dir + "/modes", modes + "\n");
        if (device) Write("/dev/parport" + std::to_string(number), "");
    }

private:
    std::string root_;
};
