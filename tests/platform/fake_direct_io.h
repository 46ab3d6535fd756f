// The x86 port instructions and /dev/port in a test: every call is logged,
// refusals are chosen per call, and the ports hold what was last written.
#pragma once

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/direct_port_io.h"

class FakeDirectIo : public platform::DirectIoSystem {
public:
    int iopermResult = 0;          // 0 or -errno for every grant...
    int iopermFailsFromCall = -1;  // ...or only from this grant on (0-based)
    int openResult = 7;            // fd or -errno
    long preadResult = 1;          // count or -errno
    std::vector<std::string> calls;
    std::map<std::uint16_t, std::uint8_t> ports;
    int closes = 0;

    int Ioperm(unsigned long from, unsigned long count, bool on) override {
        calls.push_back("ioperm " + Hex(from) + " " + std::to_string(count) + (on ? " on" : " off"));
        if (!on) return 0;
        const bool fails = iopermFailsFromCall >= 0 ? grants_ >= iopermFailsFromCall : iopermResult != 0;
        ++grants_;
        return fails ? (iopermResult != 0 ? iopermResult : -EPERM) : 0;
    }
    std::uint8_t Inb(std::uint16_t port) override {
        calls.push_back("inb " + Hex(port));
        return Value(port);
    }
    void Outb(std::uint8_t value, std::uint16_t port) override {
        calls.push_back("outb " + Hex(port) + " " + Hex(value, 2));
        ports[port] = value;
    }
    int Open(const std::string& path, int) override {
        calls.push_back("open " + path);
        return openResult;
    }
    long Pread(int, std::uint8_t& byte, long offset) override {
        calls.push_back("pread " + Hex(offset));
        byte = Value(static_cast<std::uint16_t>(offset));
        return preadResult;
    }
    long Pwrite(int, std::uint8_t byte, long offset) override {
        calls.push_back("pwrite " + Hex(offset) + " " + Hex(byte, 2));
        ports[static_cast<std::uint16_t>(offset)] = byte;
        return 1;
    }
    int Close(int fd) override {
        calls.push_back("close " + std::to_string(fd));
        ++closes;
        return 0;
    }

    static std::string Hex(unsigned long value, int digits = 4) {
        char text[16];
        std::snprintf(text, sizeof text, "%0*lX", digits, value);
        return text;
    }

private:
    std::uint8_t Value(std::uint16_t port) const {
        const auto it = ports.find(port);
        return it == ports.end() ? 0xFF : it->second;
    }
    int grants_ = 0;
};
