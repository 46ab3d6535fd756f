// A PortIo that only records: every access as a trace line
// ("out 037A 04", "in 037B 81"), with the virtual counter's time beside it,
// and reads answered from a per-port script. For access-order tests, where
// the exact sequence is the thing under test; behaviour is the bench's job.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/counter.h"
#include "platform/port_io.h"

class RecordingPortIo final : public platform::PortIo {
public:
    explicit RecordingPortIo(const platform::VirtualCounter* clock = nullptr) : clock_(clock) {}

    std::uint8_t In(std::uint16_t port) override {
        std::uint8_t value = 0xFF;
        auto& queue = script_[port];
        if (!queue.empty()) {
            value = queue.front();
            queue.pop_front();
        } else if (fallback) {
            value = fallback(port);
        }
        Record("in", port, value);
        return value;
    }
    void Out(std::uint16_t port, std::uint8_t value) override { Record("out", port, value); }

    // Reads of `port` answer these values in turn, then `fallback` (else 0xFF).
    void Script(std::uint16_t port, std::initializer_list<std::uint8_t> values) {
        script_[port].insert(script_[port].end(), values);
    }
    std::function<std::uint8_t(std::uint16_t port)> fallback;

    std::vector<std::string> lines;
    std::vector<std::int64_t> times;  // the virtual counter at each access

    // Forgets the record and the script.
    void Clear() {
        lines.clear();
        times.clear();
        script_.clear();
        fallback = nullptr;
    }

    static std::string Line(const char* direction, unsigned port, unsigned value) {
        char text[24];
        std::snprintf(text, sizeof text, "%s %04X %02X", direction, port, value);
        return text;
    }

private:
    void Record(const char* direction, std::uint16_t port, std::uint8_t value) {
        lines.push_back(Line(direction, port, value));
        times.push_back(clock_ ? clock_->Peek() : 0);
    }

    const platform::VirtualCounter* clock_;
    std::map<std::uint16_t, std::deque<std::uint8_t>> script_;
};
