// The port I/O seam. Everything the program does to the adapter is a sequence
// of byte reads and writes at I/O addresses (base+0..4, base+0x402 and the
// configuration pair 0x3F0/0x3F1); one small interface carries them, and each
// backend (real ports, ppdev, the simulated bench, the tracer) is a peer.
#pragma once

#include <cstdint>

namespace platform {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual std::uint8_t In(std::uint16_t port) = 0;
    virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
};

// A port with nothing attached: reads float high.
class NullPortIo final : public PortIo {
public:
    std::uint8_t In(std::uint16_t) override { return 0xFF; }
    void Out(std::uint16_t, std::uint8_t) override {}
};

}  // namespace platform
