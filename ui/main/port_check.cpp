// The --check-ports entry point: the platform's port survey, with the
// adapter probe of "Reset PCF " on every port it can reach.
#include "ui/main/port_check.h"

#include <iostream>

#include "hardware/probe.h"
#include "platform/port_check.h"

namespace ui {

int RunPortCheck() {
    platform::SteadyCounter clock;
    return platform::RunPortCheck(std::cout, [&clock](platform::PortIo& io, int base) {
        return hardware::ProbeAdapterOn(io, clock, base);
    });
}

}  // namespace ui
