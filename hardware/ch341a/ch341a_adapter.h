// The CH341A USB adapter (1a86:5512) as the engine's I2C master, SPI master
// and serial lines, over its bulk endpoints through platform::UsbSystem.
//
// The chip takes commands in packets of 32 bytes, each one stream:
// - I2C (0xAA): START, STOP, OUT, IN, SET (the clock: about 20, 100, 400 or
//   750 kHz), US (a delay) and END. An OUT of a single byte answers its
//   acknowledge (bit 7 set: refused); an IN of n bytes acknowledges each, an
//   IN of none reads one byte and refuses it, as a read's last byte.
//   The chip goes on after a refused byte, so the program ends the transfer
//   with STOP itself.
// - SPI (0xA8): up to 31 bytes clocked in mode 0 on D3 (SCK), D5 (MOSI) and
//   D7 (MISO), least significant bit first, so every byte is reversed on the
//   way out and in. Chip select is D0, set through the pin stream: active low
//   for a 25xx, high for a 93Cxx (Microwire).
// - Pins (0xAB): OUT sets D0..D5, DIR their directions, IN samples D0..D7,
//   US waits. The serial lines are D0 = select, D3 = clock, D5 = data into
//   the chip, D7 = data out of it; ORG has no pin on these boards and is
//   strapped by the user, as with spidev.
//
// A round trip is one bulk OUT of up to kPacketsPerRoundTrip packets and one
// bulk IN with all of their answers, about a millisecond on a full-speed bus.
// Every transfer is packed into as few packets, and those into as few round
// trips, as they fit: a whole I2C transfer, a whole SPI transfer with its
// select, a whole batch of serial-line steps. Only the answers the program
// must see before it goes on end a round trip: a write message that follows
// another write goes out once the first one's acknowledges are in, so that
// nothing is written after a refused byte (a read after one is harmless and
// rides along, as a register read's does), and a chip's ready state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"
#include "platform/counter.h"
#include "platform/io_error.h"
#include "platform/usb_system.h"

