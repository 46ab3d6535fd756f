// The adapter survey both faces print; see adapter_check.h.
#include "startup/adapter_check.h"

#include <memory>
#include <string>

#include "platform/counter.h"
#include "platform/device_system.h"
#include "platform/usb_system.h"
#include "startup/adapter_list.h"

namespace startup {

int RunAdapterCheck(std::ostream& out) {
    platform::SteadyCounter clock;
    std::string usbError;
    const std::unique_ptr<platform::UsbSystem> usb = platform::MakeHostUsb(usbError);
    hardware::AdapterSystems systems{clock, platform::HostDevices(), [&](std::string& error) {
                                         error = usbError;
                                         return usb.get();
                                     }};
    bool usable = false;
    for (const AdapterEntry& entry : AdapterList()) usable = entry.adapter->survey(out, systems) || usable;
    return usable ? 0 : 1;
}

std::vector<hardware::AdapterMenuEntry> AdapterMenu() {
    platform::SteadyCounter clock;
    std::unique_ptr<platform::UsbSystem> usb;
    hardware::AdapterSystems systems{clock, platform::HostDevices(), [&](std::string& error) {
                                         if (!usb) usb = platform::MakeHostUsb(error);
                                         return usb.get();
                                     }};
    std::vector<hardware::AdapterMenuEntry> entries;
    for (const AdapterEntry& entry : AdapterList())
        for (hardware::AdapterMenuEntry& one : entry.adapter->menu(systems))
            entries.push_back(std::move(one));
    return entries;
}

std::vector<hardware::AdapterMenuEntry> BenchMenu() {
    std::vector<hardware::AdapterMenuEntry> entries;
    for (const AdapterEntry& entry : AdapterList()) {
        for (const char* const* line = entry.bench->menu; line && *line; ++line) {
            const std::string text = *line;
            const std::size_t bar = text.find('|');
            entries.push_back({text.substr(0, bar), text.substr(bar + 1), true});
        }
    }
    return entries;
}

}  // namespace startup
