// The logic-analyzer I2C decoder's text, line by line: the bus events it
// names and the transfers they make. Capture files (the bench's second
// master) and a live analyzer (the monitor) read the same text with it.
//
// One event per line, with or without a decoder label ("i2c-1: Start");
// addresses are 7-bit there and become 8-bit bus bytes with the R/W bit.
// Lines that are not bus events (single bits, "Read", "Write", blanks) are
// no event. A line may begin with the annotation's sample range
// ("1234-5678 i2c-1: Start", as --protocol-decoder-samplenum prints it and
// the analyzer's window exports it); the window's export also names the
// decoder and the row ("I²C: Address/data: Address write: 50"), sometimes
// with the annotation's shorter alternatives quoted after it.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace hardware {

// One event of a transfer, in bus order.
struct BusEvent {
    enum class Kind { Start, RepeatedStart, Byte, Stop };
    Kind kind = Kind::Byte;
    std::uint8_t byte = 0;  // for Byte: the 8-bit value on the bus (address bytes carry R/W)
    bool acked = true;      // for Byte: whether the receiver acknowledged it
    bool operator==(const BusEvent&) const = default;
};
using BusTransfer = std::vector<BusEvent>;

// One line of decoder text that names a bus event.
struct DecoderLine {
    bool ranged = false;       // the line began with a sample range
    std::uint64_t sample = 0;  // the range's first sample
    BusEvent event;
    bool ackLine = false;  // "ACK" or "NACK": says whether the byte before it was acknowledged
};

// False for a line that names no bus event.
bool ParseDecoderLine(std::string_view line, DecoderLine& parsed);

// Gathers events, given in bus order, into transfers: a transfer ends at
// Stop, or at a Start with no Stop before it; a Repeated START or a byte with
// no transfer open opens one (a capture that began inside a transfer).
class TransferAssembler {
public:
    // Receives each transfer and the first sample of its first event.
    using Sink = std::function<void(BusTransfer& transfer, std::uint64_t firstSample)>;
    explicit TransferAssembler(Sink sink) : sink_(std::move(sink)) {}

    void Add(const DecoderLine& line);
    // Gives the transfer still open, if any.
    void Finish();
    // Drops the transfer still open.
    void Clear() { current_.clear(); }
    // The events of the transfer still open.
    std::size_t OpenEvents() const { return current_.size(); }

private:
    Sink sink_;
    BusTransfer current_;
    std::uint64_t first_ = 0;
    void Open(const DecoderLine& line);
};

}  // namespace hardware
