// PortAdapter: one parallel-port adapter as the program sees it. It holds the
// port base, the counter frequency and the program's copy of the output latch,
// and turns every operation into its exact sequence of port accesses: the
// register map and latch, the port configuration, the millisecond delay, the
// PCF8584 driver and the bit-banged Microwire and SPI frames.
//
// It reaches the ports only through the PortIo and time only through the
// Counter it is given when it is made, so the same code drives real hardware,
// ppdev and the simulated bench, and two adapters in one process never meet.
//
// It is also the parallel adapter behind the bus interfaces (I2cMaster,
// SerialLines, BusSniffer): the engine's fast transfers, register commands
// and monitor speak to it through them, and only the classic sequences (one
// byte per transaction, fixed waits) call its operations by name.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "hardware/bus_sniffer.h"
#include "hardware/capture.h"
#include "hardware/i2c_master.h"
#include "hardware/serial_lines.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "platform/port_registers.h"

namespace hardware {

// Register offsets from the port base.
using platform::kConfigData;
using platform::kConfigIndex;
using platform::kControlPort;
using platform::kDataPort;
using platform::kEcr;
using platform::kEppAddress;
using platform::kEppData;
using platform::kStatusPort;

inline constexpr int kLpt1 = 0x378;
inline constexpr int kLpt2 = 0x278;

// Output latch lines.
inline constexpr int kLineDevA = 0;  // run = 1
inline constexpr int kLineDevB = 1;  // run = 0
inline constexpr int kLineOutput1 = 2;
inline constexpr int kLineOutput2 = 3;
inline constexpr int kLineOrg = 4;     // 93Cxx ORG; DAC frame line
inline constexpr int kLineSelect = 5;  // 93Cxx CS (high), AT25 /CS, DAC load
inline constexpr int kLineData = 6;    // serial data to the chip
inline constexpr int kLineClock = 7;   // serial clock
inline constexpr std::uint8_t kStatusSerialIn = 0x08;

// What ResetAdapter and InitController read back from S0 when a PCF8584
// answers: the byte the probe wrote there.
inline constexpr int kProbeOk = 85;

// How one of the classic PCF8584 operations ended: a byte written or read, or
// a wait on the controller's status.
enum class ByteResult {
    Done,      // the byte went and was acknowledged, or came; the wait saw its flag
    BusBusy,   // the bus never came free: nothing was sent
    NoAck,     // a byte was refused (a read: the bus was not free for its read address)
    TimedOut,  // the wait's polls ran out (a read: its address or its byte got no answer)
};

// I2cReadByte's answer: `value` holds the byte when `result` is Done.
struct ByteRead {
    ByteResult result = ByteResult::Done;
    std::uint8_t value = 0;
    bool Ok() const { return result == ByteResult::Done; }
};

// ResetAdapter modes: 0 loads the latch, 1 pulses the device lines into stop
// and back, 2 leaves them in stop; any other mode leaves the latch alone.
inline constexpr std::uint8_t kResetKeepLatch = 3;

// The counter check's message goes to the adapter's sink (the window shows
// it in a message box); without a sink it goes to stderr.
inline constexpr const char* kNoCounterMessage = "Error: MB doesnot support QPC";
using CounterErrorSink = std::function<void(const std::string& text)>;

class PortAdapter : public I2cMaster, public SerialLines, public BusSniffer {
public:
    // The adapter talks through `io` and keeps time by `counter`; both must
    // outlive it. The constructor checks the counter and reports a missing
    // one to `counterErrors`.
    PortAdapter(platform::PortIo& io, platform::Counter& counter, CounterErrorSink counterErrors = {});
    ~PortAdapter() override;
    PortAdapter(const PortAdapter&) = delete;
    PortAdapter& operator=(const PortAdapter&) = delete;

    // What the adapter talks through, for another adapter on the same port.
    platform::PortIo& Io() const { return io_; }
    platform::Counter& Clock() const { return counter_; }
    const CounterErrorSink& CounterErrors() const { return counterErrors_; }

    // BusAdapter: the counter's time.
    std::int64_t NowUs() override;
    void SleepMs(int ms) override;

    // I2cMaster over the PCF8584 (fast_frames.cpp): each byte waited for by
    // its PIN, the last byte of a read taken after STOP so that no byte
    // beyond the message leaves the device. A write followed by a read keeps
    // the bus for the read's repeated START; other messages are separated by
    // STOP and START. Prepare reloads the latch and reprograms the
    // controller; Recover also sets the port up.
    I2cResult Transfer(std::span<const I2cMessage> messages) override;
    bool WaitForFreeBus() override;
    void Prepare() override;
    void Recover() override;
    I2cCapabilities Capabilities() const override;

