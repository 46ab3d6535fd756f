// Any 24Cxx memory of the chip table in the bench's I2C socket, from its
// part row: one or two word-address bytes, the block in the device address
// (24C04..16, 24C1024/24M01, 24M02) or at +4 (the 24xx515 kind), its page
// size and write cycle. Datasheet facts relied on: the word address is taken
// modulo what one device address reaches (a 24C32 reads address 0x1000 as
// 0, a 24C01 0x80 as 0), so a part's contents repeat where its addresses
// wrap; data bytes collect in the page buffer, wrap inside the page and
// reach the array only on STOP (a repeated START drops them); during the
// write cycle the part acknowledges none of its addresses; a sequential read
// runs on through the whole array, except on the 515 kind, which stays in
// its half. A word address sent incomplete (one byte to a two-byte part)
// leaves the address counter as it was.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/chip_parts.h"

namespace simulator {

class I2cMemory {
public:
    // `base`: the 7-bit device address of block 0 (0x50 with the address pins low).
    explicit I2cMemory(const hardware::ChipPart& part, std::uint8_t base = 0x50);

    const hardware::ChipPart& Part() const { return part_; }
    // Whether `addressByte` (8-bit, R/W in bit 0) is one of the part's.
    bool Answers(std::uint8_t addressByte) const;
    bool Address(std::uint8_t addressByte, std::int64_t nowUs);
    bool Write(std::uint8_t byte);
    std::uint8_t Read();
    void Stop(std::int64_t nowUs);
    void Abandon();
    bool Busy(std::int64_t nowUs) const { return nowUs < busyUntilUs_; }

    std::int64_t WriteCycleUs() const { return writeCycleUs_; }
    void SetWriteCycleUs(std::int64_t us) { writeCycleUs_ = us; }
    void SetStoreFault(bool fault) { storeFault_ = fault; }
    std::vector<std::uint8_t>& Memory() { return memory_; }

private:
    int BlockOf(std::uint8_t addressByte) const;

    hardware::ChipPart part_;
    std::uint8_t base_;
    int blockBytes_;
    std::vector<std::uint8_t> memory_;
    std::int64_t writeCycleUs_;
    std::int64_t busyUntilUs_ = 0;
    bool storeFault_ = false;
    int pointer_ = 0;
    int block_ = 0;
    bool reading_ = false;
    int addressBytesSeen_ = 0;
    int word_ = 0;
    int pageBase_ = 0;
    int pageCursor_ = 0;
    std::vector<int> page_;  // one entry per page offset, -1 where untouched
    bool pageDirty_ = false;
};

}  // namespace simulator
