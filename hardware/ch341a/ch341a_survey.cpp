// The CH341A section of the port survey; see ch341a_survey.h.
#include "hardware/ch341a/ch341a_survey.h"

#include "hardware/ch341a/ch341a_adapter.h"

namespace hardware {

bool DescribeCh341aAdapters(std::ostream& out, platform::UsbSystem* usb, const std::string& usbError) {
    const std::string id = platform::UsbId(Ch341aAdapter::kVendor, Ch341aAdapter::kProduct);
    out << "CH341A programmers (USB " << id << "):\n";
    if (!usb) {
        out << "  not looked for: " << usbError << "\n";
        return false;
    }
    const std::vector<platform::UsbDeviceInfo> found = Ch341aAdapter::List(*usb);
    if (found.empty()) out << "  none: plug one in (lsusb lists it as " << id << ")\n";
    bool usable = false;
    for (std::size_t n = 0; n < found.size(); ++n) {
        const platform::UsbDeviceInfo& device = found[n];
        const std::string name = "the CH341A on bus " + std::to_string(device.bus) + " at address " +
                                 std::to_string(device.address);
        out << "  ch341a:" << n << ": USB bus " << device.bus << " address " << device.address << "\n";
        platform::UsbSystem::Handle handle = -1;
        platform::UsbStatus status = usb->Open(device, handle);
        bool driver = false;
        if (status == platform::UsbStatus::Ok) {
            driver = usb->KernelDriverActive(handle, Ch341aAdapter::kInterface);
            if (!driver) {
                status = usb->ClaimInterface(handle, Ch341aAdapter::kInterface);
                if (status == platform::UsbStatus::Ok)
                    (void)usb->ReleaseInterface(handle, Ch341aAdapter::kInterface);
            }
            usb->Close(handle);
        }
        if (status != platform::UsbStatus::Ok) {
            out << "    this user cannot open it: "
                << platform::UsbErrorSentence(status, "open", name, Ch341aAdapter::kUdevRule) << "\n";
            continue;
        }
        usable = true;
        out << "    this user can open it (--adapter ch341a:" << n << ")"
            << (driver ? "; a kernel driver holds it, which Merlix takes while it runs and gives back" : "")
            << "\n";
        // The number the i2c-tools commands of merlix-cli take for this adapter's bus.
        out << "    its I2C bus for i2cdetect, i2cget, i2cset, i2cdump and i2ctransfer is " << n
            << " (merlix-cli --adapter ch341a:" << n << " i2cdetect -y " << n << ")\n";
    }
    return usable;
}

}  // namespace hardware
