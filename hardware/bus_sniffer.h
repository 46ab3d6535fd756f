// An adapter that can watch the bus without driving it: the monitor's
// capture. Only adapters with a controller that listens as a slave to every
// address, or a logic analyser, have one.
#pragma once

#include <string>

#include "hardware/bus_adapter.h"
#include "hardware/capture.h"

namespace hardware {

class BusSniffer : public virtual BusAdapter {
public:
    // Turns watching on.
    virtual void StartWatching() = 0;
    // Sets watching up afresh before a pass, so that whatever happened on the
    // adapter between passes never ends it.
    virtual void RearmWatching() = 0;
    // One capture pass; see PortAdapter::CaptureTransfers for the contract
    // of `reads` and the transfers given to `sink`.
    virtual CaptureCount CaptureTransfers(int reads, const TransferSink& sink) = 0;
    // Turns watching off: the adapter is a master again.
    virtual void StopWatching() = 0;
    // Why watching has ended by itself, in one sentence; empty while it runs.
    // A controller on the adapter never stops on its own; a logic analyzer
    // run as another program can (not installed, unplugged, crashed).
    virtual std::string Trouble() const { return {}; }
};

}  // namespace hardware
