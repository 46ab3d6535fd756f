// Playback of the second master's transfers, and the demo scenario: a main
// processor that keeps its settings in the 24C16 and programs the register
// devices, acting on the bench's slaves for real.
#include "simulator/second_master.h"

#include <algorithm>
#include <utility>

#include "simulator/bus_waveform.h"

namespace simulator {
namespace {

// Runs one transfer against the bus slaves and records it as the bus shows it.
class DemoRecorder {
public:
    DemoRecorder(I2cBus& bus, std::int64_t nowUs) : bus_(bus), nowUs_(nowUs) {
        bus_.sclHz = BusWaveform::kDefaultSclHz;
    }

    bool Address(std::uint8_t address, bool repeated) {
        events_.push_back({repeated ? BusEvent::Kind::RepeatedStart : BusEvent::Kind::Start, 0, true});
        return Record(address, bus_.Address(address, nowUs_));
    }
    bool Send(std::uint8_t byte) { return Record(byte, bus_.Write(byte, false)); }
    void Receive(int count) {
        // The master acknowledges every byte but the last.
        for (int i = 0; i < count; ++i) {
            const bool ack = i + 1 < count;
            Record(bus_.Read(-1, ack ? BusWaveform::Ack::Low : BusWaveform::Ack::High), ack);
        }
    }
    BusTransfer Stop() {
        bus_.Stop(nowUs_);
        events_.push_back({BusEvent::Kind::Stop, 0, true});
        return std::move(events_);
    }

private:
    bool Record(std::uint8_t byte, bool acked) {
        events_.push_back({BusEvent::Kind::Byte, byte, acked});
        return acked;
    }
    I2cBus& bus_;
    std::int64_t nowUs_;
    BusTransfer events_;
};

}  // namespace

void SecondMaster::SetSource(SimulatedBench::Traffic kind, std::vector<BusTransfer> capture,
                             std::vector<std::uint64_t> starts, std::int64_t rateHz) {
    kind_ = kind;
    capture_ = kind == SimulatedBench::Traffic::Capture ? std::move(capture) : std::vector<BusTransfer>{};
    const bool paced = rateHz > 0 && starts.size() == capture_.size() && !capture_.empty();
    captureStarts_ = paced ? std::move(starts) : std::vector<std::uint64_t>{};
    captureRateHz_ = paced ? rateHz : 0;
    captureNext_ = 0;
    std::erase_if(waiting_, [](const Pending& p) { return p.fromCapture; });
}

void SecondMaster::Restart(std::int64_t nowUs) {
    Interrupt();  // a queued transfer under way is played again, not lost
    std::erase_if(waiting_, [](const Pending& p) { return p.fromCapture; });
    captureNext_ = 0;
    captureBaseUs_ = nowUs;
    demoDueUs_ = nowUs;
    busFreeNs_ = 0;
}

bool SecondMaster::TryBegin() {
    if (!HasWaiting() && kind_ != SimulatedBench::Traffic::Demo) return false;
    // The next transfer waits until the last one has left the bus.
    const std::int64_t nowUs = clock_.NowUs();
    if (nowUs * 1000 < busFreeNs_) return false;
    if (waiting_.empty()) {
        if (captureNext_ < capture_.size()) {
            if (!captureStarts_.empty()) {
                // Paced: the transfer's own time, its first sample over the rate.
                const auto rate = static_cast<std::uint64_t>(captureRateHz_);
                const std::uint64_t sample = captureStarts_[captureNext_];
                const auto dueUs =
                    captureBaseUs_ +
                    static_cast<std::int64_t>(sample / rate * 1'000'000 + sample % rate * 1'000'000 / rate);
                if (nowUs < dueUs) return false;
            }
            waiting_.push_back({capture_[captureNext_++], true});
        } else if (kind_ == SimulatedBench::Traffic::Demo) {
            if (nowUs < demoDueUs_) return false;
            demoDueUs_ = nowUs + kDemoIntervalUs;
            waiting_.push_back({MakeDemoTransfer(nowUs), false, true});
        }
    }
    if (waiting_.empty()) return false;
    current_ = std::move(waiting_.front());
    waiting_.pop_front();
    active_ = true;
    beganUs_ = nowUs;
    cursorNs_ = nowUs * 1000;
    index_ = 0;
    addressNext_ = true;
    bytePending_ = false;
    return true;
}

std::int64_t SecondMaster::EventNs(BusEvent::Kind kind) const {
    const BusWaveform::Lengths lengths = BusWaveform::SymbolLengths(BusWaveform::kDefaultSclHz);
    switch (kind) {
        case BusEvent::Kind::Start:
            return lengths.startNs;
        case BusEvent::Kind::RepeatedStart:
            return lengths.repeatedStartNs;
        case BusEvent::Kind::Byte:
            return lengths.byteNs;
        case BusEvent::Kind::Stop:
            return lengths.stopNs;
    }
    return 0;
}

std::uint8_t SecondMaster::ReadStatus() {
    if (bytePending_) return status_;  // the byte waits for its S0 read
    const BusTransfer& events = current_.transfer;
    const std::int64_t nowNs = clock_.NowUs() * 1000;
    while (index_ < events.size()) {
        const BusEvent& event = events[index_];
        // A byte shows once its acknowledge is clocked, the STOP once it is on the lines.
        const std::int64_t endNs = cursorNs_ + EventNs(event.kind);
        const bool shown = event.kind == BusEvent::Kind::Byte || event.kind == BusEvent::Kind::Stop;
        if (shown && nowNs < endNs) return kByteUnderWay;
        cursorNs_ = endNs;
        ++index_;
        switch (event.kind) {
            case BusEvent::Kind::Start:
            case BusEvent::Kind::RepeatedStart:
                addressNext_ = true;
                break;
            case BusEvent::Kind::Byte:
                byte_ = event.byte;
                status_ = addressNext_ ? kAddressByte : event.acked ? kAckedByte : kNackedByte;
                addressNext_ = false;
                bytePending_ = true;
                return status_;
            case BusEvent::Kind::Stop:
                Finish();
                return kBusFreed;
        }
    }
    // A transfer cut short in its file ends as if STOP followed.
    const std::int64_t stopNs = EventNs(BusEvent::Kind::Stop);
    if (nowNs < cursorNs_ + stopNs) return kByteUnderWay;
    cursorNs_ += stopNs;
    Finish();
    return kBusFreed;
}

std::uint8_t SecondMaster::ReadData() {
    if (bytePending_) {
        bytePending_ = false;
        lastByte_ = byte_;
    }
    return lastByte_;
}

void SecondMaster::Interrupt() {
    if (!active_) return;
    active_ = false;
    bytePending_ = false;
    waiting_.push_front(std::move(current_));
}

void SecondMaster::Finish() {
    active_ = false;
    bytePending_ = false;
    busFreeNs_ = cursorNs_;
    ++played_;
    BusWaveform* waveform = bus_.Waveform();
    if (current_.onBus || waveform == nullptr) return;
    // A queued or captured transfer drives no slave, but it is on the lines
    // all the same, at the usual 100 kHz; one cut short in its file ends with
    // a STOP.
    constexpr int kHz = BusWaveform::kDefaultSclHz;
    bool held = false;
    for (const BusEvent& event : current_.transfer) {
        switch (event.kind) {
            case BusEvent::Kind::Start:
            case BusEvent::Kind::RepeatedStart:
                waveform->Start(held, held ? -1 : beganUs_, kHz);
                held = true;
                break;
            case BusEvent::Kind::Byte:
                if (held)
                    waveform->Byte(event.byte, event.acked ? BusWaveform::Ack::Low : BusWaveform::Ack::High,
                                   -1, kHz);
                break;
            case BusEvent::Kind::Stop:
                if (held) waveform->Stop(-1, kHz);
                held = false;
                break;
        }
    }
    if (held) waveform->Stop(-1, kHz);
}

BusTransfer SecondMaster::MakeDemoTransfer(std::int64_t nowUs) {
    const std::uint32_t step = demoStep_++;
    const std::uint32_t round = step / 6;
    const std::vector<std::uint8_t> devices = bus_.RegisterDeviceAddresses();
    DemoRecorder bus(bus_, nowUs);
    // The processor keeps its settings in the last block, 0xE0..0xFF; it
    // reads the rest of the chip but never writes it.
    constexpr std::uint8_t kSettingsBlock = 0xAE;
    auto eepromRead = [&](std::uint8_t device, std::uint8_t word, int count) {
        if (bus.Address(device, false) && bus.Send(word) && bus.Address(device | 1, true)) bus.Receive(count);
    };
    auto registerDevice = [&](std::uint32_t n) { return devices[n % devices.size()]; };
    switch (step % 6) {
        case 0:
            eepromRead(static_cast<std::uint8_t>(0xA0 | ((round % 8) << 1)),
                       static_cast<std::uint8_t>((round * 16) & 0xF0), 8);
            break;
        case 2:
            if (bus.Address(kSettingsBlock, false)) {
                if (round % 4 == 3) {
                    // A page write of four bytes.
                    if (bus.Send(static_cast<std::uint8_t>(0xE0 + 4 * (round / 4 % 4)))) {
                        for (std::uint8_t i = 0; i < 4; ++i) {
                            if (!bus.Send(static_cast<std::uint8_t>(round + i))) break;
                        }
                    }
                } else if (bus.Send(static_cast<std::uint8_t>(0xF0 + round % 16))) {
                    bus.Send(static_cast<std::uint8_t>(round * 7));
                }
            }
            break;
        case 4:
            eepromRead(kSettingsBlock, 0xF0, 4);
            break;
        default:
            if (devices.empty()) {
                bus.Address(0x3A, false);  // a probe of an address nobody answers
            } else if (step % 6 == 3) {
                const std::uint8_t device = registerDevice(round + 1);
                if (bus.Address(device, false) && bus.Send(static_cast<std::uint8_t>(round % 4)) &&
                    bus.Address(device | 1, true))
                    bus.Receive(2);
            } else {
                const std::uint8_t device = registerDevice(round + (step % 6 == 5 ? 1 : 0));
                if (bus.Address(device, false) && bus.Send(static_cast<std::uint8_t>(round % 4)))
                    bus.Send(static_cast<std::uint8_t>(round * 29 + 7));
            }
            break;
    }
    return bus.Stop();
}

}  // namespace simulator