namespace hardware {

class Ch341aAdapter final : public I2cMaster,
                            public SpiMaster,
                            public SerialLines,
                            public platform::FirstIoError {
public:
    static constexpr std::uint16_t kVendor = 0x1a86;
    static constexpr std::uint16_t kProduct = 0x5512;
    static constexpr int kInterface = 0;
    static constexpr std::uint8_t kEndpointOut = 0x02;
    static constexpr std::uint8_t kEndpointIn = 0x82;
    static constexpr int kPacketBytes = 32;
    static constexpr int kPacketsPerRoundTrip = 32;
    static constexpr int kTimeoutMs = 1000;
    // The SPI stream's clock as the model of the bench takes it.
    static constexpr int kSpiClockHz = 1'500'000;
    // The longest SPI transfer one Transfer takes.
    static constexpr std::size_t kMaxSpiBytes = 4096;
    // The udev rule the package installs (packaging/udev/).
    static constexpr const char* kUdevRule = "60-merlix-ch341a.rules";
    static constexpr const char* kFiveVoltWarning =
        "Many CH341A boards put about 5 V on the data lines even when switched to 3.3 V: check yours "
        "with a meter before you clip it onto a 3.3 V chip.";

    // The stream commands and their sub-commands.
    static constexpr std::uint8_t kSpiStream = 0xA8;
    static constexpr std::uint8_t kI2cStream = 0xAA;
    static constexpr std::uint8_t kPinStream = 0xAB;
    static constexpr std::uint8_t kI2cStart = 0x74;
    static constexpr std::uint8_t kI2cStop = 0x75;
    static constexpr std::uint8_t kI2cOut = 0x80;  // | byte count; 0: one byte with its acknowledge
    static constexpr std::uint8_t kI2cIn = 0xC0;   // | byte count; 0: one byte, refused
    static constexpr std::uint8_t kI2cSet = 0x60;  // | speed 0..3
    static constexpr std::uint8_t kI2cUs = 0x40;   // | microseconds
    static constexpr std::uint8_t kI2cEnd = 0x00;
    static constexpr std::uint8_t kPinIn = 0x00;
    static constexpr std::uint8_t kPinEnd = 0x20;
    static constexpr std::uint8_t kPinDir = 0x40;     // | output mask of D0..D5
    static constexpr std::uint8_t kPinOut = 0x80;     // | levels of D0..D5
    static constexpr std::uint8_t kPinUs = 0xC0;      // | microseconds
    static constexpr std::uint8_t kPinSelect = 0x01;  // D0
    static constexpr std::uint8_t kPinClock = 0x08;   // D3
    static constexpr std::uint8_t kPinMosi = 0x20;    // D5
    static constexpr std::uint8_t kPinMiso = 0x80;    // D7
    static constexpr std::uint8_t kNoAck = 0x80;      // in an OUT's answer
    // The I2C clocks of SET 0..3.
    static constexpr int kI2cSpeedsHz[4] = {20'000, 100'000, 400'000, 750'000};

    // Both must outlive the adapter.
    Ch341aAdapter(platform::UsbSystem& usb, platform::Counter& counter);
    ~Ch341aAdapter() override;
    Ch341aAdapter(const Ch341aAdapter&) = delete;
    Ch341aAdapter& operator=(const Ch341aAdapter&) = delete;

    // Every CH341A on the machine, by bus and address; Open(index) takes the
    // index into this list.
    static std::vector<platform::UsbDeviceInfo> List(platform::UsbSystem& usb);
    // Opens the Nth adapter (from 0): takes it from a kernel driver that
    // holds it (given back on Close), claims its interface and sets the I2C
    // clock to 100 kHz and the pins to their rest. On failure nothing stays
    // open and `error` is one sentence with the fix.
    bool Open(int index, std::string& error);
    bool Open(const platform::UsbDeviceInfo& device, std::string& error);
    // Releases the interface, gives a detached kernel driver back, closes.
    // Safe to call again.
    void Close();
    bool IsOpen() const { return handle_ >= 0; }
    const platform::UsbDeviceInfo& Device() const { return device_; }
    // One line: the adapter, its bus and address, the I2C clock, the SPI
    // and pin streams.
    std::string Describe() const;
    // kFiveVoltWarning the first time after Open, "" afterwards.
    std::string TakeVoltageWarning();

    // The I2C clock: one of kI2cSpeedsHz (others are rounded down to one,
    // 20 kHz at least). False when the adapter did not take it.
    bool SetI2cSpeedHz(int hz);
    int I2cSpeedHz() const { return kI2cSpeedsHz[speed_]; }
    // Round trips made since Open.
    std::uint64_t RoundTrips() const { return roundTrips_; }

    std::int64_t NowUs() override;
    void SleepMs(int ms) override;

    I2cResult Transfer(std::span<const I2cMessage> messages) override;
    // The adapter is the only master it knows of.
    bool WaitForFreeBus() override { return true; }
    void Prepare() override {}
    // Ends whatever a failed transfer left: STOP on the bus.
    void Recover() override;
    I2cCapabilities Capabilities() const override;
    // "the CH341A (USB bus 1 address 4)"
    std::string AdapterName() const override;

    bool Transfer(std::span<const std::uint8_t> out, std::vector<std::uint8_t>& in) override;
    std::size_t MaxTransferBytes() const override { return kMaxSpiBytes; }
    bool SetSelectActiveHigh(bool high, std::string& error) override;
    bool SelectActiveHigh() const { return selectHigh_; }

    std::vector<std::uint8_t> Run(std::span<const LineStep> steps) override;

    // One command packet and the bytes it answers.
    struct Packet {
        std::vector<std::uint8_t> bytes;
        std::size_t answer = 0;
        bool startsRoundTrip = false;  // the answers before it are read first
    };

private:
    // Sends `packets` in round trips; `answer` receives every packet's answer
    // in order. After each round trip `stop` (when given) sees the answers so
    // far and may end the exchange early (true). False, with the first
    // failure noted and `usbFailure_` set, when USB failed.
    bool Exchange(const std::vector<Packet>& packets, std::vector<std::uint8_t>& answer,
                  const std::function<bool(const std::vector<std::uint8_t>&)>& stop = {});
    std::string Name() const;

    platform::UsbSystem& usb_;
    platform::Counter& counter_;
    platform::UsbDeviceInfo device_{};
    platform::UsbSystem::Handle handle_ = -1;
    bool driverDetached_ = false;
    bool warned_ = false;
    int speed_ = 1;  // 100 kHz
    bool selectHigh_ = false;
    std::uint8_t pins_ = 0;  // D0..D5 as last driven
    std::uint64_t roundTrips_ = 0;
    platform::UsbStatus usbFailure_ = platform::UsbStatus::Ok;  // the last failed exchange's
};

}  // namespace hardware
