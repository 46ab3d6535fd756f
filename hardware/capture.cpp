// The parallel adapter as a bus sniffer: the PCF8584 watching as a slave, and
// the monitor's capture pass; see PortAdapter::CaptureTransfers.
#include <algorithm>

#include "hardware/port_adapter.h"

namespace hardware {

void PortAdapter::StartWatching() { InitController(); }

void PortAdapter::RearmWatching() {
    ResetAdapter(0, Latch());
    InitController();
}

void PortAdapter::StopWatching() {
    ConfigurePort();
    ResetAdapter(0, Latch());
}

CaptureCount PortAdapter::CaptureTransfers(int reads, const TransferSink& sink) {
    CaptureCount count;
    TransferBuffer transfer;
    const int budget = std::max(reads, 0);
    int left = budget;
    int total = 0;
    const auto readStatus = [&] {
        ++total;
        return In(kEppAddress);
    };

    // The budget only decides whether a new capture may begin; once begun,
    // a capture runs to the STOP or to its own bounds.
    while (left > 0) {
        --left;
        if (readStatus() != kStatusTransferStart) continue;
        // The status shows a transfer as it begins: this read is when its START was.
        const std::int64_t startUs = NowUs();
        if (readStatus() & kStatusBusFree) continue;  // the transfer ended before a byte came

        transfer.Clear();
        transfer.SetStartUs(startUs);
        int idle = 0;
        int records = 0;
        while (idle < kCaptureIdleReads && records < kCaptureRecordLimit) {
            const std::uint8_t type = readStatus();
            if (!(type & kStatusPin)) {
                // Reading S0 releases the controller for the next byte, so it
                // is read even when the record cannot be kept.
                transfer.Append(CaptureRecord{type, In(kEppData)});
                ++records;
                idle = 0;
            } else {
                ++idle;
            }
            if (type & kStatusBusFree) {
                transfer.SetStopSeen(true);
                break;
            }
        }
        if (!transfer.StopSeen()) ++count.capturesCut;
        if (transfer.Size() > 0 && sink) sink(transfer);
    }
    count.statusReads = total;
    return count;
}

}  // namespace hardware
