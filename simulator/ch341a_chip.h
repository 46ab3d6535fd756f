// The CH341A as its USB endpoints see it, wired to a bench: the data of bulk
// OUTs in, the answers for the bulk IN endpoint out. Its I2C stream drives
// the bench's bus (the 24C16, a part in the I2C socket, the register
// devices) at the clock SET chose, its SPI and pin streams the bench's
// serial socket (D0 select, D3 clock, D5 data in, D7 data out; ORG strapped).
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
// Two hosts use it: FakeCh341a (platform::UsbSystem in the program's own
// process) and the USB/IP device of merlix-usb-device (the kernel's usbfs).
#pragma once

#include <cstdint>
#include <deque>
#include <span>

#include "simulator/simulated_bench.h"

namespace simulator {

class Ch341aChip {
public:
    // USB ids, endpoints and packet size: flashrom's ch341a_spi.c
    // (devs_ch341a_spi 0x1A86:0x5512, BULK_WRITE_ENDPOINT 0x02,
    // BULK_READ_ENDPOINT 0x82, CH341_PACKET_LENGTH 0x20).
    static constexpr std::uint16_t kVendor = 0x1a86;
    static constexpr std::uint16_t kProduct = 0x5512;
    static constexpr std::uint8_t kEndpointOut = 0x02;
    static constexpr std::uint8_t kEndpointIn = 0x82;
    static constexpr std::size_t kPacketBytes = 32;
    // Bench time of a round trip and of a pin step.
    static constexpr std::int64_t kRoundTripUs = 1000;
    static constexpr std::int64_t kPinStepNs = 1000;
    static constexpr int kSpiClockHz = 1'500'000;
    // The most one bulk OUT may carry: WCH's own Linux driver refuses a
    // longer stream write with EINVAL (MAX_BUFFER_LENGTH 0x1000 in
    // ch34x_pis.c of the CH341/CH347 driver, ch34x_data_write), and its DLL
    // header has the same mMAX_BUFFER_LENGTH. What the chip does past it is
    // not documented, so the models refuse it rather than run it.
    static constexpr std::size_t kMaxBulkOutBytes = 4096;

    // `bench` must outlive the chip.
    explicit Ch341aChip(SimulatedBench& bench) : bench_(&bench) {}

    // A bulk OUT's data, packet by packet.
    void Out(std::span<const std::uint8_t> data);
    bool HasAnswers() const { return !answers_.empty(); }
    // Answers for a bulk IN of up to buffer.size() bytes; how many were given.
    std::size_t In(std::span<std::uint8_t> buffer);
    // Answers nobody read are lost (the device closed or reset).
    void DropAnswers() { answers_.clear(); }

    void StrapOrg(bool high) { orgHigh_ = high; }
    std::uint64_t RoundTrips() const { return roundTrips_; }
    std::uint64_t Packets() const { return packets_; }
    std::uint8_t Pins() const { return pins_; }
    int I2cSpeedHz() const;

private:
    void Trip();
    void Packet(std::span<const std::uint8_t> packet);
    void I2c(std::span<const std::uint8_t> commands);
    void Spi(std::span<const std::uint8_t> data);
    void PinStream(std::span<const std::uint8_t> commands);
    void SetPins(std::uint8_t pins);
    bool MisoHigh();
    void SpendNs(std::int64_t ns);
    void SpendBits(int bits);

    SimulatedBench* bench_;
    bool orgHigh_ = false;
    int speed_ = 1;
    bool addressNext_ = false;  // after START: the next byte out is an address
    std::uint8_t pins_ = 0;
    std::uint8_t directions_ = 0;
    std::deque<std::uint8_t> answers_;
    bool tripOwed_ = false;  // answers sent back: the host's wait is still to come
    std::int64_t owedNs_ = 0;
    std::uint64_t roundTrips_ = 0;
    std::uint64_t packets_ = 0;
};

}  // namespace simulator
