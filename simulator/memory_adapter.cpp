#include "simulator/memory_adapter.h"

#include <limits>

#include "simulator/latch_edges.h"

namespace simulator {

using hardware::I2cResult;
using hardware::I2cStatus;
using hardware::LineStep;

MemoryAdapter::MemoryAdapter() { bus_.SetRegisterDevices({0x40, 0x42, 0x70, 0x90}); }

std::int64_t MemoryAdapter::NowUs() { return ++nowUs_; }

void MemoryAdapter::SleepMs(int ms) {
    if (ms > 0) nowUs_ += static_cast<std::int64_t>(ms) * 1000;
}

I2cResult MemoryAdapter::Transfer(std::span<const hardware::I2cMessage> messages) {
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const hardware::I2cMessage& m = messages[k];
        const int index = static_cast<int>(k);
        nowUs_ += kByteUs;
        if (!bus_.Address(static_cast<std::uint8_t>(m.address << 1 | (m.read ? 1 : 0)), nowUs_)) {
            bus_.Stop(nowUs_);
            return {I2cStatus::NoAck, index, I2cResult::kAddressByte};
        }
        for (std::size_t b = 0; b < m.bytes.size(); ++b) {
            nowUs_ += kByteUs;
            if (m.read) {
                m.bytes[b] = bus_.Read();
            } else if (!bus_.Write(m.bytes[b], true)) {
                bus_.Stop(nowUs_);
                return {I2cStatus::NoAck, index, static_cast<int>(b)};
            }
        }
    }
    bus_.Stop(nowUs_);
    return {};
}

hardware::I2cCapabilities MemoryAdapter::Capabilities() const {
    hardware::I2cCapabilities caps;
    caps.maxMessages = std::numeric_limits<int>::max();
    caps.maxMessageBytes = std::numeric_limits<int>::max();
    caps.speedsHz = {kBusClockHz};
    return caps;
}

void MemoryAdapter::InsertChip(const std::string& chipListEntry) {
    chip_ = MakeSerialChip(chipListEntry);
    lines_ = 0;
}

void MemoryAdapter::Change(std::uint8_t lines, std::uint8_t levels) {
    lines_ = static_cast<std::uint8_t>((lines_ & ~lines) | (levels & lines));
    ++nowUs_;
    if (!chip_) return;
    std::uint8_t latch = 0;
    if (lines_ & hardware::kOrgLine) latch |= 1u << kSocketOrg;
    if (lines_ & hardware::kSelectLine) latch |= 1u << kSocketSelect;
    if (lines_ & hardware::kDataLine) latch |= 1u << kSocketData;
    if (lines_ & hardware::kClockLine) latch |= 1u << kSocketClock;
    chip_->OnLatch(latch, nowUs_);
}

std::uint8_t MemoryAdapter::Sample() {
    ++nowUs_;
    // An empty socket leaves the data line high.
    return !chip_ || chip_->DataOut(nowUs_) ? 1 : 0;
}

std::vector<std::uint8_t> MemoryAdapter::Run(std::span<const LineStep> steps) {
    std::vector<std::uint8_t> samples;
    for (const LineStep& step : steps) {
        switch (step.kind) {
            case LineStep::Kind::Drive:
                Change(step.lines, step.levels);
                break;
            case LineStep::Kind::Sample:
                samples.push_back(Sample());
                break;
            case LineStep::Kind::ClockOut:
                for (int b = step.count - 1; b >= 0; --b) {
                    const bool bit = (step.value >> b) & 1u;
                    Change(hardware::kDataLine | hardware::kClockLine, bit ? hardware::kDataLine : 0);
                    Change(hardware::kClockLine, hardware::kClockLine);
                }
                break;
            case LineStep::Kind::ClockIn:
                for (int b = 0; b < step.count; ++b) {
                    Change(hardware::kClockLine, 0);
                    if (step.afterFall) samples.push_back(Sample());
                    Change(hardware::kClockLine, hardware::kClockLine);
                    if (!step.afterFall) samples.push_back(Sample());
                }
                break;
        }
    }
    return samples;
}

}  // namespace simulator
