// The fast frames: the same chips and lines as the specified frames, driven
// at what the adapter can do rather than with fixed sleeps. A latch load here
// is three accesses (data, /INIT low, /INIT high) instead of four, since the
// control register holds nothing but /INIT between loads; a bit into a chip
// is two loads (data with the clock low, then the clock high) instead of
// three. Waits for a chip's write cycle poll its own ready signal and are
// bounded in counter time.
#include <cstdint>

#include "hardware/port_adapter.h"
#include "platform/counter.h"

namespace hardware {
namespace {

constexpr std::uint8_t kS1Start = 0xC5;    // PIN, ESO, STA, ACK
constexpr std::uint8_t kS1Restart = 0x45;  // ESO, STA, ACK: the next S0 write sends Sr + address
constexpr std::uint8_t kS1NoAck = 0x40;    // ESO only: the byte started next is not acknowledged
constexpr std::uint8_t kS1Stop = 0xC3;     // PIN, ESO, STO, ACK
constexpr std::uint8_t kS1Pin = 0x80;
constexpr std::uint8_t kS1Lrb = 0x08;
constexpr int kPinPolls = 1000;  // about 1 ms on a port: ten byte times at 90 kHz

constexpr int kMicrowireRead = 0b10;
constexpr int kMicrowireWrite = 0b01;
constexpr int kMicrowireEwen = 0b11;  // after opcode 00, the top two address bits
constexpr int kSpiRead = 0x03;
constexpr int kSpiWrite = 0x02;
constexpr int kSpiWren = 0x06;
constexpr int kSpiRdsr = 0x05;
constexpr std::uint8_t kSpiBusy = 0x01;

}  // namespace

// --- helpers ---------------------------------------------------------------

void PortAdapter::LoadLatch(std::uint8_t value) {
    latch_ = value;
    Out(kDataPort, value);
    Out(kControlPort, 0x00);  // /INIT low
    Out(kControlPort, 0x04);  // /INIT high: the latch takes the data lines
}

void PortAdapter::LoadLine(int bit, bool high) {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    LoadLatch(high ? static_cast<std::uint8_t>(latch_ | mask) : static_cast<std::uint8_t>(latch_ & ~mask));
}

void PortAdapter::ClockOutBit(int bit) {
    std::uint8_t low = static_cast<std::uint8_t>(latch_ & ~(1u << kLineClock));
    low = bit ? static_cast<std::uint8_t>(low | (1u << kLineData))
              : static_cast<std::uint8_t>(low & ~(1u << kLineData));
    LoadLatch(low);
    LoadLatch(static_cast<std::uint8_t>(low | (1u << kLineClock)));  // the chip samples here
}

void PortAdapter::ClockOutBits(std::uint32_t value, int bits) {
    for (int b = bits - 1; b >= 0; --b) ClockOutBit(static_cast<int>((value >> b) & 1u));
}

int PortAdapter::SampleAfterRise() {
    // Microwire puts the next bit out after the rising edge.
    LoadLine(kLineClock, false);
    LoadLine(kLineClock, true);
    return (In(kStatusPort) & kStatusSerialIn) ? 1 : 0;
}

int PortAdapter::SampleAfterFall() {
    // SPI mode 0 changes SO after the falling edge.
    LoadLine(kLineClock, false);
    const int bit = (In(kStatusPort) & kStatusSerialIn) ? 1 : 0;
    LoadLine(kLineClock, true);
    return bit;
}

std::int64_t PortAdapter::DeadlineAfterMs(int ms) {
    std::int64_t now = 0;
    (void)counter_.Now(now);
    return now + frequency_ * ms / 1000;
}

bool PortAdapter::DeadlinePassed(std::int64_t deadline) {
    std::int64_t now = 0;
    // A counter that fails ends the wait rather than spin for ever.
    if (!counter_.Now(now)) return true;
    return now - deadline >= 0;
}

bool PortAdapter::ByteAcked() {
    for (int i = 0; i < kPinPolls; ++i) {
        const std::uint8_t status = ReadStatus();
        if (!(status & kS1Pin)) return !(status & kS1Lrb);
    }
    return false;
}

// --- I2C -------------------------------------------------------------------

bool PortAdapter::SendWordAddress(std::uint8_t slave, std::uint8_t subAddress) {
    Out(kEppData, static_cast<std::uint8_t>(slave & 0xFE));
    Out(kEppAddress, kS1Start);
    if (!ByteAcked()) return false;
    Out(kEppData, subAddress);
    return ByteAcked();
}

bool PortAdapter::I2cReadBlock(std::uint8_t slave, std::uint8_t subAddress, std::uint8_t* out, int count) {
    if (count <= 0 || WaitBusFree() != 0) return false;  // nothing sent, no STOP owed
    bool ok = SendWordAddress(slave, subAddress);
    if (ok) {
        Out(kEppAddress, kS1Restart);
        Out(kEppData, static_cast<std::uint8_t>(slave | 0x01));
        ok = ByteAcked();
    }
    // Each S0 read returns the byte received before it and starts the next;
    // the first is a dummy. ACK goes off before the read that starts the last.
    for (int k = 0; ok && k < count; ++k) {
        if (k == count - 1) Out(kEppAddress, kS1NoAck);
        const std::uint8_t value = In(kEppData);
        if (k > 0) out[k - 1] = value;
        ok = WaitPin() == 0;
    }
    Out(kEppAddress, kS1Stop);
    // After STOP an S0 read hands over the last byte without clocking another.
    if (ok) out[count - 1] = In(kEppData);
    return ok;
}

bool PortAdapter::I2cWriteBlock(std::uint8_t slave, std::uint8_t subAddress, const std::uint8_t* data,
                                int count) {
    if (WaitBusFree() != 0) return false;
    bool ok = SendWordAddress(slave, subAddress);
    for (int k = 0; ok && k < count; ++k) {
        Out(kEppData, data[k]);
        ok = ByteAcked();
    }
    Out(kEppAddress, kS1Stop);  // the write cycle starts here
    return ok;
}

bool PortAdapter::I2cPollAck(std::uint8_t slave, int timeoutMs) {
    // A memory in its write cycle does not acknowledge its address; the
    // first acknowledge says the cycle is over.
    const std::int64_t deadline = DeadlineAfterMs(timeoutMs);
    for (;;) {
        Out(kEppData, static_cast<std::uint8_t>(slave & 0xFE));
        Out(kEppAddress, kS1Start);
        const bool acked = ByteAcked();
        Out(kEppAddress, kS1Stop);
        if (acked) return true;
        if (DeadlinePassed(deadline)) return false;
    }
}

// --- Microwire -------------------------------------------------------------

namespace {

// Latch bits 4..7 as a Microwire frame starts: ORG for the words, CS low,
// clock low, data low.
std::uint8_t MicrowireIdle(std::uint8_t latch, std::int32_t organisation) {
    auto value = static_cast<std::uint8_t>(latch & 0x0F);
    if (organisation == 16) value = static_cast<std::uint8_t>(value | (1u << kLineOrg));
    return value;
}

}  // namespace

void PortAdapter::MicrowireReadAll(std::int32_t n, std::int32_t organisation, int words, std::uint8_t* out,
                                   const UnitsDone& done) {
    latch_ = MicrowireIdle(latch_, organisation);
    WriteLatch(latch_);  // a full load first: the control register as found
    LoadLine(kLineData, true);
    LoadLine(kLineSelect, true);
    LoadLine(kLineClock, true);  // start bit
    ClockOutBits(kMicrowireRead, 2);
    ClockOutBits(0, n + 1);  // from address 0; the chip then runs on through the array
    // The dummy 0 shows after the last address bit; each rising edge after it
    // puts out the next data bit, MSB first.
    for (int w = 0; w < words; ++w) {
        std::uint32_t word = 0;
        for (int b = 0; b < organisation; ++b)
            word = (word << 1) | static_cast<std::uint32_t>(SampleAfterRise());
        if (organisation == 16) {
            out[2 * w] = static_cast<std::uint8_t>(word >> 8);
            out[2 * w + 1] = static_cast<std::uint8_t>(word);
        } else {
            out[w] = static_cast<std::uint8_t>(word);
        }
        if (done) done(w + 1);
    }
    LoadLine(kLineSelect, false);
}

void PortAdapter::MicrowireEnableWrites(std::int32_t n, std::int32_t organisation, bool enable) {
    // ORG counts: the chip takes its address length from it at the start bit.
    latch_ = MicrowireIdle(latch_, organisation);
    WriteLatch(latch_);
    LoadLine(kLineData, true);
    LoadLine(kLineSelect, true);
    LoadLine(kLineClock, true);  // start bit
    ClockOutBits(0, 2);
    ClockOutBits(enable ? kMicrowireEwen : 0, 2);
    ClockOutBits(0, n - 1);  // the rest of the address field
    LoadLine(kLineSelect, false);
}

void PortAdapter::MicrowireWriteFrame(std::int32_t address, std::int32_t n, std::int32_t organisation,
                                      std::int32_t data) {
    LoadLatch(static_cast<std::uint8_t>(MicrowireIdle(latch_, organisation) | (1u << kLineData)));
    LoadLine(kLineSelect, true);
    LoadLine(kLineClock, true);  // start bit
    ClockOutBits(kMicrowireWrite, 2);
    ClockOutBits(static_cast<std::uint32_t>(address), n + 1);
    ClockOutBits(static_cast<std::uint32_t>(data), organisation);  // the cycle starts on the last bit
    LoadLine(kLineSelect, false);
}

bool PortAdapter::MicrowireWaitReady(int timeoutMs) {
    // Full latch writes, and only CS moves: the specified write path polls
    // here too, before its verify read, and every access after the poll
    // stays as it was.
    Line(kLineSelect, true);  // DO shows busy (0) or ready (1) while CS is high
    const std::int64_t deadline = DeadlineAfterMs(timeoutMs);
    bool ready = false;
    do {
        ready = (In(kStatusPort) & kStatusSerialIn) != 0;
    } while (!ready && !DeadlinePassed(deadline));
    Line(kLineSelect, false);
    return ready;
}

// --- SPI -------------------------------------------------------------------

void PortAdapter::SpiReadAll(std::int32_t bits, int count, std::uint8_t* out, const UnitsDone& done) {
    ClearLatchBit(kLineClock);
    WriteLatch(latch_);
    LoadLine(kLineSelect, false);
    ClockOutBits(kSpiRead, 8);
    ClockOutBits(0, bits);  // from address 0; READ runs on through the array
    for (int i = 0; i < count; ++i) {
        int value = 0;
        for (int b = 0; b < 8; ++b) value = (value << 1) | SampleAfterFall();
        out[i] = static_cast<std::uint8_t>(value);
        if (done) done(i + 1);
    }
    LoadLine(kLineClock, false);
    LoadLine(kLineSelect, true);
}

void PortAdapter::SpiWritePage(std::int32_t address, std::int32_t bits, const std::uint8_t* data, int count) {
    const int a8 = (address >> 8) & 1;
    ClearLatchBit(kLineClock);
    WriteLatch(latch_);
    LoadLine(kLineSelect, false);
    ClockOutBits(kSpiWren, 8);
    LoadLine(kLineClock, false);
    LoadLine(kLineSelect, true);  // WREN takes effect on /CS rising
    LoadLine(kLineSelect, false);
    // One address byte: A8 rides in opcode bit 3 (AT25040), as in the specified frame.
    ClockOutBits(static_cast<std::uint32_t>(bits == 8 ? kSpiWrite | (a8 << 3) : kSpiWrite), 8);
    ClockOutBits(static_cast<std::uint32_t>(address), bits);
    for (int i = 0; i < count; ++i) ClockOutBits(data[i], 8);
    LoadLine(kLineClock, false);
    LoadLine(kLineSelect, true);  // the write cycle starts on this rising /CS
}

bool PortAdapter::SpiWaitReady(int timeoutMs) {
    LoadLine(kLineClock, false);
    LoadLine(kLineSelect, false);
    ClockOutBits(kSpiRdsr, 8);
    const std::int64_t deadline = DeadlineAfterMs(timeoutMs);
    bool ready = false;
    do {
        int status = 0;
        for (int b = 0; b < 8; ++b) status = (status << 1) | SampleAfterFall();
        ready = !(status & kSpiBusy);
    } while (!ready && !DeadlinePassed(deadline));
    LoadLine(kLineClock, false);
    LoadLine(kLineSelect, true);
    return ready;
}

}  // namespace hardware
