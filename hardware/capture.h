// What the PCF8584 shows while it monitors the bus: one record per received
// byte, its status register (S1) as the type and the byte (S0) as the data,
// and the records of one transfer kept in a fixed buffer. The capture pass
// itself is PortAdapter::CaptureTransfers.
//
// Type 4 is an address byte received, type 8 a byte the receiver did not
// acknowledge.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>

namespace hardware {

struct CaptureRecord {
    std::uint8_t type = 0;
    std::uint8_t data = 0;
};

inline constexpr int kMaxTransferRecords = 512;
// A capture has bounds of its own, apart from the pass's read budget, so that
// a transfer begun near the end of a pass is still read whole: it ends when
// the bus frees, after this many status reads in a row that brought no byte
// (a master that stopped talking half way), or after this many records (a
// controller that never lets go; a whole 24C16 read is 2051).
inline constexpr int kCaptureIdleReads = 4096;
inline constexpr int kCaptureRecordLimit = 16 * kMaxTransferRecords;

inline constexpr std::uint8_t kStatusTransferStart = 0x84;  // PIN + addressed as slave: a transfer begins
inline constexpr std::uint8_t kStatusPin = 0x80;            // 1: no byte pending
inline constexpr std::uint8_t kStatusBusFree = 0x01;        // 1: the transfer has ended
inline constexpr std::uint8_t kRecordAddress = 4;
inline constexpr std::uint8_t kRecordUnacknowledged = 8;

// The records of one transfer, in a fixed buffer: the capture loop never
// allocates. Records past the capacity are counted, not stored, but the
// address bytes among them are still known (the monitor's filter hides a
// transfer by any address it holds).
class TransferBuffer {
public:
    void Clear() {
        count_ = 0;
        dropped_ = 0;
        stopSeen_ = false;
        startUs_ = kStartUnknown;
        addresses_.reset();
    }
    // False when the buffer is full and the record was dropped.
    bool Append(CaptureRecord record) {
        if (record.type == kRecordAddress) addresses_.set(record.data);
        if (count_ == kMaxTransferRecords) {
            ++dropped_;
            return false;
        }
        records_[count_++] = record;
        return true;
    }
    std::span<const CaptureRecord> Records() const {
        return {records_.data(), static_cast<std::size_t>(count_)};
    }
    int Size() const { return count_; }
    int Dropped() const { return dropped_; }
    // Whether an address record with this byte came, stored or dropped.
    bool HasAddress(std::uint8_t address) const { return addresses_.test(address); }
    // Whether the capture ended on the bus-free flag (the STOP), not on one
    // of its own bounds.
    bool StopSeen() const { return stopSeen_; }
    void SetStopSeen(bool seen) { stopSeen_ = seen; }
    // When the transfer's START was on the bus, in microseconds on the
    // adapter's clock (BusAdapter::NowUs); kStartUnknown, which is
    // BusAdapter::kNoTime, when the clock could not be read.
    static constexpr std::int64_t kStartUnknown = std::numeric_limits<std::int64_t>::min();
    std::int64_t StartUs() const { return startUs_; }
    void SetStartUs(std::int64_t us) { startUs_ = us; }

private:
    std::bitset<256> addresses_;
    std::array<CaptureRecord, kMaxTransferRecords> records_{};
    int count_ = 0;
    int dropped_ = 0;
    bool stopSeen_ = false;
    std::int64_t startUs_ = kStartUnknown;
};

// What a capture pass read.
struct CaptureCount {
    int statusReads = 0;  // every read of the status port, inside captures too
    int capturesCut = 0;  // captures that ended at their own bounds, without the STOP
};

// Receives each captured transfer that holds at least one record. The buffer
// is the pass's own and valid only during the call.
using TransferSink = std::function<void(const TransferBuffer& transfer)>;

}  // namespace hardware
