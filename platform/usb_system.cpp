// The host's USB buses over libusb-1.0; see usb_system.h.
#include "platform/usb_system.h"

#include <libusb.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform {
namespace {

// libusb's error codes (libusb.h, enum libusb_error, and the synchronous
// I/O page of its API documentation for libusb_bulk_transfer): TIMEOUT, the
// transfer timed out; PIPE, the endpoint halted; OVERFLOW, the device sent
// more than was asked for; NO_DEVICE, the device has been disconnected; IO
// and the rest, other failures.
UsbStatus FromLibusb(int code) {
    switch (code) {
        case LIBUSB_SUCCESS:
            return UsbStatus::Ok;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return UsbStatus::NotFound;
        case LIBUSB_ERROR_ACCESS:
            return UsbStatus::AccessDenied;
        case LIBUSB_ERROR_BUSY:
            return UsbStatus::Busy;
        case LIBUSB_ERROR_TIMEOUT:
            return UsbStatus::Timeout;
        case LIBUSB_ERROR_PIPE:
            return UsbStatus::Stalled;
        case LIBUSB_ERROR_OVERFLOW:
            return UsbStatus::Overflow;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return UsbStatus::NotSupported;
        default:
            return UsbStatus::Io;
    }
}

class HostUsb final : public UsbSystem {
public:
    explicit HostUsb(libusb_context* context) : context_(context) {}
    ~HostUsb() override {
        for (auto& [handle, device] : open_) libusb_close(device);
        libusb_exit(context_);
    }
    HostUsb(const HostUsb&) = delete;
    HostUsb& operator=(const HostUsb&) = delete;

    std::vector<UsbDeviceInfo> Find(std::uint16_t vendor, std::uint16_t product) override {
        std::vector<UsbDeviceInfo> found;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
            if (descriptor.idVendor != vendor || descriptor.idProduct != product) continue;
            found.push_back(
                {libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]), vendor, product});
        }
        if (list) libusb_free_device_list(list, 1);
        std::sort(found.begin(), found.end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
            return a.bus != b.bus ? a.bus < b.bus : a.address < b.address;
        });
        return found;
    }

    UsbStatus Open(const UsbDeviceInfo& wanted, Handle& handle) override {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        int code = LIBUSB_ERROR_NOT_FOUND;
        libusb_device_handle* device = nullptr;
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_bus_number(list[i]) == wanted.bus &&
                libusb_get_device_address(list[i]) == wanted.address) {
                code = libusb_open(list[i], &device);
                break;
            }
        }
        if (list) libusb_free_device_list(list, 1);
        if (code != LIBUSB_SUCCESS) return FromLibusb(code);
        const std::lock_guard lock(mutex_);
        handle = nextHandle_++;
        open_[handle] = device;
        return UsbStatus::Ok;
    }

    bool KernelDriverActive(Handle handle, int interface) override {
        libusb_device_handle* device = Device(handle);
        return device && libusb_kernel_driver_active(device, interface) == 1;
    }
    UsbStatus DetachKernelDriver(Handle handle, int interface) override {
        return Call(handle, [interface](libusb_device_handle* d) {
            return libusb_detach_kernel_driver(d, interface);
        });
    }
    UsbStatus AttachKernelDriver(Handle handle, int interface) override {
        return Call(handle, [interface](libusb_device_handle* d) {
            return libusb_attach_kernel_driver(d, interface);
        });
    }
    UsbStatus ClaimInterface(Handle handle, int interface) override {
        return Call(handle,
                    [interface](libusb_device_handle* d) { return libusb_claim_interface(d, interface); });
    }
    UsbStatus ReleaseInterface(Handle handle, int interface) override {
        return Call(handle,
                    [interface](libusb_device_handle* d) { return libusb_release_interface(d, interface); });
    }

    UsbStatus BulkOut(Handle handle, std::uint8_t endpoint, std::span<const std::uint8_t> data,
                      int timeoutMs) override {
        libusb_device_handle* device = Device(handle);
        if (!device) return UsbStatus::NotFound;
        if (data.size() > INT_MAX) return UsbStatus::Overflow;
        int sent = 0;
        // libusb takes a non-const buffer for both directions; it only reads an OUT buffer.
        const int code = libusb_bulk_transfer(device, endpoint, const_cast<unsigned char*>(data.data()),
                                              static_cast<int>(data.size()), &sent, timeoutMs);
        if (code != LIBUSB_SUCCESS) return FromLibusb(code);
        return static_cast<std::size_t>(sent) == data.size() ? UsbStatus::Ok : UsbStatus::Io;
    }

    UsbStatus BulkIn(Handle handle, std::uint8_t endpoint, std::span<std::uint8_t> buffer,
                     std::size_t& received, int timeoutMs) override {
        received = 0;
        libusb_device_handle* device = Device(handle);
        if (!device) return UsbStatus::NotFound;
        if (buffer.size() > INT_MAX) return UsbStatus::Overflow;
        int got = 0;
        const int code = libusb_bulk_transfer(device, endpoint, buffer.data(),
                                              static_cast<int>(buffer.size()), &got, timeoutMs);
        received = static_cast<std::size_t>(std::max(got, 0));
        return FromLibusb(code);
    }

    void Close(Handle handle) override {
        libusb_device_handle* device = nullptr;
        {
            const std::lock_guard lock(mutex_);
            auto it = open_.find(handle);
            if (it == open_.end()) return;
            device = it->second;
            open_.erase(it);
        }
        libusb_close(device);
    }

