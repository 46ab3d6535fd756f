// The serial socket's lines as the engine drives them: Microwire and SPI
// memories and the DAC are bit-banged over select, clock, data out, data in
// and ORG. One Run takes a whole batch of steps and gives back what was
// sampled, so an adapter behind a USB link sends a frame per round trip
// instead of one per edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hardware/bus_adapter.h"

namespace hardware {

// The output lines, as a mask. Levels are electrical: select high is the
// Microwire chip select, low the SPI /CS, and the DAC's load line.
inline constexpr std::uint8_t kSelectLine = 0x01;
inline constexpr std::uint8_t kClockLine = 0x02;
inline constexpr std::uint8_t kDataLine = 0x04;
inline constexpr std::uint8_t kOrgLine = 0x08;  // 93Cxx ORG; the DAC's frame line
inline constexpr std::uint8_t kAllLines = 0x0F;

struct LineStep {
    enum class Kind : std::uint8_t {
        Drive,     // `lines` to `levels` at once
        Sample,    // the data-in line, no clock
        ClockOut,  // `count` bits of `value`, MSB first: data with the clock low, then the clock high
        ClockIn,   // `count` bits: a clock pulse each, sampled as `afterFall` says
    };
    Kind kind = Kind::Drive;
    std::uint8_t lines = 0;
    std::uint8_t levels = 0;
    // Drive: the adapter sets its outputs up in full first (the parallel
    // adapter re-reads its port control before the load); others ignore it.
    bool full = false;
    // ClockIn: sample between the falling and the rising edge (SPI mode 0),
    // else after the rising edge (Microwire).
    bool afterFall = false;
    std::uint32_t value = 0;
    int count = 0;

    static LineStep Drive(std::uint8_t lines, std::uint8_t levels, bool full = false) {
        return {Kind::Drive, lines, levels, full};
    }
    static LineStep Set(std::uint8_t line, bool high, bool full = false) {
        return Drive(line, high ? line : 0, full);
    }
    static LineStep Sample() { return {Kind::Sample}; }
    static LineStep Out(std::uint32_t value, int bits) {
        return {Kind::ClockOut, 0, 0, false, false, value, bits};
    }
    static LineStep In(int bits, bool afterFall) { return {Kind::ClockIn, 0, 0, false, afterFall, 0, bits}; }
};

// A bit into a chip one line at a time, each a full Drive: data, clock low,
// clock high. The frames that keep slow, fixed edges (the DAC's, a memory's
// presence check) are made of these.
inline void AddSlowBit(std::vector<LineStep>& steps, int bit) {
    steps.push_back(LineStep::Set(kDataLine, bit != 0, true));
    steps.push_back(LineStep::Set(kClockLine, false, true));
    steps.push_back(LineStep::Set(kClockLine, true, true));  // the chip samples on the rising edge
}

class SerialLines : public virtual BusAdapter {
public:
    // Runs `steps` in order; the result holds one level (0 or 1) per Sample
    // and per ClockIn bit, in order. Lines a step does not name keep their
    // level.
    virtual std::vector<std::uint8_t> Run(std::span<const LineStep> steps) = 0;
};

// An adapter with a hardware SPI engine: `out` shifted out while as many
// bytes are shifted into `in` (mode 0, MSB first), with the chip selected
// throughout and released at the end. Adapters that only bit-bang use
// SerialLines instead. A Microwire chip (select active high, frames of any
// bit count) runs on it too: the caller pads a frame with leading zeros,
// which the chip ignores before its start bit.
class SpiMaster : public virtual BusAdapter {
public:
    // False when the adapter could not run the transfer (longer than
    // MaxTransferBytes, or the system refused it); `in` is resized to
    // out.size().
    virtual bool Transfer(std::span<const std::uint8_t> out, std::vector<std::uint8_t>& in) = 0;
    // The longest `out` one Transfer takes; longer frames are split by the caller.
    virtual std::size_t MaxTransferBytes() const = 0;
    // The select line's active level for the next transfers: low (25xx, the
    // default) or high (93Cxx). False, with a sentence that says what to do
    // in `error`, when the adapter cannot give that level; the level then
    // stays as it was.
    virtual bool SetSelectActiveHigh(bool high, std::string& error) = 0;
};
}  // namespace hardware
