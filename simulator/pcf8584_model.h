// The PCF8584 at register level: S1 (control on write, status on read), S0
// and the registers the last S1 write selects for it (own address S0', clock
// S2, vector S3); master transmitter and receiver on the bench's I2C bus; and
// the capture of the second master's transfers while the bus monitor's
// set-up (own address 0x00, S1 = 0xC1) is in force.
//
// A byte the controller puts on the bus (or starts receiving) takes its nine
// bit times at the SCL rate set in S2 (90 kHz: 100 us); PIN stays 1 until
// then, so a driver that does not wait for PIN reads stale data here too, and
// a driver that polls gets as many polls as a byte takes on the adapter.
// Everything else (START, STOP, the bus-free flag) follows the bus at once.
#pragma once

#include <cstdint>

#include "simulator/bench_clock.h"
#include "simulator/i2c_bus.h"
#include "simulator/second_master.h"

namespace simulator {

class Pcf8584 {
public:
    // S1 control bits.
    static constexpr std::uint8_t kPin = 0x80;
    static constexpr std::uint8_t kEso = 0x40;
    static constexpr std::uint8_t kEs1 = 0x20;
    static constexpr std::uint8_t kEs2 = 0x10;
    static constexpr std::uint8_t kSta = 0x04;
    static constexpr std::uint8_t kSto = 0x02;
    static constexpr std::uint8_t kAck = 0x01;
    // The monitor's set-up: what InitController leaves behind.
    static constexpr std::uint8_t kMonitorControl = 0xC1;
    static constexpr std::uint8_t kMonitorOwnAddress = 0x00;
    // Out of the monitor set-up for this long, the monitor counts as started
    // afresh when it returns. Between two poll passes the set-up is left for
    // a few ms only (the next pass's reset), and so it is around the send
    // console's transfers, which configure the port and reset the controller
    // every time; a person stopping and starting the monitor takes longer.
    static constexpr std::int64_t kMonitorGapUs = 50'000;

    Pcf8584(I2cBus& bus, SecondMaster& master, BenchClock& clock)
        : bus_(bus), master_(master), clock_(clock) {}

    void PowerUp();
    std::uint8_t ReadS1();
    void WriteS1(std::uint8_t value);
    std::uint8_t ReadS0();
    void WriteS0(std::uint8_t value);

    // True when an S1 read changes nothing and needs no clock: it would
    // return QuietS1(). The bench answers such reads without calling in.
    bool Quiet() const {
        return !(control_ & kEso) ||
               (!master_.Active() && !inFlight_ && !(inForce_ && !heldBusy_ && master_.HasWaiting()));
    }
    std::uint8_t QuietS1() const { return (control_ & kEso) ? Status() : control_; }

    void SetHeldBusy(bool busy);
    bool MonitorSetupInForce() const { return inForce_; }
    std::uint8_t OwnAddress() const { return own_; }
    std::uint8_t ClockRegister() const { return clock2_; }

private:
    enum class Mode { Idle, Transmit, Receive };
    enum class Reg { S0, S0Own, S2, S3 };

    Reg Selected() const;
    bool BusBusy() const;
    std::uint8_t Status() const;
    void Start();
    void SendAddress(std::uint8_t address);
    void BeginByte(bool lrb, bool received = false, std::uint8_t value = 0);
    void CompleteByte();
    int SclHz() const;
    std::int64_t WaveformNowUs();
    std::int64_t ByteTimeUs() const;
    void Stop();
    void UpdateSetup();

    I2cBus& bus_;
    SecondMaster& master_;
    BenchClock& clock_;

    std::uint8_t control_ = kPin;  // reads back while ESO=0; 0x80 is the reset status
    std::uint8_t own_ = 0;
    std::uint8_t clock2_ = 0;
    std::uint8_t vector_ = 0;
    std::uint8_t s0_ = 0;
    bool pin_ = true;
    bool lrb_ = false;
    bool heldBusy_ = false;

    Mode mode_ = Mode::Idle;
    bool restartArmed_ = false;     // S1 = 0x45 while master: the next S0 write sends Sr + address
    bool awaitingFirstRx_ = false;  // addressed for reading, no reception started yet
    bool slaveReleased_ = false;    // the master NACKed a byte: the slave no longer drives data
    bool inFlight_ = false;
    bool inFlightLrb_ = false;
    bool inFlightReceived_ = false;
    std::uint8_t inFlightValue_ = 0;
    std::int64_t inFlightEndUs_ = 0;

    bool inForce_ = false;
    bool everInForce_ = false;
    std::int64_t leftSetupUs_ = 0;
};

}  // namespace simulator
