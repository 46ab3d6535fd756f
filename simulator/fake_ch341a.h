// CH341A programmers on the bench behind platform::UsbSystem, so that
// Ch341aAdapter runs its real code here. Each programmer is wired to a bench
// of its own: its I2C stream drives the bench's bus (the 24C16 and the
// register devices) at the clock SET chose, its SPI and pin streams the
// bench's serial socket (D0 select, D3 clock, D5 data in, D7 data out; ORG
// strapped).
//
// It keeps the chip's rules as the adapter relies on them: commands come in
// 32-byte packets, one stream each, read slice by slice from a bulk OUT; an
// OUT of one byte answers its acknowledge (0x80: refused), an IN of n bytes
// acknowledges each, an IN of none reads one byte and refuses it; nothing
// stops the bus after a refused byte but a STOP the program sends. The
// answers queue for the IN endpoint until read, at most 32 from a packet.
//
// Bench time: about a millisecond per round trip (the host's wait for the
// answers of its bulk OUTs, or for an OUT that answers nothing), the I2C
// bits at the clock set (a START, nine bit times per byte, a STOP), the SPI
// bits at 1.5 MHz and a microsecond per pin step.
//
// Switches: a programmer the user may not open (the udev rule missing), one
// that a kernel driver holds (detached on request, given back on attach), a
// socket chip that does not store, the ORG strap.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "platform/usb_system.h"
#include "simulator/bench_adapter.h"
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
    // Bench time of a round trip and of a pin step.
    static constexpr std::int64_t kRoundTripUs = 1000;
    static constexpr std::int64_t kPinStepNs = 1000;
    static constexpr int kSpiClockHz = 1'500'000;
    // The most one bulk OUT may carry: WCH's own Linux driver refuses a
    // longer stream write with EINVAL (MAX_BUFFER_LENGTH 0x1000 in
    // ch34x_pis.c of the CH341/CH347 driver, ch34x_data_write), and its DLL
    // header has the same mMAX_BUFFER_LENGTH. What the chip does past it is
    // not documented, so the fake refuses it rather than run it.
    static constexpr std::size_t kMaxBulkOutBytes = 4096;

    // One programmer on `bench`, which must outlive the fake.
    FakeCh341a(SimulatedBench& bench, Config config);
    explicit FakeCh341a(SimulatedBench& bench) : FakeCh341a(bench, Config{}) {}
    // Another programmer, on a bench of its own (at the next free address
    // when `config`'s is taken); its index for the accessors. Add them all
    // before threads use the fake: each programmer is then touched only by
    // the thread that opened it.
    int Add(SimulatedBench& bench, Config config);

    void StrapOrg(bool high, int index = 0) {
        programmers_.at(static_cast<std::size_t>(index)).config.orgHigh = high;
    }
    bool KernelDriverBound(int index = 0) const { return At(index).driverBound; }
    bool Claimed(int index = 0) const { return At(index).claimed; }
    bool IsOpen(int index = 0) const { return At(index).open; }
    // Round trips and packets the programmer took.
    std::uint64_t RoundTrips(int index = 0) const { return At(index).roundTrips; }
    std::uint64_t Packets(int index = 0) const { return At(index).packets; }
    // The pins D0..D7 as the programmer drives and samples them now.
    std::uint8_t Pins(int index = 0) const { return At(index).pins; }
    // The I2C clock SET chose.
    int I2cSpeedHz(int index = 0) const;

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
    struct Programmer {
        SimulatedBench* bench = nullptr;
        Config config;
        bool open = false;
        bool claimed = false;
        bool driverBound = false;
        int speed = 1;
        bool addressNext = false;  // after START: the next byte out is an address
        std::uint8_t pins = 0;
        std::uint8_t directions = 0;
        std::deque<std::uint8_t> answers;
        bool tripOwed = false;  // answers sent back: the host's wait is still to come
        std::int64_t owedNs = 0;
        std::uint64_t roundTrips = 0;
        std::uint64_t packets = 0;
    };
    const Programmer& At(int index) const { return programmers_.at(static_cast<std::size_t>(index)); }
    Programmer* ByHandle(Handle handle);
    void Trip(Programmer& p);
    void Packet(Programmer& p, std::span<const std::uint8_t> packet);
    void I2c(Programmer& p, std::span<const std::uint8_t> commands);
    void Spi(Programmer& p, std::span<const std::uint8_t> data);
    void PinStream(Programmer& p, std::span<const std::uint8_t> commands);
    void SetPins(Programmer& p, std::uint8_t pins);
    bool MisoHigh(Programmer& p);
    void SpendNs(Programmer& p, std::int64_t ns);
    void SpendBits(Programmer& p, int bits);

    std::vector<Programmer> programmers_;
};

// The CH341A's real code on this fake (--bench-adapter ch341a[:COUNT][,CLOCK]).
extern const BenchAdapterDescriptor kCh341aOnTheBench;

}  // namespace simulator
