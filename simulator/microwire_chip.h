// A 93C06..93C86 Microwire EEPROM in the serial socket. CS (latch bit 5) is
// active high, DI (bit 6) is sampled on the rising edge of SK (bit 7), and the
// ORG pin (bit 4) chooses 16-bit words (high) or bytes (low) at each start bit.
// The chip powers up write-disabled, ignores clocks after a complete
// instruction until CS falls, and runs a self-timed write cycle after the last
// data bit; while that runs, a re-raised CS shows busy (0) or ready (1) on DO.
// Datasheet facts relied on: the write cycle (tWP) takes up to 10 ms, a start
// bit is not taken while it runs, and ready/busy shows on DO from CS rising
// (tSV) until the next start bit or CS falls.
#pragma once

#include <cstdint>
#include <string>

#include "simulator/latch_edges.h"
#include "simulator/storage_chip.h"

namespace simulator {

class MicrowireChip final : public StorageChip {
public:
    // `addressBitsX8`: address bits in byte organisation (one fewer for words).
    MicrowireChip(std::string name, int capacityBytes, int addressBitsX8);

    void OnLatch(std::uint8_t latch, std::int64_t nowUs) override;
    bool DataOut(std::int64_t nowUs) const override;

    using StorageChip::WriteEnabled;

private:
    enum class Phase { Deselected, WaitStart, Opcode, Address, Data, Reading, Done };

    void OnClock(bool bit, std::int64_t nowUs);
    void AddressComplete(std::int64_t nowUs);
    void DataComplete(std::int64_t nowUs);
    // Starts a programming cycle; false when the chip refuses it.
    bool BeginProgramming(std::int64_t nowUs);
    int AddressBits() const { return x16_ ? addressBitsX8_ - 1 : addressBitsX8_; }
    int WordBits() const { return x16_ ? 16 : 8; }
    int Words() const { return x16_ ? Capacity() / 2 : Capacity(); }
    std::uint32_t ReadWord(int address) const;
    void StoreWord(int address, std::uint32_t value);

    int addressBitsX8_;

    LatchTracker lines_;
    Phase phase_ = Phase::Deselected;
    bool orgHigh_ = false;
    bool x16_ = false;
    int opcode_ = 0;
    int bitsLeft_ = 0;
    int address_ = 0;
    std::uint32_t data_ = 0;
    int readBit_ = 0;  // bit of the current word on DO; -1 while the dummy 0 shows
    bool dataOut_ = true;
};

}  // namespace simulator
