// What the socket's memory chips (93Cxx Microwire, AT25 SPI) share beneath
// their protocols: a byte array that powers up erased, the store fault the
// bench can switch on, the write-enable state and the self-timed write cycle.
// Each protocol decides for itself when a cycle may start and what it stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "simulator/serial_chip.h"

namespace simulator {

class StorageChip : public SerialChip {
public:
    std::string Name() const final { return name_; }
    std::vector<std::uint8_t>& Memory() final { return memory_; }
    void SetStoreFault(bool fault) final { storeFault_ = fault; }

    WriteCycleRange CycleRange() const final { return cycle_; }
    std::int64_t WriteCycleUs() const final { return writeCycleUs_; }
    void SetWriteCycleUs(std::int64_t us) final { writeCycleUs_ = us; }

    bool Busy(std::int64_t nowUs) const { return nowUs < busyUntilUs_; }

protected:
    // A chip made outside the bench runs at the slowest figure of its range.
    StorageChip(std::string name, int capacityBytes, const WriteCycleRange& cycle)
        : name_(std::move(name)),
          capacity_(capacityBytes),
          cycle_(cycle),
          writeCycleUs_(cycle.slowestUs),
          memory_(static_cast<std::size_t>(capacityBytes), 0xFF) {}

    // The part's own size: the bench may replace the array, but the address
    // decoding stays that of the part.
    int Capacity() const { return capacity_; }
    std::uint8_t Byte(int address) const { return memory_[static_cast<std::size_t>(address)]; }
    // Under the store fault the chip runs its cycle and answers as usual, but
    // the array keeps what it had.
    void Store(int address, std::uint8_t value) {
        if (!storeFault_) memory_[static_cast<std::size_t>(address)] = value;
    }

    // Both families power up write-disabled.
    bool WriteEnabled() const { return writeEnabled_; }
    void SetWriteEnabled(bool enabled) { writeEnabled_ = enabled; }
    void StartWriteCycle(std::int64_t nowUs) { busyUntilUs_ = nowUs + writeCycleUs_; }

private:
    std::string name_;
    int capacity_;
    WriteCycleRange cycle_;
    std::int64_t writeCycleUs_;
    std::vector<std::uint8_t> memory_;
    bool storeFault_ = false;
    bool writeEnabled_ = false;
    std::int64_t busyUntilUs_ = 0;
};

}  // namespace simulator
