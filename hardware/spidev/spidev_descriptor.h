// The Linux spidev adapter as the adapter list sees it: --adapter
// spidev:/dev/spidevB.C and the survey of the nodes with their rights; it is
// never taken without being named.
#pragma once

#include "hardware/adapter_descriptor.h"

namespace hardware {

extern const AdapterDescriptor kSpidevAdapter;

}  // namespace hardware
