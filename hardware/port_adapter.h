// PortAdapter: one parallel-port adapter as the program sees it. It holds the
// port base, the counter frequency and the program's copy of the output latch,
// and turns every operation into its exact sequence of port accesses: the
// register map and latch, the port configuration, the millisecond delay, the
// PCF8584 driver and the bit-banged Microwire and SPI frames.
//
// It reaches the ports only through the PortIo and time only through the
// Counter it is given when it is made, so the same code drives real hardware,
// ppdev and the simulated bench, and two adapters in one process never meet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "hardware/capture.h"
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

// Result codes.
inline constexpr int kProbeOk = 85;
inline constexpr int kWriteDone = 195;
inline constexpr int kWaitTimeout = 1001;
inline constexpr int kBusBusy = 1000;
inline constexpr int kNoAck = 2000;
inline constexpr int kReadTimeout = 3000;

// ResetAdapter modes: 0 loads the latch, 1 pulses the device lines into stop
// and back, 2 leaves them in stop; any other mode leaves the latch alone.
inline constexpr std::uint8_t kResetKeepLatch = 3;

// The counter check's message goes to the adapter's sink (the window shows
// it in a message box); without a sink it goes to stderr.
inline constexpr const char* kNoCounterMessage = "Error: MB doesnot support QPC";
using CounterErrorSink = std::function<void(const std::string& text)>;

class PortAdapter {
public:
    // The adapter talks through `io` and keeps time by `counter`; both must
    // outlive it. The constructor checks the counter and reports a missing
    // one to `counterErrors`.
    PortAdapter(platform::PortIo& io, platform::Counter& counter, CounterErrorSink counterErrors = {});
    virtual ~PortAdapter();
    PortAdapter(const PortAdapter&) = delete;
    PortAdapter& operator=(const PortAdapter&) = delete;

    // What the adapter talks through, for another adapter on the same port.
    platform::PortIo& Io() const { return io_; }
    platform::Counter& Clock() const { return counter_; }
    const CounterErrorSink& CounterErrors() const { return counterErrors_; }

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
    int WaitAck();
    int WaitBusFree();
    int WaitPin();
    int I2cWriteByte(std::uint8_t subAddress, std::uint8_t slave, std::uint8_t data);
    int I2cReadByte(std::uint8_t subAddress, std::uint8_t slave);
    // Message-by-message transfers for register tools (i2ctransfer's syntax):
    // I2cWriteBytes sends START, the address (write) and `n` bytes, then STOP
    // when `stop`; without it the bus stays ours for a read's repeated START.
    // Returns kWriteDone, kBusBusy (nothing sent) or kNoAck (STOP sent).
    int I2cWriteBytes(std::uint8_t slave, const std::uint8_t* data, int n, bool stop);
    // Reads `n` bytes (n >= 1), acknowledging all but the last, then STOP.
    // `repeated`: the bus is still ours after I2cWriteBytes without STOP,
    // so the read begins with a repeated START, exactly as I2cReadByte's
    // read phase does. Returns the count read (n) or kBusBusy, kNoAck or
    // kReadTimeout with the bus released.
    int I2cReadBytes(std::uint8_t slave, std::uint8_t* out, int n, bool repeated);

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
    CaptureCount CaptureTransfers(int reads, const TransferSink& sink);

    // Three-wire serial chips.
    void PulseClock();
    void SendBit(int bit);
    // With `chipAnswered`, also samples the data line at the dummy bit after
    // the address: a chip drives it low, an empty socket or a missing adapter
    // leaves it high.
    std::int32_t MicrowireRead(std::int32_t address, std::int32_t n, std::int32_t organisation,
                               bool* chipAnswered = nullptr);
    void MicrowireWriteEnable(std::int32_t n);
    std::int32_t MicrowireWrite(std::int32_t address, std::int32_t n, std::int32_t organisation,
                                std::int32_t data);
    void SpiWriteByte(std::int32_t address, std::int32_t bits, std::uint8_t data);
    std::uint8_t SpiReadByte(std::int32_t address, std::int32_t bits);
    // RDSR: the AT25's status register (bit 0 busy, bit 1 write enabled).
    std::uint8_t SpiReadStatus();

    // Fast frames (fast_frames.cpp): sequential reads, page writes and ready
    // polling, for the transfers that run at the bus's own speed. Every wait
    // is bounded, in counter time where it waits for a chip.
    //
    // I2C: a dummy write of `subAddress`, a repeated START and `count` bytes
    // read in one go (acknowledged but the last), then STOP; a page of
    // `count` bytes written from `subAddress`, then STOP; acknowledge polling
    // (START and the write address until a slave answers). False when a byte
    // was not acknowledged, the bus stayed busy or PIN never fell; every path
    // that sent START ends with STOP.
    bool I2cReadBlock(std::uint8_t slave, std::uint8_t subAddress, std::uint8_t* out, int count);
    bool I2cWriteBlock(std::uint8_t slave, std::uint8_t subAddress, const std::uint8_t* data, int count);
    bool I2cPollAck(std::uint8_t slave, int timeoutMs);
    // Microwire: one READ from address 0 clocking out `words` words of
    // `organisation` bits into `out` (x16 high byte first), calling `done`
    // with the words read so far; EWEN or EWDS; one WRITE frame with no wait
    // after it; and the ready poll: CS raised, DO read until the chip shows
    // ready or `timeoutMs` pass, CS dropped. The poll returns the last level.
    using UnitsDone = std::function<void(int units)>;
    void MicrowireReadAll(std::int32_t n, std::int32_t organisation, int words, std::uint8_t* out,
                          const UnitsDone& done);
    void MicrowireEnableWrites(std::int32_t n, std::int32_t organisation, bool enable);
    void MicrowireWriteFrame(std::int32_t address, std::int32_t n, std::int32_t organisation,
                             std::int32_t data);
    bool MicrowireWaitReady(int timeoutMs);
    // SPI: one READ from address 0 for `count` bytes; WREN and one WRITE of
    // `count` bytes from `address` (the caller keeps it inside a page); RDSR
    // read continuously until the busy bit clears or `timeoutMs` pass.
    void SpiReadAll(std::int32_t bits, int count, std::uint8_t* out, const UnitsDone& done);
    void SpiWritePage(std::int32_t address, std::int32_t bits, const std::uint8_t* data, int count);
    bool SpiWaitReady(int timeoutMs);

private:
    std::uint8_t In(int offset);
    void Out(int offset, std::uint8_t value);
    void Line(int bit, bool high);  // shadow change + WriteLatch
    void OrganisationSelect(std::int32_t organisation);
    void MicrowireStart();
    std::uint8_t SpiShiftIn();  // eight bits from the chip, then /CS high
    std::uint8_t ProgramController(std::uint8_t ownAddress);
    void PulseInit(std::uint8_t control);
    // Fast-frame helpers: a latch load in three accesses, one bit clocked
    // into the chip in two loads, one bit sampled after a rising or a
    // falling clock edge.
    void LoadLatch(std::uint8_t value);
    void LoadLine(int bit, bool high);
    void ClockOutBit(int bit);
    void ClockOutBits(std::uint32_t value, int bits);
    int SampleAfterRise();
    int SampleAfterFall();
    bool ByteAcked();
    // START, the write address and the word address; true when both were
    // acknowledged. STOP is owed either way.
    bool SendWordAddress(std::uint8_t slave, std::uint8_t subAddress);
    bool DeadlinePassed(std::int64_t deadline);
    std::int64_t DeadlineAfterMs(int ms);
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
