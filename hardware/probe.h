// The adapter probe of "Reset PCF" as one call, for `merlix --check-ports`
// and the start-up port choice: configure the port, then reset and probe the
// PCF8584 twice with the start latch, exactly as the button does.
#pragma once

#include "platform/port_io.h"

namespace hardware {

// Probes at `base` through the installed backend; true when the controller
// read back 85 on the second reset.
bool ProbeAdapter(int base);

// The same through `io`, which is installed for the probe only.
bool ProbeAdapterOn(platform::PortIo& io, int base);

}  // namespace hardware
