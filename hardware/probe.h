// The adapter probe of "Reset PCF" as one call, for `merlix --check-ports`:
// configure the port, then reset and probe the PCF8584 twice, as the button
// does, but without loading the output latch. A survey must leave the bench
// as the technician has it: a device held in Stop or Reset stays held, and
// the user outputs stay as they are.
#pragma once

#include <cstdint>

#include "platform/counter.h"
#include "platform/port_io.h"

namespace hardware {

class PortAdapter;

struct ControllerProbe {
    bool firstAnswered = false;  // the first reset read back 85
    bool found = false;          // the second did: the controller is there
};

// The probe of "Reset PCF" that the window, merlix-cli and the port survey
// share: the controller reset (ResetAdapter in `resetMode`, with the latch
// shadow) and probed twice, the port set up again after a first reset that
// found nothing and after a second that found the controller.
ControllerProbe ProbeController(PortAdapter& adapter, std::uint8_t resetMode);

// Probes at `base` through `io`, timing its pulses by `counter`; true when
// the controller read back 85 on the second reset. The latch sees no load,
// and the data register is put back as it was found.
bool ProbeAdapterOn(platform::PortIo& io, platform::Counter& counter, int base);

}  // namespace hardware
