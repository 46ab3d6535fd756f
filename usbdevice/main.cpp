// merlix-usb-device: one of the bench's USB devices plugged into this
// machine's kernel through USB/IP's vhci-hcd (no network), so that the
// kernel's own drivers and usbfs meet the bench's chip models. Root, with
// vhci-hcd loaded; it serves until killed (which unplugs it), until the
// host lets go, or until its own limits unplug it.
//   merlix-usb-device tiny-usb [--chip 24C256]
//   merlix-usb-device ch341a [--chip 24C256] [--unplug-after N] [--mute-after N]
// --chip puts a part of the chip table in the device's I2C socket (else the
// bench's 24C16 answers at 0x50..0x57); --unplug-after N closes the
// connection when the bulk transfer after the Nth comes, before answering it;
// --mute-after N leaves the bulk INs after the Nth unanswered (the host's
// timeout). It prints a line when it is plugged in, for each address the
// bus did not acknowledge, and when it stops.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/counter.h"
#include "simulator/simulated_bench.h"
#include "simulator/usb_bench_devices.h"
#include "simulator/usbip_device.h"

namespace {

// enum usb_device_speed (include/uapi/linux/usb/ch9.h): USB_SPEED_FULL.
constexpr int kFullSpeed = 2;

int Usage() {
    std::fprintf(stderr, "usage: merlix-usb-device tiny-usb|ch341a [--chip PART] [--unplug-after N] "
                         "[--mute-after N]\n");
    return 2;
}

void Say(const std::string& line) {
    std::printf("merlix-usb-device: %s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string kind = argv[1];
    std::string chip;
    simulator::UsbipDevice::Limits limits;
    for (int k = 2; k < argc; ++k) {
        const std::string option = argv[k];
        if (k + 1 >= argc) return Usage();
        const char* value = argv[++k];
        if (option == "--chip") {
            chip = value;
        } else if (option == "--unplug-after") {
            limits.unplugAfterBulk = std::strtol(value, nullptr, 10);
        } else if (option == "--mute-after") {
            limits.muteAfterBulk = std::strtol(value, nullptr, 10);
        } else {
            return Usage();
        }
    }
    platform::SteadyCounter counter;
    simulator::SimulatedBench bench(counter);
    std::string error;
    if (!chip.empty() && !bench.PutPart(chip, error)) {
        std::fprintf(stderr, "merlix-usb-device: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<simulator::UsbFunction> function;
    if (kind == "tiny-usb") {
        function = std::make_unique<simulator::TinyUsbFunction>(bench, Say);
    } else if (kind == "ch341a") {
        function = std::make_unique<simulator::Ch341aFunction>(bench);
    } else {
        return Usage();
    }
    int port = -1;
    const int fd = simulator::AttachToVhci(kFullSpeed, port, error);
    if (fd < 0) {
        std::fprintf(stderr, "merlix-usb-device: %s\n", error.c_str());
        return 1;
    }
    Say(kind + " plugged into vhci port " + std::to_string(port));
    simulator::UsbipDevice device(*function, fd, limits);
    Say(device.Serve());
    return 0;
}
