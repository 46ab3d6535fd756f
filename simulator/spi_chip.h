// An AT25C010..AT25C160 SPI EEPROM (mode 0) in the serial socket. /CS (latch
// bit 5) is active low, SI (bit 6) is sampled on the rising edge of SCK
// (bit 7) and SO changes after the falling edge. Opcodes are 0000 X ooo; the
// AT25C040 carries address bit 8 in X, the others do not care about it. A
// WRITE fills one page (wrapping inside it) and starts its self-timed cycle on
// the rising /CS after whole bytes; the write-enable latch clears when the
// cycle ends, and during the cycle only RDSR is taken. Datasheet facts relied
// on: pages of 8 bytes (AT25010..040) or 32 (AT25080/160), tWC at most 5 ms,
// (the larger 25xx of the chip table alike, with two or three address bytes,
// pages up to 256 bytes and their own tWC),
// RDSR bit 0 (/RDY) high while the cycle runs, and RDSR read continuously
// (SCK kept running, /CS low) returning the status again every 8 clocks.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "simulator/latch_edges.h"
#include "simulator/storage_chip.h"

namespace simulator {

class SpiChip final : public StorageChip {
public:
    // `cycleMaxUs`: the part's longest write cycle, drawn below (0: the AT25C010..160 range).
    SpiChip(std::string name, int capacityBytes, int addressBytes, bool a8InOpcode, int pageBytes,
            int cycleMaxUs = 0);

    void OnLatch(std::uint8_t latch, std::int64_t nowUs) override;
    bool DataOut(std::int64_t nowUs) const override;

    // Status register as RDSR returns it: bit 0 busy, bit 1 write enabled,
    // bits 2-3 block protect, bit 7 WPEN.
    std::uint8_t Status(std::int64_t nowUs);
    int KeptStatus() const override { return protect_; }
    void SetKeptStatus(std::uint8_t bits) override;

    static constexpr int kMaxPage = 256;

private:
    enum class Phase { Deselected, Opcode, Address, ReadOut, WriteData, StatusOut, StatusIn, Ignore };

    void Settle(std::int64_t nowUs);
    void OnRise(bool bit);
    void OnFall(std::int64_t nowUs);
    void Decode(int opcode);
    void EndInstruction(std::int64_t nowUs);
    bool Protected(int address) const;

    int addressBytes_;
    bool a8InOpcode_;
    int pageBytes_;

    LatchTracker lines_;
    Phase phase_ = Phase::Deselected;
    bool reading_ = false;  // the address is for READ (else WRITE)
    int shift_ = 0;
    int bits_ = 0;  // bits of the current byte so far
    int bitsLeft_ = 0;
    int address_ = 0;
    std::uint8_t outByte_ = 0;
    int outBit_ = 0;
    bool dataOut_ = true;
    // The page being written: one entry per page offset, -1 where untouched.
    std::array<int, kMaxPage> page_{};
    int written_ = 0;  // data bytes clocked into the page
    std::uint8_t statusIn_ = 0;
    bool statusComplete_ = false;

    std::uint8_t protect_ = 0;  // bits 2, 3 and 7 of the status register
    // Set with each cycle and cleared, with the write-enable latch, once the
    // cycle is seen to have ended.
    bool cycleRunning_ = false;
};

}  // namespace simulator
