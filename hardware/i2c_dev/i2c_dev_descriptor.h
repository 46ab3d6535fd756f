// The Linux i2c-dev adapter as the adapter list sees it: --adapter
// i2c-dev:/dev/i2c-N, the survey of the buses with their rights, and the one
// USB-to-I2C bridge in the automatic choice (never a PC's own bus).
#pragma once

#include "hardware/adapter_descriptor.h"

namespace hardware {

extern const AdapterDescriptor kI2cDevAdapter;

}  // namespace hardware
