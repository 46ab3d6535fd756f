// A minimal adapter around the serial socket for the chip and transfer
// suites: the data and control registers, the latch loading on the rising
// edge of /INIT, and status bit 3 from the socket chip. Every access costs
// 1 us of virtual time, about what a real port access takes. It also keeps the
// latch loads, which is the line sequence the frames are checked against.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/latch_edges.h"
#include "simulator/serial_chip.h"

namespace testsupport {

class SocketPort final : public platform::PortIo {
public:
    SocketPort(platform::VirtualCounter& clock, int base) : clock_(clock), base_(base) {}

    void Insert(simulator::SerialChip* chip) { chip_ = chip; }

    std::uint8_t In(std::uint16_t port) override {
        Tick();
        if (port == base_) return data_;
        if (port == base_ + 1) return chip_ && !chip_->DataOut(clock_.Peek()) ? 0x00 : 0x08;
        if (port == base_ + 2) return control_;
        return 0xFF;
    }

    void Out(std::uint16_t port, std::uint8_t value) override {
        Tick();
        if (port == base_) {
            data_ = value;
        } else if (port == base_ + 2) {
            const bool rising = !(control_ & 0x04) && (value & 0x04);
            control_ = value;
            if (rising) {
                loads_.push_back(data_);
                if (chip_) chip_->OnLatch(data_, clock_.Peek());
            }
        }
    }

    std::vector<std::uint8_t>& Loads() { return loads_; }
    std::uint64_t Accesses() const { return accesses_; }

private:
    void Tick() {
        ++accesses_;
        clock_.Advance(1);
    }

    platform::VirtualCounter& clock_;
    int base_;
    simulator::SerialChip* chip_ = nullptr;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0x04;
    std::vector<std::uint8_t> loads_;
    std::uint64_t accesses_ = 0;
};

// The socket with an adapter on LPT1 and a chip from the chip list.
struct SocketRig {
    explicit SocketRig(const std::string& chipText = {}) {
        adapter.SetBase(hardware::kLpt1);
        if (!chipText.empty()) Insert(chipText);
    }
    void Insert(const std::string& chipText) {
        chip = simulator::MakeSerialChip(chipText);
        port.Insert(chip.get());
    }

    platform::VirtualCounter clock;
    SocketPort port{clock, hardware::kLpt1};
    hardware::PortAdapter adapter{port, clock};  // after the counter: it reads the frequency
    std::unique_ptr<simulator::SerialChip> chip;
};

// The data bits clocked in (rising clock) while the select line is active,
// one list per selection, from a run of latch loads.
inline std::vector<std::vector<int>> SelectedFrames(const std::vector<std::uint8_t>& loads, bool activeHigh,
                                                    int selectBit = simulator::kSocketSelect) {
    std::vector<std::vector<int>> frames;
    simulator::LatchTracker tracker;
    bool inFrame = false;
    for (std::uint8_t latch : loads) {
        const simulator::LatchEdges lines = tracker.Load(latch);
        const bool active = lines.High(selectBit) == activeHigh;
        if (active && !inFrame) frames.emplace_back();
        inFrame = active;
        if (active && lines.Rose(simulator::kSocketClock))
            frames.back().push_back(lines.High(simulator::kSocketData));
    }
    return frames;
}

// Packs the first `count` bits from `from` into a number, most significant first.
inline int Bits(const std::vector<int>& bits, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t k = from; k < from + count && k < bits.size(); ++k) value = (value << 1) | bits[k];
    return value;
}

}  // namespace testsupport
