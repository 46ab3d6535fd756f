// The parallel adapter's bus interfaces: I2C transfers on the PCF8584 and the
// serial lines on the output latch, driven at what the adapter can do rather
// than with fixed sleeps. A latch load here is three accesses (data, /INIT
// low, /INIT high) instead of four, since the control register holds nothing
// but /INIT between loads; a bit into a chip is two loads (data with the
// clock low, then the clock high) instead of three.
#include <cstdint>
#include <limits>

#include "hardware/port_adapter.h"

namespace hardware {
namespace {

constexpr std::uint8_t kS1Start = 0xC5;    // PIN, ESO, STA, ACK
constexpr std::uint8_t kS1Restart = 0x45;  // ESO, STA, ACK: the next S0 write sends Sr + address
constexpr std::uint8_t kS1NoAck = 0x40;    // ESO only: the byte started next is not acknowledged
constexpr std::uint8_t kS1Stop = 0xC3;     // PIN, ESO, STO, ACK
constexpr std::uint8_t kS1Pin = 0x80;
constexpr std::uint8_t kS1Lrb = 0x08;
constexpr int kPinPolls = 1000;  // about 1 ms on a port: ten byte times at 90 kHz
constexpr int kBusClockHz = 90'000;

std::uint8_t WriteAddress(const I2cMessage& message) {
    return static_cast<std::uint8_t>(message.address << 1);
}

I2cResult Failed(I2cStatus status, int message, int byte) { return {status, message, byte}; }

// The latch bits of the serial lines.
std::uint8_t LatchBits(std::uint8_t lines) {
    std::uint8_t bits = 0;
    if (lines & kSelectLine) bits |= 1u << kLineSelect;
    if (lines & kClockLine) bits |= 1u << kLineClock;
    if (lines & kDataLine) bits |= 1u << kLineData;
    if (lines & kOrgLine) bits |= 1u << kLineOrg;
    return bits;
}

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

I2cStatus PortAdapter::ByteAnswer() {
    for (int i = 0; i < kPinPolls; ++i) {
        const std::uint8_t status = ReadStatus();
        if (!(status & kS1Pin)) return (status & kS1Lrb) ? I2cStatus::NoAck : I2cStatus::Done;
    }
    return I2cStatus::TimedOut;
}

// --- I2C -------------------------------------------------------------------

I2cResult PortAdapter::Transfer(std::span<const I2cMessage> messages) {
    if (messages.size() == 1 && !messages[0].read && messages[0].bytes.empty())
        return ProbeAddress(messages[0]);
    Link link = Link::Fresh;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const int index = static_cast<int>(k);
        const bool more = k + 1 < messages.size();
        const I2cResult result = messages[k].read ? ReadMessage(index, messages[k], link, more)
                                                  : WriteMessage(index, messages[k], link, more);
        if (!result.Ok()) return result;
        // A write leaves the bus held for the next message to send Sr; a read
        // has already armed it, since it must before taking its last byte.
        link = messages[k].read ? Link::Armed : Link::Held;
    }
    return {};
}

I2cResult PortAdapter::ProbeAddress(const I2cMessage& message) {
    // A memory in its write cycle does not acknowledge its address; the
    // first acknowledge says the cycle is over.
    Out(kEppData, WriteAddress(message));
    Out(kEppAddress, kS1Start);
    const I2cStatus answer = ByteAnswer();
    Out(kEppAddress, kS1Stop);
    return answer == I2cStatus::Done ? I2cResult{} : Failed(answer, 0, I2cResult::kAddressByte);
}

bool PortAdapter::SendAddress(std::uint8_t address, Link link) {
    switch (link) {
        case Link::Fresh:
            if (WaitBusFree() != ByteResult::Done) return false;  // nothing sent, no STOP owed
            Out(kEppData, address);
            Out(kEppAddress, kS1Start);
            return true;
        case Link::Held:
            Out(kEppAddress, kS1Restart);
            [[fallthrough]];
        case Link::Armed:
            Out(kEppData, address);  // Sr and the address
            return true;
    }
    return false;
}

I2cResult PortAdapter::WriteMessage(int index, const I2cMessage& message, Link link, bool keepBus) {
    if (!SendAddress(WriteAddress(message), link))
        return Failed(I2cStatus::BusBusy, index, I2cResult::kAddressByte);
    I2cStatus answer = ByteAnswer();
    int byte = I2cResult::kAddressByte;
    for (std::size_t k = 0; answer == I2cStatus::Done && k < message.bytes.size(); ++k) {
        Out(kEppData, message.bytes[k]);
        answer = ByteAnswer();
        byte = static_cast<int>(k);
    }
    // A memory's write cycle starts at STOP. A refused byte ends the transfer
    // whatever was to follow.
    if (!keepBus || answer != I2cStatus::Done) Out(kEppAddress, kS1Stop);
    return answer == I2cStatus::Done ? I2cResult{} : Failed(answer, index, byte);
}

I2cResult PortAdapter::ReadMessage(int index, const I2cMessage& message, Link link, bool keepBus) {
    const int count = static_cast<int>(message.bytes.size());
    if (count == 0) {
        if (link != Link::Fresh) Out(kEppAddress, kS1Stop);  // the message before held the bus
        return Failed(I2cStatus::NotSupported, index, I2cResult::kAddressByte);
    }
    if (!SendAddress(static_cast<std::uint8_t>(WriteAddress(message) | 0x01), link))
        return Failed(I2cStatus::BusBusy, index, I2cResult::kAddressByte);
    const I2cStatus answer = ByteAnswer();
    I2cResult result =
        answer == I2cStatus::Done ? I2cResult{} : Failed(answer, index, I2cResult::kAddressByte);
    // Each S0 read returns the byte received before it and starts the next;
    // the first is a dummy. ACK goes off before the read that starts the last,
    // so no byte beyond the message is clocked out of the device.
    for (int k = 0; result.Ok() && k < count; ++k) {
        if (k == count - 1) Out(kEppAddress, kS1NoAck);
        const std::uint8_t value = In(kEppData);
        if (k > 0) message.bytes[static_cast<std::size_t>(k - 1)] = value;
        if (WaitPin() != ByteResult::Done) result = Failed(I2cStatus::TimedOut, index, k);
    }
    // After STOP, or with a repeated START armed, an S0 read hands over the
    // last byte without clocking another; the next message's S0 write then
    // sends Sr and its address.
    const bool restart = keepBus && result.Ok();
    Out(kEppAddress, restart ? kS1Restart : kS1Stop);
    if (result.Ok()) message.bytes[static_cast<std::size_t>(count - 1)] = In(kEppData);
    return result;
}

bool PortAdapter::WaitForFreeBus() { return WaitBusFree() == ByteResult::Done; }

void PortAdapter::Prepare() { ResetAdapter(0, latch_); }

void PortAdapter::Recover() {
    ConfigurePort();
    ResetAdapter(0, latch_);
}

I2cCapabilities PortAdapter::Capabilities() const {
    I2cCapabilities caps;
    caps.maxMessages = std::numeric_limits<int>::max();
    caps.maxMessageBytes = std::numeric_limits<int>::max();
    caps.speedsHz = {kBusClockHz};
    caps.dataAcksSeen = true;
    caps.writeThenReadOnly = false;
    caps.restartBeforeReadOnly = false;
    return caps;
}

// --- Serial lines ------------------------------------------------------------

std::vector<std::uint8_t> PortAdapter::Run(std::span<const LineStep> steps) {
    std::vector<std::uint8_t> samples;
    for (const LineStep& step : steps) {
        switch (step.kind) {
            case LineStep::Kind::Drive: {
                const std::uint8_t mask = LatchBits(step.lines);
                const auto value =
                    static_cast<std::uint8_t>((latch_ & ~mask) | (LatchBits(step.levels) & mask));
                if (step.full) {
                    latch_ = value;
                    WriteLatch(latch_);
                } else {
                    LoadLatch(value);
                }
                break;
            }
            case LineStep::Kind::Sample:
                samples.push_back((In(kStatusPort) & kStatusSerialIn) ? 1 : 0);
                break;
            case LineStep::Kind::ClockOut:
                ClockOutBits(step.value, step.count);
                break;
            case LineStep::Kind::ClockIn:
                for (int b = 0; b < step.count; ++b)
                    samples.push_back(
                        static_cast<std::uint8_t>(step.afterFall ? SampleAfterFall() : SampleAfterRise()));
                break;
        }
    }
    return samples;
}

}  // namespace hardware
