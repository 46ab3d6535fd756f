// Bus transfers as values: the capture records of one transfer decoded into
// its address, direction, repeated starts, bytes with their acknowledges and
// whether the STOP came. The "Bus transfers" window shows these, and they are
// exported as CSV or as the logic-analyzer decoder's text, which the bench's
// capture player reads back.
//
// The records say what the PCF8584 says: an address record (type 4) carries no
// acknowledge of its own, so an address counts as acknowledged unless its type
// also holds the last-received-bit flag; a data byte is refused when that flag
// (bit 3, type 8) is set.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hardware/capture.h"

namespace monitor {

// What one START (or repeated START) began: the address byte (8-bit, R/W in
// bit 0) and the bytes that followed it.
struct TransferSegment {
    std::uint8_t address = 0;
    bool addressAcked = true;
    std::vector<std::uint8_t> bytes;
    std::vector<bool> acked;  // one per byte

    bool Read() const { return (address & 1) != 0; }
};

struct DecodedTransfer {
    std::vector<TransferSegment> segments;  // the first from START, the others from repeated STARTs
    bool stopSeen = true;
    int recordsDropped = 0;  // records past the capture buffer (read, not kept)

    std::uint8_t Address() const { return segments.front().address; }  // 8-bit, as on the bus
    std::uint8_t Address7() const { return Address() >> 1; }
    bool Read() const { return segments.front().Read(); }
    int RepeatedStarts() const { return static_cast<int>(segments.size()) - 1; }
    // The register (or EEPROM word) address: the first byte written after the
    // address, when the transfer begins as a write with at least one byte.
    std::optional<std::uint8_t> Register() const;
    // Bytes (or a known address) the receiver refused, not counting the NACK
    // with which a master ends a read: that one is the normal last byte.
    int Refusals() const;
};

// Decodes the records of one captured transfer. Nothing when they do not
// begin with an address record (the monitor drops such transfers too).
std::optional<DecodedTransfer> DecodeTransfer(std::span<const hardware::CaptureRecord> records,
                                              bool stopSeen = true, int recordsDropped = 0);
std::optional<DecodedTransfer> DecodeTransfer(const hardware::TransferBuffer& transfer);

// A transfer as the window lists it: a running index from 1 and the time
// since the monitor started, in microseconds.
struct SeenTransfer {
    int index = 0;
    std::int64_t timeUs = 0;
    DecodedTransfer transfer;
};

// What the monitor saw since it started, for the transfers window: the
// newest kTransferLogLimit transfers (older ones leave at the front; their
// indexes are not reused).
class TransferLog {
public:
    static constexpr std::size_t kTransferLogLimit = 100000;

    void Start(std::int64_t nowUs) {
        items_.clear();
        startUs_ = nowUs;
        next_ = 1;
    }
    void Add(DecodedTransfer transfer, std::int64_t nowUs) {
        if (items_.size() == kTransferLogLimit) items_.pop_front();
        items_.push_back({next_++, nowUs - startUs_, std::move(transfer)});
    }
    const std::deque<SeenTransfer>& Items() const { return items_; }
    // The index the next transfer gets; with Items() tells what is new.
    int NextIndex() const { return next_; }
    std::int64_t StartUs() const { return startUs_; }

private:
    std::deque<SeenTransfer> items_;
    std::int64_t startUs_ = 0;
    int next_ = 1;
};

// Transfers per second by 7-bit address over the `seconds` whole seconds
// that end at `nowUs` (monitor time): bins[i] is the second that ends
// seconds - i before now, so the last bin is the current second.
std::map<std::uint8_t, std::vector<int>> TransferRates(const std::deque<SeenTransfer>& items,
                                                       std::int64_t nowUs, int seconds);

// The register's name for an 8-bit write address and a register, or "".
using RegisterNamer = std::function<std::string(std::uint8_t address, std::uint8_t reg)>;

// Text forms the window and the command line share.
std::string BytesText(const TransferSegment& segment);  // "10 55 66"
// The acknowledges of the bytes, segment by segment: "A | A N". The controller
// reports no acknowledge for an address byte, so an address shows only when
// its record says it was refused ("N").
std::string AcksText(const DecodedTransfer& transfer);
std::string SecondsText(std::int64_t timeUs);        // "12.345678"
std::string RepeatedText(const DecodedTransfer& t);  // the repeated-start addresses: "A1"
std::string DataText(const DecodedTransfer& t);      // bytes after the register, "55 66 | 77"

// Where a column's text goes. The window and the CSV differ only where their
// readers want it so: the window's 7-bit address reads "0x50" (the CSV's
// "50"), its STOP column "missing" (the CSV's "no"), and its bytes tell how
// many records the capture could not keep.
enum class ColumnText { Window, Csv };

// One column of the transfer listing: its title in the window, its key in the
// CSV header row, its width in the window (in digits) and its text.
struct TransferColumn {
    const char* title;
    const char* csvKey;
    int width;
    std::string (*text)(const SeenTransfer& seen, const RegisterNamer& names, ColumnText form);
};

// The columns in the order the window shows them and the CSV writes them.
extern const std::array<TransferColumn, 11> kTransferColumns;

// CSV with a header row; fields with a comma or a quote are quoted.
std::string TransfersCsv(const std::vector<SeenTransfer>& transfers, const RegisterNamer& names = {});
// The decoder's text ("i2c-1: Start", "i2c-1: Address write: 50", ...), one
// event per line, as the bench's capture player reads it back. A transfer
// without its STOP is written without one.
std::string TransfersCaptureText(const std::vector<SeenTransfer>& transfers);

}  // namespace monitor
