#include "simulator/i2c_memory.h"

#include <algorithm>

namespace simulator {

I2cMemory::I2cMemory(const hardware::ChipPart& part, std::uint8_t base)
    : part_(part),
      base_(base),
      blockBytes_(hardware::BlockBytes(part)),
      memory_(static_cast<std::size_t>(part.bytes), 0xFF),
      writeCycleUs_(part.writeCycleMaxUs),
      page_(static_cast<std::size_t>(part.pageSize), -1) {}

int I2cMemory::BlockOf(std::uint8_t addressByte) const {
    const int address = addressByte >> 1;
    for (int b = 0; b < hardware::DeviceBlocks(part_); ++b) {
        if (hardware::BlockDevice(part_, base_, b) == address) return b;
    }
    return -1;
}

bool I2cMemory::Answers(std::uint8_t addressByte) const { return BlockOf(addressByte) >= 0; }

bool I2cMemory::Address(std::uint8_t addressByte, std::int64_t nowUs) {
    Abandon();
    if (Busy(nowUs) || !Answers(addressByte)) return false;
    reading_ = (addressByte & 0x01) != 0;
    if (!reading_) block_ = BlockOf(addressByte);
    if (reading_ && part_.blockSelect == hardware::BlockSelect::UpperHalfAtPlus4) {
        // The 515 kind reads from the half its read address names.
        pointer_ = BlockOf(addressByte) * blockBytes_ + pointer_ % blockBytes_;
    }
    return true;
}

bool I2cMemory::Write(std::uint8_t byte) {
    if (reading_) return false;
    if (addressBytesSeen_ < part_.addressBytes) {
        word_ = (word_ << 8) | byte;
        if (++addressBytesSeen_ == part_.addressBytes) {
            pointer_ = block_ * blockBytes_ + word_ % blockBytes_;
            pageBase_ = pointer_ - pointer_ % part_.pageSize;
            pageCursor_ = pointer_ % part_.pageSize;
        }
        return true;
    }
    page_[static_cast<std::size_t>(pageCursor_)] = byte;
    pageDirty_ = true;
    pageCursor_ = (pageCursor_ + 1) % part_.pageSize;  // wraps inside the page
    return true;
}

std::uint8_t I2cMemory::Read() {
    const std::uint8_t value = memory_[static_cast<std::size_t>(pointer_)];
    if (part_.wrap == hardware::ReadWrap::Block) {
        const int half = pointer_ - pointer_ % blockBytes_;
        pointer_ = half + (pointer_ + 1) % blockBytes_;
    } else {
        pointer_ = (pointer_ + 1) % part_.bytes;
    }
    return value;
}

void I2cMemory::Stop(std::int64_t nowUs) {
    if (pageDirty_) {
        for (int k = 0; k < part_.pageSize; ++k) {
            const int value = page_[static_cast<std::size_t>(k)];
            if (value >= 0 && !storeFault_)
                memory_[static_cast<std::size_t>(pageBase_ + k)] = static_cast<std::uint8_t>(value);
        }
        pointer_ = pageBase_ + pageCursor_;
        busyUntilUs_ = nowUs + writeCycleUs_;
    }
    Abandon();
}

void I2cMemory::Abandon() {
    std::fill(page_.begin(), page_.end(), -1);
    pageDirty_ = false;
    // A data byte moved the counter: a write dropped by a repeated START
    // leaves it past the bytes sent, as it would after the cycle.
    if (addressBytesSeen_ == part_.addressBytes) pointer_ = pageBase_ + pageCursor_;
    addressBytesSeen_ = 0;
    word_ = 0;
    reading_ = false;
}

}  // namespace simulator
