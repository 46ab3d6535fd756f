// CH341A adapters on the bench behind platform::UsbSystem, so that
// Ch341aAdapter runs its real code here. Each adapter is a Ch341aChip
// (its command streams, its answers and their bench time) wired to a bench
// of its own; this side keeps what the host's USB stack adds: the device
// list, opening, the kernel driver and the claim, the endpoints and the
// longest bulk OUT.
//
// Switches: an adapter the user may not open (the udev rule missing), one
// that a kernel driver holds (detached on request, given back on attach), a
// socket chip that does not store, the ORG strap; and, after a given number
// of bulk transfers, a board that stops answering or is unplugged, with
// the errors libusb gives for each (see BulkIn).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/usb_system.h"
#include "simulator/bench_adapter.h"
#include "simulator/ch341a_chip.h"
#include "simulator/simulated_bench.h"

namespace simulator {

class FakeCh341a final : public platform::UsbSystem {
public:
    struct Config {
        int bus = 1;
        int address = 4;
        bool accessDenied = false;
        bool kernelDriverBound = false;
        bool chipNoStore = false;
        bool orgHigh = false;
    };
    static constexpr std::int64_t kRoundTripUs = Ch341aChip::kRoundTripUs;
    static constexpr std::size_t kMaxBulkOutBytes = Ch341aChip::kMaxBulkOutBytes;

    // One adapter on `bench`, which must outlive the fake.
    FakeCh341a(SimulatedBench& bench, Config config);
    explicit FakeCh341a(SimulatedBench& bench) : FakeCh341a(bench, Config{}) {}
    // Another adapter, on a bench of its own (at the next free address
    // when `config`'s is taken); its index for the accessors. Add them all
    // before threads use the fake: each adapter is then touched only by
    // the thread that opened it.
    int Add(SimulatedBench& bench, Config config);

    void StrapOrg(bool high, int index = 0) {
        boards_.at(static_cast<std::size_t>(index)).chip.StrapOrg(high);
    }
    bool KernelDriverBound(int index = 0) const { return At(index).driverBound; }
    bool Claimed(int index = 0) const { return At(index).claimed; }
    bool IsOpen(int index = 0) const { return At(index).open; }
    // Round trips and packets the adapter took.
    std::uint64_t RoundTrips(int index = 0) const { return At(index).chip.RoundTrips(); }
    std::uint64_t Packets(int index = 0) const { return At(index).chip.Packets(); }
    // The pins D0..D7 as the adapter drives and samples them now.
    std::uint8_t Pins(int index = 0) const { return At(index).chip.Pins(); }
    // The I2C clock SET chose.
    int I2cSpeedHz(int index = 0) const { return At(index).chip.I2cSpeedHz(); }
    // Bulk transfers the host tried, each way, answered or not.
    std::uint64_t BulkTransfers(int index = 0) const { return At(index).bulk; }
    // After `more` further bulk transfers the board's bulk INs go
    // unanswered (its OUTs are still taken), or it is unplugged.
    void MuteAfter(std::uint64_t more, int index = 0) {
        Mutable(index).muteAfter = Mutable(index).bulk + more;
    }
    void UnplugAfter(std::uint64_t more, int index = 0) {
        Mutable(index).unplugAfter = Mutable(index).bulk + more;
    }

    std::vector<platform::UsbDeviceInfo> Find(std::uint16_t vendor, std::uint16_t product) override;
    platform::UsbStatus Open(const platform::UsbDeviceInfo& device, Handle& handle) override;
    bool KernelDriverActive(Handle handle, int interface) override;
    platform::UsbStatus DetachKernelDriver(Handle handle, int interface) override;
    platform::UsbStatus AttachKernelDriver(Handle handle, int interface) override;
    platform::UsbStatus ClaimInterface(Handle handle, int interface) override;
    platform::UsbStatus ReleaseInterface(Handle handle, int interface) override;
    platform::UsbStatus BulkOut(Handle handle, std::uint8_t endpoint, std::span<const std::uint8_t> data,
                                int timeoutMs) override;
    platform::UsbStatus BulkIn(Handle handle, std::uint8_t endpoint, std::span<std::uint8_t> buffer,
                               std::size_t& received, int timeoutMs) override;
    void Close(Handle handle) override;

private:
    struct Board {
        Config config;
        Ch341aChip chip;
        bool open = false;
        bool claimed = false;
        bool driverBound = false;
        SimulatedBench* bench = nullptr;
        std::uint64_t bulk = 0;
        std::uint64_t muteAfter = 0;  // 0: never
        std::uint64_t unplugAfter = 0;
        bool Muted() const { return muteAfter > 0 && bulk > muteAfter; }
        bool Unplugged() const { return unplugAfter > 0 && bulk > unplugAfter; }
    };
    const Board& At(int index) const { return boards_.at(static_cast<std::size_t>(index)); }
    Board& Mutable(int index) { return boards_.at(static_cast<std::size_t>(index)); }
    Board* ByHandle(Handle handle);

    std::vector<Board> boards_;
};

// The CH341A's real code on this fake (--bench-adapter ch341a[:COUNT][,CLOCK]).
extern const BenchAdapterDescriptor kCh341aOnTheBench;

}  // namespace simulator