    // SerialLines over the output latch and the status port: select is
    // latch bit 5, clock 7, data 6, ORG 4, data in the status port's bit 3.
    // A full Drive is WriteLatch, any other a load of three accesses.
    std::vector<std::uint8_t> Run(std::span<const LineStep> steps) override;

    // BusSniffer over the PCF8584 as a slave (capture.cpp): StartWatching
    // programs own address 0, RearmWatching resets the controller first, and
    // StopWatching sets the port and the controller up as a master again.
    void StartWatching() override;
    void RearmWatching() override;
    void StopWatching() override;

    // Port access and timing.
    std::int32_t SetBase(std::int32_t base);
    std::int32_t GetBase() const { return base_; }
    void SetLatchBit(int n);
    void ClearLatchBit(int n);
    std::uint8_t Latch() const { return latch_; }
    void SetLatch(std::uint8_t value) { latch_ = value; }
    void WriteLatch(std::uint8_t value);
    void DelayMs(std::int32_t ms);
    void ConfigurePort();
    std::int64_t Frequency() const { return frequency_; }

    // PCF8584.
    std::uint8_t ResetAdapter(std::uint8_t mode, std::uint8_t latch);
    std::uint8_t InitController();
    std::uint8_t ReadStatus();
    ByteResult WaitAck();
    ByteResult WaitBusFree();
    ByteResult WaitPin();
    ByteResult I2cWriteByte(std::uint8_t subAddress, std::uint8_t slave, std::uint8_t data);
    ByteRead I2cReadByte(std::uint8_t subAddress, std::uint8_t slave);

    // The bus monitor's capture pass: `reads` status reads of S1. A status of
    // exactly 0x84 starts a capture: one status read (bit 0 set: an empty
    // transfer), then status reads until one has bit 0 set, each with PIN
    // clear followed by a read of S0 that becomes a record. Every transfer
    // with at least one record goes to `sink`.
    //
    // `reads` bounds the status reads that look for a transfer's start; a
    // capture once begun is read to the bus-free flag (or to its own bounds,
    // kCaptureIdleReads and kCaptureRecordLimit), so a transfer is never cut
    // at the end of a pass and the controller stays in step. Records past
    // kMaxTransferRecords are read and counted, not kept.
    CaptureCount CaptureTransfers(int reads, const TransferSink& sink) override;

    // Three-wire serial chips.
    void PulseClock();
    void SendBit(int bit);
    std::int32_t MicrowireRead(std::int32_t address, std::int32_t n, std::int32_t organisation);
    void MicrowireWriteEnable(std::int32_t n);
    std::int32_t MicrowireWrite(std::int32_t address, std::int32_t n, std::int32_t organisation,
                                std::int32_t data);
    void SpiWriteByte(std::int32_t address, std::int32_t bits, std::uint8_t data);
    std::uint8_t SpiReadByte(std::int32_t address, std::int32_t bits);

private:
    std::uint8_t In(int offset);
    void Out(int offset, std::uint8_t value);
    void Line(int bit, bool high);  // shadow change + WriteLatch
    void OrganisationSelect(std::int32_t organisation);
    void MicrowireStart();
    std::uint8_t SpiShiftIn();  // eight bits from the chip, then /CS high
    std::uint8_t ProgramController(std::uint8_t ownAddress);
    void PulseInit(std::uint8_t control);
    // Helpers of the bus interfaces: a latch load in three accesses, one bit
    // clocked into the chip in two loads, one bit sampled after a rising or
    // a falling clock edge.
    void LoadLatch(std::uint8_t value);
    void LoadLine(int bit, bool high);
    void ClockOutBit(int bit);
    void ClockOutBits(std::uint32_t value, int bits);
    int SampleAfterRise();
    int SampleAfterFall();
    // Waits for the byte just sent: Done, NoAck (the receiver refused it) or
    // TimedOut (PIN never fell).
    I2cStatus ByteAnswer();
    // The pieces of Transfer. A message with another after it keeps the bus
    // (no STOP) and the next one begins with a repeated START.
    I2cResult ProbeAddress(const I2cMessage& message);
    // How a message begins: with START on a free bus, with Sr after a write
    // that kept the bus, or with Sr a read has already armed (S1 = 0x45).
    enum class Link { Fresh, Held, Armed };
    bool SendAddress(std::uint8_t address, Link link);
    I2cResult WriteMessage(int index, const I2cMessage& message, Link link, bool keepBus);
    I2cResult ReadMessage(int index, const I2cMessage& message, Link link, bool keepBus);
    // A failed read counts as 0; the result says whether it failed.
    bool ReadCounter(std::int64_t& now);

    platform::PortIo& io_;
    platform::Counter& counter_;
    CounterErrorSink counterErrors_;
    std::int32_t base_ = 0;
    std::int64_t frequency_ = 1;
    std::uint8_t latch_ = 0;
};

}  // namespace hardware
