// Wraps another backend and writes every access to a file, one line each
// ("out 03F0 01", "in 037B 84"). A run of identical consecutive accesses is
// one line with its count ("in 037B 81 x100000"), so that a monitor left
// running does not fill the disk.
//
// In a trace file the line of the access just made is on disk before the next
// access, its count rewritten in place as the run grows, so a killed process
// still leaves a whole trace. On a stream (standard output, a pipe) a line
// goes out when its run ends, at the next different access or at the end.
//
// The trace file is created new (mode 0600) or replaces a regular file. It
// never goes through a symbolic link (a link planted in /tmp would let a
// trace run as root overwrite any file), never onto a FIFO or a device, and
// never over the capture file being played.
//
// A failed write stops the trace, not the program: the accesses still reach
// the wrapped backend, and the reason is reported once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/port_io.h"

namespace platform {

class TracingPortIo final : public PortIo {
public:
    // Traces to the file at `path`, or to standard output for "-". Ok() is
    // false (with Error() saying why) when the file cannot be made, and
    // accesses then still reach `inner`. `capture` names the capture file
    // being played, which the trace must not replace; empty for none.
    TracingPortIo(PortIo& inner, const std::string& path, const std::string& capture = {});
    // Traces to an already open stream that the caller owns and closes after
    // this object is gone.
    TracingPortIo(PortIo& inner, std::FILE* stream);
    ~TracingPortIo() override;
    TracingPortIo(const TracingPortIo&) = delete;
    TracingPortIo& operator=(const TracingPortIo&) = delete;

    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    // False when the trace could not be made or has stopped on a failed write.
    bool Ok() const { return fd_ >= 0 || stream_ != nullptr; }
    const std::string& Error() const { return error_; }
    // Called once, with Error(), when a write fails and the trace stops.
    void OnWriteError(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

private:
    void Record(bool in, std::uint16_t port, std::uint8_t value);
    void Put();
    void Fail(int error);

    PortIo& inner_;
    std::string name_;
    int fd_ = -1;                  // the trace file we made: lines are rewritten in place
    std::FILE* stream_ = nullptr;  // standard output or the caller's stream: lines go out whole
    bool in_ = false;              // the run: its access and how many times it came
    std::uint16_t port_ = 0;
    std::uint8_t value_ = 0;
    std::uint64_t count_ = 0;
    std::int64_t lineStart_ = 0;  // where the run's line begins in the file
    std::size_t lineLength_ = 0;
    std::string error_;
    std::function<void(const std::string&)> sink_;
};

}  // namespace platform
