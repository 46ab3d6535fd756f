// A USB device served from this process to the kernel's own USB stack
// through USB/IP's virtual host controller (vhci-hcd), so that a real kernel
// driver, or usbfs and libusb, talk to one of the bench's device models: the
// device's end of a connected stream socket speaks USB/IP's server side,
// the kernel's end is handed to /sys/devices/platform/vhci_hcd.0/attach. No
// network is involved.
//
// The device answers the standard requests the kernel's enumeration makes
// from the descriptors its UsbFunction gives; vendor requests and the bulk
// endpoints go to the function. A bulk IN the function has nothing for stays
// pending, as on the wire, until the function has something or the host
// unlinks it (its timeout).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace simulator {

// A control request's setup stage (the eight bytes of USB 2.0 9.3, little-endian on the wire).
struct UsbSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    bool In() const { return (requestType & 0x80) != 0; }
};

class UsbFunction {
public:
    virtual ~UsbFunction() = default;
    // The device descriptor (18 bytes) and the configuration descriptor with
    // its interfaces and endpoints; the strings, index 1 first.
    virtual std::vector<std::uint8_t> DeviceDescriptor() const = 0;
    virtual std::vector<std::uint8_t> ConfigDescriptor() const = 0;
    virtual std::vector<std::string> Strings() const = 0;
    // A request that is not a standard one. `data`: for an OUT, what the host
    // sent; for an IN, the answer to fill (the device layer cuts it to the
    // setup's length). False stalls the request.
    virtual bool Control(const UsbSetup& setup, std::vector<std::uint8_t>& data) = 0;
    // A bulk OUT's data; false stalls it.
    virtual bool BulkOut(std::uint8_t /*endpoint*/, std::span<const std::uint8_t> /*data*/) { return false; }
    // A bulk IN of up to `length` bytes: true with `data` filled when the
    // device has something to send, false to keep the host waiting.
    virtual bool BulkIn(std::uint8_t /*endpoint*/, std::size_t /*length*/,
                        std::vector<std::uint8_t>& /*data*/) {
        return false;
    }
};

// Plugs a device into the first free high-speed-hub port of vhci_hcd.0 at
// `speed` (the kernel's enum usb_device_speed: 2 full speed). The kernel's
// end of the socket pair is handed over and closed here; the device's end is
// returned (-1 with `error` said). `port` is the port taken.
int AttachToVhci(int speed, int& port, std::string& error);

class UsbipDevice {
public:
    struct Limits {
        // Unplugged (the socket closed) when the bulk transfer past this
        // many comes in, before it is answered; 0: never.
        long unplugAfterBulk = 0;
        // Bulk INs past this many get nothing: they stay pending until the
        // host gives up on them; 0: never.
        long muteAfterBulk = 0;
    };

    // Serves `function` on `fd` (the device's end of an attached socket),
    // which the device then owns.
    UsbipDevice(UsbFunction& function, int fd, Limits limits);
    UsbipDevice(UsbFunction& function, int fd) : UsbipDevice(function, fd, Limits{}) {}
    ~UsbipDevice();
    UsbipDevice(const UsbipDevice&) = delete;
    UsbipDevice& operator=(const UsbipDevice&) = delete;

    // Answers the host until it lets go (the port detached), the device is
    // unplugged by its limits, or the socket fails; one sentence says which.
    std::string Serve();

private:
    struct Pending {
        std::uint32_t seqnum = 0;
        std::uint8_t endpoint = 0;
        std::size_t length = 0;
    };
    bool Submit(const std::uint8_t* header, std::vector<std::uint8_t>& data);
    bool Standard(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    bool Reply(std::uint32_t seqnum, std::int32_t status, std::span<const std::uint8_t> data,
               std::size_t actualLength);
    bool ServePending();

    UsbFunction& function_;
    int fd_;
    Limits limits_;
    long bulkTransfers_ = 0;
    std::vector<Pending> pending_;
};

}  // namespace simulator
