#include "hardware/port_adapter.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "hardware/chip_parts.h"

namespace hardware {
namespace {

// A counter that keeps failing reads 0 for ever and would never reach the
// target; this many failed reads in a row end the wait instead.
constexpr int kFailedCounterReads = 1000;

constexpr std::uint8_t kS1Off = 0x80;      // PIN, interface off: S0 reaches S0'
constexpr std::uint8_t kS1Clock = 0xA0;    // PIN, ES1: S0 reaches S2
constexpr std::uint8_t kS1Idle = 0xC1;     // PIN, ESO, ACK
constexpr std::uint8_t kS1Start = 0xC5;    // PIN, ESO, STA, ACK
constexpr std::uint8_t kS1Restart = 0x45;  // ESO, STA, ACK
constexpr std::uint8_t kS1NoAck = 0x40;    // ESO only
constexpr std::uint8_t kS1Stop = 0xC3;     // PIN, ESO, STO, ACK
constexpr std::uint8_t kClock12MHz90kHz = 0x1C;
constexpr int kWaitPolls = 1000;

}  // namespace

PortAdapter::PortAdapter(platform::PortIo& io, platform::Counter& counter, CounterErrorSink counterErrors)
    : io_(io), counter_(counter), counterErrors_(std::move(counterErrors)) {
    std::int64_t frequency = 0;
    if (!counter_.Frequency(frequency) || frequency == 0) {
        // Without a counter every delay collapses to (almost) nothing; the
        // adapter stays usable, so say so and go on.
        if (counterErrors_) {
            counterErrors_(kNoCounterMessage);
        } else {
            std::fprintf(stderr, "%s\n", kNoCounterMessage);
        }
        frequency = 1;
    }
    frequency_ = frequency;
}

PortAdapter::~PortAdapter() = default;

bool PortAdapter::ReadCounter(std::int64_t& now) {
    if (counter_.Now(now)) return true;
    now = 0;
    return false;
}

std::int64_t PortAdapter::NowUs() {
    std::int64_t now = 0;
    if (!ReadCounter(now) || now < 0) return kNoTime;
    // A count too large for microseconds (a counter whose frequency could not
    // be read counts "per second") is a clock that cannot time a wait.
    const std::int64_t seconds = now / frequency_;
    if (seconds > std::numeric_limits<std::int64_t>::max() / 2'000'000) return kNoTime;
    return seconds * 1'000'000 + now % frequency_ * 1'000'000 / frequency_;
}

void PortAdapter::SleepMs(int ms) { counter_.SleepMs(ms); }

std::uint8_t PortAdapter::In(int offset) { return io_.In(static_cast<std::uint16_t>(base_ + offset)); }

void PortAdapter::Out(int offset, std::uint8_t value) {
    io_.Out(static_cast<std::uint16_t>(base_ + offset), value);
}

std::int32_t PortAdapter::SetBase(std::int32_t base) {
    base_ = base;
    return base_;
}

void PortAdapter::SetLatchBit(int n) {
    if (n >= 0 && n <= 7) latch_ = static_cast<std::uint8_t>(latch_ | (1u << n));
}

void PortAdapter::ClearLatchBit(int n) {
    if (n >= 0 && n <= 7) latch_ = static_cast<std::uint8_t>(latch_ & ~(1u << n));
}

void PortAdapter::WriteLatch(std::uint8_t value) {
    Out(kDataPort, value);
    Out(kControlPort, static_cast<std::uint8_t>(In(kControlPort) & ~0x04));  // /INIT low
    Out(kControlPort, 0x04);  // /INIT high: the latch takes the data lines here
}

void PortAdapter::DelayMs(std::int32_t ms) {
    std::int64_t now = 0;
    ReadCounter(now);
    const std::int64_t ticks = frequency_ * static_cast<std::int64_t>(ms) / 1000;
    const std::int64_t target = now + ticks;
    // Spin, not sleep: a 1 ms latch pulse must be honoured. The start read
    // already settles a wait of zero or less.
    int failedInARow = 0;
    while (target - now > 0 && failedInARow < kFailedCounterReads) {
        failedInARow = ReadCounter(now) ? 0 : failedInARow + 1;
    }
}

void PortAdapter::ConfigurePort() {
    io_.Out(kConfigIndex, 0x01);
    // Configuration register 1, low bits: 2 = port at 0x378, 3 = at 0x278.
    io_.Out(kConfigData, base_ == kLpt1 ? 0x96 : 0x97);
    io_.Out(kConfigIndex, 0x04);
    io_.Out(kConfigData, 0x03);  // ECP and EPP
    Out(kEcr, 0x34);             // through byte mode...
    Out(kEcr, 0x80);             // ...into EPP mode
    Out(kDataPort, 0x55);
    (void)In(kDataPort);
}

// --- PCF8584 ---------------------------------------------------------------

void PortAdapter::PulseInit(std::uint8_t control) {
    Out(kControlPort, static_cast<std::uint8_t>(control & ~0x04));
    DelayMs(1);
    Out(kControlPort, 0x04);
}

std::uint8_t PortAdapter::ProgramController(std::uint8_t ownAddress) {
    Out(kEppAddress, kS1Off);
    Out(kEppData, ownAddress);
    Out(kEppAddress, kS1Clock);
    Out(kEppData, kClock12MHz90kHz);
    Out(kEppAddress, kS1Idle);
    // With the interface on and no transfer, S0 reads back what was written:
    // that is the presence probe.
    Out(kEppData, 0x55);
    return In(kEppData);
}

std::uint8_t PortAdapter::ResetAdapter(std::uint8_t mode, std::uint8_t latch) {
    Out(kEcr, 0x00);  // standard mode for the latch
    const std::uint8_t control = In(kControlPort);
    const std::uint8_t stopped = static_cast<std::uint8_t>((latch & ~0x01) | 0x02);
    switch (mode) {
        case 0:
            Out(kDataPort, latch);
            PulseInit(control);
            break;
        case 1:
            // A 1 ms pulse into the stop state, then the given state.
            Out(kDataPort, stopped);
            PulseInit(control);
            Out(kDataPort, latch);
            PulseInit(In(kControlPort));
            break;
        case 2:
            Out(kDataPort, stopped);
            PulseInit(control);
            break;
        default:
            break;
    }
    Out(kEcr, 0x80);  // EPP mode for the controller
    return ProgramController(0x55);
}

std::uint8_t PortAdapter::InitController() { return ProgramController(0x00); }

std::uint8_t PortAdapter::ReadStatus() { return In(kEppAddress); }

ByteResult PortAdapter::WaitAck() {
    for (int i = 0; i < kWaitPolls; ++i) {
        if ((ReadStatus() & 0x88) == 0) return ByteResult::Done;
    }
    return ByteResult::TimedOut;
}

ByteResult PortAdapter::WaitBusFree() {
    for (int i = 0; i < kWaitPolls; ++i) {
        if (ReadStatus() & 0x01) return ByteResult::Done;
    }
    return ByteResult::TimedOut;
}

ByteResult PortAdapter::WaitPin() {
    for (int i = 0; i < kWaitPolls; ++i) {
        if ((ReadStatus() & 0x80) == 0) return ByteResult::Done;
    }
    return ByteResult::TimedOut;
}

ByteResult PortAdapter::I2cWriteByte(std::uint8_t subAddress, std::uint8_t slave, std::uint8_t data) {
    if (WaitBusFree() != ByteResult::Done) return ByteResult::BusBusy;  // nothing sent, so no STOP owed
    Out(kEppData, static_cast<std::uint8_t>(slave & 0xFE));
    Out(kEppAddress, kS1Start);
    if (WaitAck() == ByteResult::Done) Out(kEppData, subAddress);
    if (WaitAck() == ByteResult::Done) Out(kEppData, data);
    const ByteResult last = WaitAck();
    Out(kEppAddress, kS1Stop);  // released on every path that sent START
    return last == ByteResult::Done ? ByteResult::Done : ByteResult::NoAck;
}

ByteRead PortAdapter::I2cReadByte(std::uint8_t subAddress, std::uint8_t slave) {
    // Address phase: a dummy write of the word address. Its failures fall
    // through; the read phase below ends every path with STOP.
    if (WaitBusFree() == ByteResult::Done) {
        Out(kEppData, static_cast<std::uint8_t>(slave & 0xFE));
        Out(kEppAddress, kS1Start);
        if (WaitAck() == ByteResult::Done) {
            Out(kEppData, subAddress);
            if (WaitAck() == ByteResult::Done) Out(kEppAddress, kS1Restart);
        }
    }
    Out(kEppData, static_cast<std::uint8_t>(slave | 0x01));
    if (WaitBusFree() != ByteResult::Done) {
        Out(kEppAddress, kS1Stop);
        return {ByteResult::NoAck};
    }
    Out(kEppAddress, kS1Start);
    if (WaitAck() != ByteResult::Done) {
        Out(kEppAddress, kS1Stop);
        return {ByteResult::TimedOut};
    }
    (void)In(kEppData);  // dummy read: starts receiving the first byte
    if (WaitAck() != ByteResult::Done) {
        Out(kEppAddress, kS1Stop);
        return {ByteResult::TimedOut};
    }
    Out(kEppAddress, kS1NoAck);
    const std::uint8_t value = In(kEppData);
    if (WaitPin() != ByteResult::Done) {
        Out(kEppAddress, kS1Stop);
        return {ByteResult::TimedOut};
    }
    Out(kEppAddress, kS1Stop);
    return {ByteResult::Done, value};
}

// --- Three-wire serial chips -------------------------------------------------

void PortAdapter::Line(int bit, bool high) {
    if (high) {
        SetLatchBit(bit);
    } else {
        ClearLatchBit(bit);
    }
    WriteLatch(latch_);
}

void PortAdapter::PulseClock() {
    Line(kLineClock, false);
    Line(kLineClock, true);  // the chip samples on the rising edge
}

void PortAdapter::SendBit(int bit) {
    Line(kLineData, bit != 0);
    PulseClock();
}

void PortAdapter::OrganisationSelect(std::int32_t organisation) {
    if (organisation == 8) {
        Line(kLineOrg, false);
    } else if (organisation == 16) {
        Line(kLineOrg, true);
    }
}

void PortAdapter::MicrowireStart() {
    Line(kLineData, false);
    PulseClock();  // chip still deselected
    Line(kLineClock, false);
    Line(kLineData, true);
    Line(kLineSelect, true);
    Line(kLineClock, true);  // clocks in the start bit
}

std::int32_t PortAdapter::MicrowireRead(std::int32_t address, std::int32_t n, std::int32_t organisation) {
    OrganisationSelect(organisation);
    MicrowireStart();
    for (int b = 1; b >= 0; --b) SendBit((kMicrowireCommands.read >> b) & 1);
    for (std::int32_t b = n; b >= 0; --b) SendBit((address >> b) & 1);
    // One extra clock passes over the dummy 0 the chip drives before its data.
    SendBit(0);
    std::int32_t value = 0;
    for (std::int32_t i = 0; i < organisation; ++i) {
        Line(kLineClock, false);
        value = (value << 1) | ((In(kStatusPort) & kStatusSerialIn) ? 1 : 0);
        Line(kLineClock, true);
    }
    Line(kLineSelect, false);
    return value;
}

void PortAdapter::MicrowireWriteEnable(std::int32_t n) {
    MicrowireStart();
    for (int b = 1; b >= 0; --b) SendBit((kMicrowireCommands.special >> b) & 1);
    for (int b = 1; b >= 0; --b)
        SendBit((kMicrowireCommands.writeEnable >> b) & 1);  // the top two address bits
    for (std::int32_t i = 0; i < n; ++i) PulseClock();       // the rest of the address field, all ones
    Line(kLineSelect, false);
    PulseClock();
    counter_.SleepMs(5);
}

std::int32_t PortAdapter::MicrowireWrite(std::int32_t address, std::int32_t n, std::int32_t organisation,
                                         std::int32_t data) {
    MicrowireWriteEnable(n);
    OrganisationSelect(organisation);
    ClearLatchBit(kLineSelect);
    MicrowireStart();
    for (int b = 1; b >= 0; --b) SendBit((kMicrowireCommands.write >> b) & 1);
    for (std::int32_t b = n; b >= 0; --b) SendBit((address >> b) & 1);
    for (std::int32_t b = organisation - 1; b >= 0; --b) SendBit((data >> b) & 1);
    Line(kLineSelect, false);
    PulseClock();
    Line(kLineSelect, true);
    // No ready poll: the sleep is the write time.
    counter_.SleepMs(5);
    Line(kLineSelect, false);
    return address;
}

void PortAdapter::SpiWriteByte(std::int32_t address, std::int32_t bits, std::uint8_t data) {
    const int a8 = (address >> 8) & 1;
    Line(kLineClock, false);
    Line(kLineSelect, false);  // select, active low
    // Bit 3 of WREN is "don't care": address bit 8 goes there as on WRITE.
    const int wren = kSpiCommands.writeEnable | (a8 << 3);
    for (int b = 7; b >= 0; --b) SendBit((wren >> b) & 1);
    Line(kLineClock, false);
    Line(kLineSelect, true);
    counter_.SleepMs(5);
    Line(kLineSelect, false);
    const int write = bits == 8 ? (kSpiCommands.write | (a8 << 3)) : kSpiCommands.write;
    for (int b = 7; b >= 0; --b) SendBit((write >> b) & 1);
    for (std::int32_t b = bits - 1; b >= 0; --b) SendBit((address >> b) & 1);
    for (int b = 7; b >= 0; --b) SendBit((data >> b) & 1);
    Line(kLineClock, false);
    Line(kLineSelect, true);  // the write cycle starts on this rising /CS
    counter_.SleepMs(5);
}

std::uint8_t PortAdapter::SpiReadByte(std::int32_t address, std::int32_t bits) {
    Line(kLineClock, false);
    Line(kLineSelect, false);
    const int read = bits == 8 ? (kSpiCommands.read | (((address >> 8) & 1) << 3)) : kSpiCommands.read;
    for (int b = 7; b >= 0; --b) SendBit((read >> b) & 1);
    for (std::int32_t b = bits - 1; b >= 0; --b) SendBit((address >> b) & 1);
    return SpiShiftIn();
}

std::uint8_t PortAdapter::SpiShiftIn() {
    int value = 0;
    for (int i = 0; i < 7; ++i) {
        Line(kLineClock, false);
        value = (value << 1) | ((In(kStatusPort) & kStatusSerialIn) ? 1 : 0);
        Line(kLineClock, true);
    }
    Line(kLineClock, false);
    value = (value << 1) | ((In(kStatusPort) & kStatusSerialIn) ? 1 : 0);
    Line(kLineSelect, true);
    return static_cast<std::uint8_t>(value);
}

}  // namespace hardware
