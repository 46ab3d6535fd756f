// The monitor's capture pass over the PCF8584; see PortAdapter::CaptureTransfers.
#include <algorithm>

#include "hardware/port_adapter.h"

namespace hardware {

CaptureCount PortAdapter::CaptureTransfers(int reads, const TransferSink& sink) {
    CaptureCount count;
    TransferBuffer transfer;
    const int budget = std::max(reads, 0);
    int left = budget;
    const auto readStatus = [&] {
        --left;
        return In(kEppAddress);
    };

    while (left > 0) {
        if (readStatus() != kStatusTransferStart) continue;
        if (left == 0) {
            count.endedInTransfer = true;
            break;
        }
        if (readStatus() & kStatusBusFree) continue;  // the transfer ended before a byte came

        transfer.Clear();
        bool ended = false;
        while (left > 0) {
            const std::uint8_t type = readStatus();
            if (!(type & kStatusPin)) {
                // Reading S0 releases the controller for the next byte, so it
                // is read even when the record cannot be kept.
                transfer.Append(CaptureRecord{type, In(kEppData)});
            }
            if (type & kStatusBusFree) {
                ended = true;
                break;
            }
        }
        if (!ended) count.endedInTransfer = true;
        if (transfer.Size() > 0 && sink) sink(transfer);
    }
    count.statusReads = budget - left;
    return count;
}

}  // namespace hardware
