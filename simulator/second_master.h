// The second bus master: another processor on the technician's bus whose
// transfers the PCF8584 captures while the monitor's set-up is in force. Its
// transfers come from the test API, a capture file or a demo scenario. Each
// one is on the bus in bench time at 100 kHz, as the waveform draws it: a
// transfer begins no sooner than the bus is free after the one before, and
// each byte reaches the controller when its acknowledge has been clocked, so
// the program sees the bytes when the bus carried them. A transfer waits for
// the program to look (no byte is ever lost), and one that the program
// abandons half way is played again from its START.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "simulator/bench_clock.h"
#include "simulator/i2c_bus.h"
#include "simulator/simulated_bench.h"

namespace simulator {

class SecondMaster {
public:
    // Status values the capture reads (PCF8584 S1 as the monitor sees it;
    // bits as in the kernel's drivers/i2c/algos/i2c-algo-pcf.h: PIN 0x80,
    // LRB 0x08, AAS 0x04, BB 0x01, the last set while the bus is free).
    static constexpr std::uint8_t kTransferBegins = 0x84;  // PIN, AAS, bus busy
    static constexpr std::uint8_t kAddressByte = 0x04;     // PIN=0, AAS
    static constexpr std::uint8_t kNackedByte = 0x08;      // PIN=0, LRB
    static constexpr std::uint8_t kAckedByte = 0x00;
    static constexpr std::uint8_t kBusFreed = 0x81;      // PIN, bus free after STOP
    static constexpr std::uint8_t kByteUnderWay = 0x80;  // PIN, bus busy: no byte yet
    static constexpr std::int64_t kDemoIntervalUs = 250'000;

    SecondMaster(I2cBus& bus, BenchClock& clock) : bus_(bus), clock_(clock) {}

    // `starts` (each transfer's first sample) and `rateHz` pace a capture:
    // a transfer begins no sooner than its first sample over the rate after
    // the monitor's start. Without them the capture plays back to back.
    void SetSource(SimulatedBench::Traffic kind, std::vector<BusTransfer> capture,
                   std::vector<std::uint64_t> starts = {}, std::int64_t rateHz = 0);
    void Queue(const BusTransfer& transfer) { waiting_.push_back({transfer, false}); }
    // The monitor (re)started: the capture plays again from its beginning and
    // the demo speaks at once.
    void Restart(std::int64_t nowUs);

    // True when a transfer can begin without consulting the clock.
    bool HasWaiting() const { return !waiting_.empty() || captureNext_ < capture_.size(); }
    // Begins the next transfer if one is due (the demo asks the clock).
    bool TryBegin();
    bool Active() const { return active_; }
    std::uint8_t ReadStatus();
    std::uint8_t ReadData();
    // The monitor set-up was left: the transfer in progress will be played
    // again from its START.
    void Interrupt();
    std::uint64_t Played() const { return played_; }
    // A capture is the source and every transfer of it has been played.
    bool CapturePlayedOut() const {
        return kind_ == SimulatedBench::Traffic::Capture && captureNext_ >= capture_.size() && !active_ &&
               std::none_of(waiting_.begin(), waiting_.end(), [](const Pending& p) { return p.fromCapture; });
    }

private:
    struct Pending {
        BusTransfer transfer;
        bool fromCapture = false;
        bool onBus = false;  // the demo's: played on the bus's slaves, which drew the waveform
    };
    BusTransfer MakeDemoTransfer(std::int64_t nowUs);
    void Finish();
    std::int64_t EventNs(BusEvent::Kind kind) const;

    I2cBus& bus_;
    BenchClock& clock_;
    SimulatedBench::Traffic kind_ = SimulatedBench::Traffic::None;
    std::deque<Pending> waiting_;
    std::vector<BusTransfer> capture_;
    std::size_t captureNext_ = 0;
    std::vector<std::uint64_t> captureStarts_;  // empty: not paced
    std::int64_t captureRateHz_ = 0;
    std::int64_t captureBaseUs_ = 0;  // the monitor's start, from which a paced capture counts
    std::int64_t demoDueUs_ = 0;
    std::uint32_t demoStep_ = 0;

    bool active_ = false;
    Pending current_;
    std::int64_t beganUs_ = 0;
    std::int64_t cursorNs_ = 0;   // where the transfer under way stands on the bus
    std::int64_t busFreeNs_ = 0;  // when the last transfer played let go of the bus
    std::size_t index_ = 0;
    bool addressNext_ = false;
    bool bytePending_ = false;
    std::uint8_t status_ = 0;
    std::uint8_t byte_ = 0;
    std::uint8_t lastByte_ = 0;
    std::uint64_t played_ = 0;
};

}  // namespace simulator
