// A ppdev kernel interface in a test: it logs every call the backend makes,
// in a readable form ("ioctl 3 PPWDATA 55", "write 3 C1"), answers reads from
// a script, and fails chosen steps with chosen errors.
#pragma once

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ppdev_port_io.h"

class FakePpdevSystem : public platform::PpdevSystem {
public:
    // Reads of PPRDATA / PPRSTATUS / PPRCONTROL / EPP cycles; the default
    // answers like an idle port with nothing on it.
    std::function<std::uint8_t(int fd, unsigned long request)> registerValue = [](int, unsigned long) {
        return std::uint8_t{0x04};
    };
    // EPP read results, in order (count or -errno); when empty, one byte 0xFF.
    std::deque<std::pair<long, std::uint8_t>> eppReads;
    std::deque<long> eppWrites;  // results of EPP writes; when empty, 1

    std::map<std::string, int> openErrors;   // device -> errno
    std::map<std::string, int> ioctlErrors;  // request name -> errno (every fd)
    std::vector<std::string> calls;
    std::set<int> openFds;
    std::set<int> claimed;        // fds whose PPCLAIM succeeded
    std::map<int, int> releases;  // fd -> PPRELEASE count
    std::map<int, int> closes;    // fd -> close count
    std::map<int, std::string> devices;

    static std::string Name(unsigned long request) {
        static const std::map<unsigned long, std::string> names = {
            {PPSETMODE, "PPSETMODE"},   {PPRSTATUS, "PPRSTATUS"},   {PPRCONTROL, "PPRCONTROL"},
            {PPWCONTROL, "PPWCONTROL"}, {PPRDATA, "PPRDATA"},       {PPWDATA, "PPWDATA"},
            {PPCLAIM, "PPCLAIM"},       {PPRELEASE, "PPRELEASE"},   {PPEXCL, "PPEXCL"},
            {PPDATADIR, "PPDATADIR"},   {PPFCONTROL, "PPFCONTROL"},
        };
        const auto it = names.find(request);
        return it == names.end() ? "ioctl?" : it->second;
    }
    static std::string Hex(unsigned value) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", value);
        return text;
    }
    static std::string ModeName(int mode) {
        if (mode == (IEEE1284_MODE_EPP | IEEE1284_ADDR)) return "EPP|ADDR";
        if (mode == IEEE1284_MODE_EPP) return "EPP";
        return std::to_string(mode);
    }

    int Open(const std::string& path, int flags) override {
        calls.push_back("open " + path + ((flags & O_NONBLOCK) ? " nonblock" : ""));
        const auto error = openErrors.find(path);
        if (error != openErrors.end()) return -error->second;
        const int fd = nextFd_++;
        openFds.insert(fd);
        devices[fd] = path;
        return fd;
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        const std::string name = Name(request);
        std::string text = "ioctl " + std::to_string(fd) + " " + name;
        if (!openFds.count(fd)) {
            calls.push_back(text + " on a closed fd");
            return -EBADF;
        }
        const auto error = ioctlErrors.find(name);
        if (request == PPSETMODE || request == PPDATADIR) {
            const int value = *static_cast<int*>(arg);
            text += " " + (request == PPSETMODE ? ModeName(value) : std::to_string(value));
            if (request == PPSETMODE && (error == ioctlErrors.end())) mode_[fd] = value;
        } else if (request == PPWDATA || request == PPWCONTROL) {
            text += " " + Hex(*static_cast<unsigned char*>(arg));
        } else if (request == PPRDATA || request == PPRSTATUS || request == PPRCONTROL) {
            if (error == ioctlErrors.end()) *static_cast<unsigned char*>(arg) = registerValue(fd, request);
        } else if (request == PPRELEASE) {
            ++releases[fd];
        } else if (request == PPCLAIM && error == ioctlErrors.end()) {
            claimed.insert(fd);
        }
        calls.push_back(text);
        return error == ioctlErrors.end() ? 0 : -error->second;
    }

    long Read(int fd, std::uint8_t& byte) override {
        std::string text = "read " + std::to_string(fd) + " " + ModeName(mode_[fd]);
        long result = 1;
        byte = 0xFF;
        if (!eppReads.empty()) {
            result = eppReads.front().first;
            byte = eppReads.front().second;
            eppReads.pop_front();
        }
        calls.push_back(text);
        return result;
    }

    long Write(int fd, std::uint8_t byte) override {
        calls.push_back("write " + std::to_string(fd) + " " + ModeName(mode_[fd]) + " " + Hex(byte));
        if (eppWrites.empty()) return 1;
        const long result = eppWrites.front();
        eppWrites.pop_front();
        return result;
    }

    int Close(int fd) override {
        calls.push_back("close " + std::to_string(fd));
        ++closes[fd];
        openFds.erase(fd);
        return 0;
    }

    // Every fd ever opened was released (if claimed) and closed exactly once.
    bool AllClosedOnce() const {
        if (!openFds.empty()) return false;
        for (const auto& [fd, path] : devices) {
            const auto closed = closes.find(fd);
            if (closed == closes.end() || closed->second != 1) return false;
            const auto released = releases.find(fd);
            const int count = released == releases.end() ? 0 : released->second;
            if (count != (claimed.count(fd) ? 1 : 0)) return false;
        }
        return true;
    }

private:
    int nextFd_ = 3;
    std::map<int, int> mode_;
};
