// A PortIo that counts every access on its way to the PortIo behind
// it: the benchmarks report port accesses beside bench time.
#pragma once

#include <cstdint>

#include "platform/port_io.h"

namespace benchsupport {

class CountingPortIo final : public platform::PortIo {
public:
    explicit CountingPortIo(platform::PortIo& inner) : inner_(inner) {}
    std::uint8_t In(std::uint16_t port) override {
        ++count;
        return inner_.In(port);
    }
    void Out(std::uint16_t port, std::uint8_t value) override {
        ++count;
        inner_.Out(port, value);
    }
    std::uint64_t count = 0;

private:
    platform::PortIo& inner_;
};

}  // namespace benchsupport
