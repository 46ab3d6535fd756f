// A chip in the adapter's serial socket. It sees the output latch every time
// the latch loads (rising /INIT) and drives the status line bit 3 back. Each
// model decodes the lines edge by edge, as the real chip would.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simulator/write_cycle.h"

namespace simulator {

// The DAC's twelve channels as the converter holds them.
struct DacChannel {
    std::uint8_t value = 0;
    std::uint8_t range = 0;  // 0..3: full scale 5, 8, 9, 12 V
    double Volts() const;
};

class SerialChip {
public:
    virtual ~SerialChip() = default;
    // The latch just loaded `latch` (bit 4 ORG/frame, 5 CS/load, 6 data in, 7 clock).
    // `nowUs` is bench time in microseconds.
    virtual void OnLatch(std::uint8_t latch, std::int64_t nowUs) = 0;
    // Level of the chip's data-out line (status bit 3).
    virtual bool DataOut(std::int64_t nowUs) const = 0;
    // The chip's name as the chip list spells it, without organisation
    // ("93C46", "AT25C040", "M62358,M62359").
    virtual std::string Name() const = 0;
    // The storage array (bytes), for the bench window and tests. Empty for the DAC.
    virtual std::vector<std::uint8_t>& Memory() = 0;
    // Fault: the chip acknowledges writes but does not store them.
    virtual void SetStoreFault(bool fault) = 0;
    // The converter's channels, for the DAC model; other chips have none.
    virtual std::vector<DacChannel> Channels() const { return {}; }
    // The self-timed write cycle of a memory; the DAC has none (range all 0).
    virtual WriteCycleRange CycleRange() const { return {}; }
    virtual std::int64_t WriteCycleUs() const { return 0; }
    virtual void SetWriteCycleUs(std::int64_t us) { (void)us; }
    // The status register bits a 25xx keeps without power (block protect,
    // WPEN); -1 for chips without them.
    virtual int KeptStatus() const { return -1; }
    virtual void SetKeptStatus(std::uint8_t bits) { (void)bits; }
};

// Builds the model for a chip-list entry ("93C46 (8)", "93C46 (16)",
// "AT25C160", "M62358,M62359"); nullptr for a blank or unknown entry.
std::unique_ptr<SerialChip> MakeSerialChip(const std::string& chipListText);

// The parts the bench's I2C socket takes, by name, in the chip table's order.
std::vector<std::string> I2cSocketParts();
// The serial socket's choices: the chip list's parts, each once (both
// organisations of a 93Cxx are one chip; its ORG pin picks the words), then
// the 25xx the list does not have.
std::vector<std::string> SerialSocketParts();

}  // namespace simulator
