// The --check-ports entry point. The port survey belongs to the platform
// layer and the adapter probe to the hardware layer; this is where the
// program brings them together.
#include "app/port_check.h"

#include <iostream>

#include "hardware/probe.h"
#include "platform/port_check.h"

int RunPortCheck() { return platform::RunPortCheck(std::cout, hardware::ProbeAdapterOn); }
