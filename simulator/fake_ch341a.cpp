// The bench's CH341A adapters; see fake_ch341a.h.
#include "simulator/fake_ch341a.h"

#include <algorithm>

namespace simulator {

FakeCh341a::FakeCh341a(SimulatedBench& bench, Config config) { (void)Add(bench, config); }

int FakeCh341a::Add(SimulatedBench& bench, Config config) {
    // An adapter plugged in where another is gets the next free address.
    const auto taken = [&](int bus, int address) {
        return std::any_of(boards_.begin(), boards_.end(), [&](const Board& other) {
            return other.config.bus == bus && other.config.address == address;
        });
    };
    while (taken(config.bus, config.address)) ++config.address;
    Board p{config, Ch341aChip(bench)};
    p.bench = &bench;
    p.chip.StrapOrg(config.orgHigh);
    p.driverBound = config.kernelDriverBound;
    if (config.chipNoStore) bench.SetChipNoStore(true);
    boards_.push_back(std::move(p));
    return static_cast<int>(boards_.size()) - 1;
}

// An unplugged board's handle answers nothing but Close: libusb gives
// LIBUSB_ERROR_NO_DEVICE, "no such device (it may have been disconnected)",
// for every call on it (libusb.h, enum libusb_error).
FakeCh341a::Board* FakeCh341a::ByHandle(Handle handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > boards_.size()) return nullptr;
    Board& p = boards_[static_cast<std::size_t>(handle) - 1];
    return p.open && !p.Unplugged() ? &p : nullptr;
}

std::vector<platform::UsbDeviceInfo> FakeCh341a::Find(std::uint16_t vendor, std::uint16_t product) {
    std::vector<platform::UsbDeviceInfo> found;
    if (vendor != Ch341aChip::kVendor || product != Ch341aChip::kProduct) return found;
    for (const Board& p : boards_) {
        if (!p.Unplugged()) found.push_back({p.config.bus, p.config.address, vendor, product});
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.bus != b.bus ? a.bus < b.bus : a.address < b.address;
    });
    return found;
}

platform::UsbStatus FakeCh341a::Open(const platform::UsbDeviceInfo& device, Handle& handle) {
    for (std::size_t k = 0; k < boards_.size(); ++k) {
        Board& p = boards_[k];
        if (p.config.bus != device.bus || p.config.address != device.address || p.Unplugged()) continue;
        if (p.config.accessDenied) return platform::UsbStatus::AccessDenied;
        if (p.open) return platform::UsbStatus::Busy;
        p.open = true;
        handle = static_cast<Handle>(k + 1);
        return platform::UsbStatus::Ok;
    }
    return platform::UsbStatus::NotFound;
}

bool FakeCh341a::KernelDriverActive(Handle handle, int interface) {
    const Board* p = ByHandle(handle);
    return p && interface == 0 && p->driverBound;
}

platform::UsbStatus FakeCh341a::DetachKernelDriver(Handle handle, int interface) {
    Board* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (!p->driverBound) return platform::UsbStatus::NotFound;
    p->driverBound = false;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::AttachKernelDriver(Handle handle, int interface) {
    Board* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (p->claimed || p->driverBound) return platform::UsbStatus::Busy;
    p->driverBound = true;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::ClaimInterface(Handle handle, int interface) {
    Board* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (p->driverBound) return platform::UsbStatus::Busy;
    p->claimed = true;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::ReleaseInterface(Handle handle, int interface) {
    Board* p = ByHandle(handle);
    if (!p || interface != 0 || !p->claimed) return platform::UsbStatus::NotFound;
    p->claimed = false;
    return platform::UsbStatus::Ok;
}

void FakeCh341a::Close(Handle handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > boards_.size()) return;
    Board* p = &boards_[static_cast<std::size_t>(handle) - 1];
    if (!p->open) return;
    p->open = false;
    p->claimed = false;
    p->chip.DropAnswers();
}

platform::UsbStatus FakeCh341a::BulkOut(Handle handle, std::uint8_t endpoint,
                                        std::span<const std::uint8_t> data, int /*timeoutMs*/) {
    if (Board* open = ByHandle(handle)) ++open->bulk;
    Board* p = ByHandle(handle);
    if (!p) return platform::UsbStatus::NotFound;
    if (!p->claimed || endpoint != Ch341aChip::kEndpointOut || data.size() > kMaxBulkOutBytes)
        return platform::UsbStatus::Io;
    p->chip.Out(data);
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::BulkIn(Handle handle, std::uint8_t endpoint, std::span<std::uint8_t> buffer,
                                       std::size_t& received, int timeoutMs) {
    received = 0;
    if (Board* open = ByHandle(handle)) ++open->bulk;
    Board* p = ByHandle(handle);
    if (!p) return platform::UsbStatus::NotFound;
    if (!p->claimed || endpoint != Ch341aChip::kEndpointIn) return platform::UsbStatus::Io;
    // Nothing to send, or a board that stopped answering: the host
    // waits out its timeout, and libusb_bulk_transfer returns
    // LIBUSB_ERROR_TIMEOUT, "the transfer timed out" (libusb's API
    // documentation, synchronous device I/O).
    if (!p->chip.HasAnswers() || p->Muted()) {
        p->bench->Spend(static_cast<std::int64_t>(timeoutMs) * 1000);
        return platform::UsbStatus::Timeout;
    }
    received = p->chip.In(buffer);
    return platform::UsbStatus::Ok;
}

}  // namespace simulator
