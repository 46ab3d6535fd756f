// Wraps another backend and writes every access to a file, one line each,
// flushed at once ("out 03F0 01", "in 037B 84"), so that a killed process
// still leaves a whole trace.
#pragma once

#include <cstdio>
#include <string>

#include "platform/port_io.h"

namespace platform {

class TracingPortIo final : public PortIo {
public:
    // Traces to `path`; Ok() is false (with Error() saying why) when the file
    // cannot be created, and accesses then still reach `inner`.
    TracingPortIo(PortIo& inner, const std::string& path);
    // Traces to an already open stream that the caller owns.
    TracingPortIo(PortIo& inner, std::FILE* stream);
    ~TracingPortIo() override;
    TracingPortIo(const TracingPortIo&) = delete;
    TracingPortIo& operator=(const TracingPortIo&) = delete;

    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    bool Ok() const { return file_ != nullptr; }
    const std::string& Error() const { return error_; }

private:
    void Line(const char* dir, std::uint16_t port, std::uint8_t value);

    PortIo& inner_;
    std::FILE* file_ = nullptr;
    bool owns_ = false;
    std::string error_;
};

}  // namespace platform
