// The CH341A USB adapter as the adapter list sees it: --adapter
// ch341a[:N|:all][,CLOCK], the survey of the boards plugged in with their
// rights, the one board in the automatic choice, and several side by side.
#pragma once

#include "hardware/adapter_descriptor.h"

namespace hardware {

extern const AdapterDescriptor kCh341aAdapter;

}  // namespace hardware
