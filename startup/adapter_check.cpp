// The adapter survey both faces print; see adapter_check.h.
#include "startup/adapter_check.h"

#include <memory>
#include <string>

#include "hardware/ch341a/ch341a_survey.h"
#include "hardware/probe.h"
#include "platform/counter.h"
#include "platform/port_check.h"
#include "platform/usb_system.h"

namespace startup {

int RunAdapterCheck(std::ostream& out) {
    platform::SteadyCounter clock;
    platform::PortCheckEnvironment environment;
    std::string usbError;
    const std::unique_ptr<platform::UsbSystem> usb = platform::MakeHostUsb(usbError);
    environment.usbProgrammers = [&](std::ostream& listing) {
        return hardware::DescribeCh341aProgrammers(listing, usb.get(), usbError);
    };
    return platform::RunPortCheck(
        out, [&clock](platform::PortIo& io, int base) { return hardware::ProbeAdapterOn(io, clock, base); },
        environment);
}

}  // namespace startup
