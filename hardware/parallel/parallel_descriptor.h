// The parallel-port adapter (PCF8584 on EPP and the output latch) as the
// adapter list sees it: lpt1 and lpt2, direct port I/O or ppdev, the survey
// of the machine's parallel ports with the probe on each, first in the
// automatic choice. Its port sequences are hardware/port_adapter.h.
#pragma once

#include "hardware/adapter_descriptor.h"

namespace hardware {

extern const AdapterDescriptor kParallelAdapter;

}  // namespace hardware
