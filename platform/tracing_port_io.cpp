#include "platform/tracing_port_io.h"

#include <cerrno>
#include <cstring>

namespace platform {

TracingPortIo::TracingPortIo(PortIo& inner, const std::string& path) : inner_(inner) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        error_ = "Cannot write the port trace to " + path + ": " + std::strerror(errno) + ".";
    } else {
        owns_ = true;
    }
}

TracingPortIo::TracingPortIo(PortIo& inner, std::FILE* stream) : inner_(inner), file_(stream) {}

TracingPortIo::~TracingPortIo() {
    if (owns_ && file_) std::fclose(file_);
}

void TracingPortIo::Line(const char* dir, std::uint16_t port, std::uint8_t value) {
    if (!file_) return;
    std::fprintf(file_, "%s %04X %02X\n", dir, static_cast<unsigned>(port), static_cast<unsigned>(value));
    std::fflush(file_);
}

std::uint8_t TracingPortIo::In(std::uint16_t port) {
    const std::uint8_t value = inner_.In(port);
    Line("in", port, value);
    return value;
}

void TracingPortIo::Out(std::uint16_t port, std::uint8_t value) {
    inner_.Out(port, value);
    Line("out", port, value);
}

}  // namespace platform
