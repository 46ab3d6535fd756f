// The USB calls of the adapters that sit on a bulk endpoint pair: find a device by vendor and product id,
// open it, take it from a kernel driver and give it back, claim its interface, bulk transfers each way with a
// timeout, close. Every call goes through UsbSystem, so tests and the bench put a fake adapter behind the
// adapter's real code. Failures are values; UsbErrorSentence turns one into a sentence with its fix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

enum class UsbStatus {
    Ok,
    NotFound,      // no such device (unplugged, or never there)
    AccessDenied,  // the device node is not this user's
    Busy,          // another program or a kernel driver holds the interface
    Timeout,
    Stalled,       // the endpoint halted
    Overflow,      // the device sent more than was asked for
    Io,            // any other transfer failure
    NotSupported,  // the system cannot do this (no kernel-driver detach, no USB support)
};

// One device on the machine's buses, as Find lists it.
struct UsbDeviceInfo {
    int bus = 0;
    int address = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

class UsbSystem {
public:
    using Handle = int;  // >= 0 for an open device

    virtual ~UsbSystem() = default;
    // The devices with this vendor and product id, ordered by bus and address
    // so that the Nth is the same one between two runs on an unchanged bench.
    virtual std::vector<UsbDeviceInfo> Find(std::uint16_t vendor, std::uint16_t product) = 0;
    virtual UsbStatus Open(const UsbDeviceInfo& device, Handle& handle) = 0;
    // Whether a kernel driver holds `interface`, and taking it from it.
    virtual bool KernelDriverActive(Handle handle, int interface) = 0;
    virtual UsbStatus DetachKernelDriver(Handle handle, int interface) = 0;
    virtual UsbStatus AttachKernelDriver(Handle handle, int interface) = 0;
    virtual UsbStatus ClaimInterface(Handle handle, int interface) = 0;
    virtual UsbStatus ReleaseInterface(Handle handle, int interface) = 0;
    // All of `data` to the OUT endpoint, in the endpoint's packets.
    virtual UsbStatus BulkOut(Handle handle, std::uint8_t endpoint, std::span<const std::uint8_t> data,
                              int timeoutMs) = 0;
    // Up to buffer.size() bytes from the IN endpoint; `received` says how many
    // came (a short packet ends the transfer early).
    virtual UsbStatus BulkIn(Handle handle, std::uint8_t endpoint, std::span<std::uint8_t> buffer,
                             std::size_t& received, int timeoutMs) = 0;
    virtual void Close(Handle handle) = 0;
};

// The machine's USB buses through libusb-1.0, with a context of its own. Null
// when libusb cannot start (no USB support); `error` then says so.
std::unique_ptr<UsbSystem> MakeHostUsb(std::string& error);

// The libusb this process runs with: "1.0.26" (its micro version and an rc
// suffix when it has one).
std::string LibusbVersion();

// "1a86:5512"
std::string UsbId(std::uint16_t vendor, std::uint16_t product);

// One sentence for a failed `action` ("open", "claim") on `device` (a name
// with its bus and address), with the fix: for AccessDenied, the udev rule
// file `udevRule` that gives the seated user the device, and how to install it.
std::string UsbErrorSentence(UsbStatus status, const std::string& action, const std::string& device,
                             const std::string& udevRule);

}  // namespace platform
