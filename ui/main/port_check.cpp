// The --check-ports entry point: the platform's port survey, with the
// adapter probe of "Reset PCF " on every port it can reach.
#include "ui/main/port_check.h"

#include <iostream>
#include <memory>
#include <string>

#include "hardware/ch341a/ch341a_survey.h"
#include "hardware/probe.h"
#include "platform/port_check.h"
#include "platform/usb_system.h"

namespace ui {

int RunPortCheck() {
    platform::SteadyCounter clock;
    platform::PortCheckEnvironment environment;
    std::string usbError;
    const std::unique_ptr<platform::UsbSystem> usb = platform::MakeHostUsb(usbError);
    environment.usbProgrammers = [&](std::ostream& out) {
        return hardware::DescribeCh341aProgrammers(out, usb.get(), usbError);
    };
    return platform::RunPortCheck(
        std::cout,
        [&clock](platform::PortIo& io, int base) { return hardware::ProbeAdapterOn(io, clock, base); },
        environment);
}

}  // namespace ui