private:
    libusb_device_handle* Device(Handle handle) const {
        const std::lock_guard lock(mutex_);
        auto it = open_.find(handle);
        return it == open_.end() ? nullptr : it->second;
    }
    template <typename F>
    UsbStatus Call(Handle handle, F call) {
        libusb_device_handle* device = Device(handle);
        return device ? FromLibusb(call(device)) : UsbStatus::NotFound;
    }

    libusb_context* context_;
    // libusb is thread-safe; the table of open devices is guarded, so that
    // adapters opened and closed in threads of their own never meet.
    mutable std::mutex mutex_;
    std::map<Handle, libusb_device_handle*> open_;
    Handle nextHandle_ = 1;
};

}  // namespace

std::unique_ptr<UsbSystem> MakeHostUsb(std::string& error) {
    libusb_context* context = nullptr;
    const int code = libusb_init(&context);
    if (code != LIBUSB_SUCCESS) {
        error =
            std::string("USB is not available on this machine (libusb: ") + libusb_error_name(code) + ").";
        return nullptr;
    }
    return std::make_unique<HostUsb>(context);
}

std::string UsbId(std::uint16_t vendor, std::uint16_t product) {
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", vendor, product);
    return text;
}

std::string UsbErrorSentence(UsbStatus status, const std::string& action, const std::string& device,
                             const std::string& udevRule) {
    switch (status) {
        case UsbStatus::Ok:
            return {};
        case UsbStatus::NotFound:
            return "Cannot " + action + " " + device +
                   ": it is not connected (plug it in, or check the cable).";
        case UsbStatus::AccessDenied:
            return "No permission to " + action + " " + device + ": install the udev rule " + udevRule +
                   " (the package puts it in /usr/lib/udev/rules.d; from a source tree copy packaging/udev/" +
                   udevRule +
                   " to /etc/udev/rules.d/), run udevadm control --reload-rules as root, then "
                   "unplug the programmer and plug it in again.";
        case UsbStatus::Busy:
            return "Cannot " + action + " " + device +
                   ": another program is using it; close it and try again.";
        case UsbStatus::Timeout:
            return "Cannot " + action + " " + device +
                   ": it stopped answering (unplug it and plug it in again).";
        case UsbStatus::Stalled:
        case UsbStatus::Overflow:
        case UsbStatus::Io:
            return "Cannot " + action + " " + device +
                   ": the USB transfer failed (unplug it and plug it in again).";
        case UsbStatus::NotSupported:
            return "Cannot " + action + " " + device + ": this system does not allow it.";
    }
    return {};
}

std::string LibusbVersion() {
    const libusb_version* version = libusb_get_version();
    if (version == nullptr) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u%s", version->major, version->minor, version->micro,
                  version->rc ? version->rc : "");
    return text;
}

}  // namespace platform
