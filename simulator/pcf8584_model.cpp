// The PCF8584 model: register select, master transfers and the capture of
// the second master, as hardware-notes describe the chip.
#include "simulator/pcf8584_model.h"

namespace simulator {

void Pcf8584::PowerUp() {
    if (mode_ != Mode::Idle) bus_.Abandon();
    control_ = kPin;
    own_ = 0;
    clock2_ = 0;
    vector_ = 0;
    s0_ = 0;
    pin_ = true;
    lrb_ = false;
    mode_ = Mode::Idle;
    restartArmed_ = false;
    awaitingFirstRx_ = false;
    slaveReleased_ = false;
    inFlight_ = false;
    UpdateSetup();
}

Pcf8584::Reg Pcf8584::Selected() const {
    if (control_ & kEso) return (control_ & kEs2) ? Reg::S3 : Reg::S0;
    if (control_ & kEs1) return Reg::S2;
    if (control_ & kEs2) return Reg::S3;
    return Reg::S0Own;
}

bool Pcf8584::BusBusy() const {
    if (heldBusy_ || master_.Active()) return true;
    // The program polls the bus-free flag between the acknowledged read
    // address and the START that repeats it, and its reads only work if the
    // bus shows free there. The data sheet was not at hand for this state, so
    // the bench follows the program: free while the controller, addressed for
    // reading, has not yet started a reception; busy at any other moment of
    // its own transfer.
    return mode_ != Mode::Idle && !awaitingFirstRx_;
}

std::uint8_t Pcf8584::Status() const {
    return static_cast<std::uint8_t>((pin_ ? 0x80 : 0) | (lrb_ ? 0x08 : 0) | (BusBusy() ? 0 : 0x01));
}

void Pcf8584::SetHeldBusy(bool busy) {
    heldBusy_ = busy;
    if (busy) master_.Interrupt();
}

std::uint8_t Pcf8584::ReadS1() {
    if (!(control_ & kEso)) return control_;
    if (master_.Active()) return master_.ReadStatus();
    if (inFlight_) {
        if (clock_.NowUs() >= inFlightEndUs_) CompleteByte();
        return Status();
    }
    if (inForce_ && !heldBusy_ && master_.TryBegin()) return SecondMaster::kTransferBegins;
    return Status();
}

void Pcf8584::WriteS1(std::uint8_t value) {
    control_ = value;
    if (!(value & kEso)) {
        // Interface off: the controller lets go of the bus without a STOP.
        if (mode_ != Mode::Idle) bus_.Abandon();
        mode_ = Mode::Idle;
        restartArmed_ = false;
        awaitingFirstRx_ = false;
        inFlight_ = false;
        pin_ = true;
        lrb_ = false;
        UpdateSetup();
        return;
    }
    const bool sta = (value & kSta) != 0;
    const bool sto = (value & kSto) != 0;
    if ((sta || sto) && inFlight_) CompleteByte();  // the byte under way finishes first
    if (value & kPin) {
        pin_ = true;
        lrb_ = false;
    }
    if (sto) {
        if (mode_ != Mode::Idle) Stop();
        if (sta) Start();  // STOP then START: data chaining
    } else if (sta) {
        if (mode_ == Mode::Idle) {
            Start();
        } else if (value & kPin) {
            SendAddress(s0_);  // repeated START with the address already in S0
        } else {
            restartArmed_ = true;
        }
    }
    UpdateSetup();
}

std::uint8_t Pcf8584::ReadS0() {
    switch (Selected()) {
        case Reg::S0Own:
            return own_;
        case Reg::S2:
            return static_cast<std::uint8_t>(clock2_ & 0x1F);  // only the low five bits exist
        case Reg::S3:
            return vector_;
        case Reg::S0:
            break;
    }
    if (master_.Active()) {
        s0_ = master_.ReadData();
        return s0_;
    }
    if (inFlight_) return s0_;  // read before PIN fell: stale
    const std::uint8_t value = s0_;
    // Every S0 read starts the next reception (the first one is the dummy),
    // unless a repeated START is armed: then it hands over the last byte
    // received, and the next S0 write sends Sr and the address.
    if (mode_ == Mode::Receive && !restartArmed_) {
        awaitingFirstRx_ = false;
        const bool masterAcks = (control_ & kAck) != 0;
        const std::int64_t now = WaveformNowUs();
        const BusWaveform::Ack ack = masterAcks ? BusWaveform::Ack::Low : BusWaveform::Ack::High;
        const std::uint8_t received = slaveReleased_ ? bus_.ReadReleased(now, ack) : bus_.Read(now, ack);
        if (!masterAcks) slaveReleased_ = true;
        BeginByte(!masterAcks, true, received);
    }
    return value;
}

void Pcf8584::WriteS0(std::uint8_t value) {
    switch (Selected()) {
        case Reg::S0Own:
            own_ = value;
            UpdateSetup();
            return;
        case Reg::S2:
            clock2_ = value;
            return;
        case Reg::S3:
            vector_ = value;
            return;
        case Reg::S0:
            break;
    }
    if (inFlight_) {
        s0_ = value;  // the controller is busy with the byte under way: this one never goes out
        return;
    }
    if (restartArmed_) {
        SendAddress(value);
        return;
    }
    s0_ = value;
    if (mode_ == Mode::Transmit) BeginByte(!bus_.Write(value, true, WaveformNowUs()));
}

void Pcf8584::Start() {
    if (heldBusy_ || master_.Active()) return;  // no START on a busy bus; PIN stays 1
    SendAddress(s0_);
}

void Pcf8584::SendAddress(std::uint8_t address) {
    restartArmed_ = false;
    s0_ = address;
    bus_.sclHz = SclHz();
    const bool ack = bus_.Address(address, clock_.NowUs());
    // The R/W bit sets the direction whether or not a slave answered.
    mode_ = (address & 0x01) ? Mode::Receive : Mode::Transmit;
    awaitingFirstRx_ = ack && mode_ == Mode::Receive;
    slaveReleased_ = !ack;
    BeginByte(!ack);
}

void Pcf8584::BeginByte(bool lrb, bool received, std::uint8_t value) {
    inFlight_ = true;
    inFlightLrb_ = lrb;
    inFlightReceived_ = received;
    inFlightValue_ = value;
    inFlightEndUs_ = clock_.NowUs() + ByteTimeUs();
    pin_ = true;
}

std::int64_t Pcf8584::WaveformNowUs() {
    // Only a recording bus needs the time of a byte; otherwise the clock is left alone.
    return bus_.Waveform() ? clock_.NowUs() : -1;
}

int Pcf8584::SclHz() const {
    // S2 bits 1..0 with the 12 MHz input clock: 90, 45, 11 and 1.5 kHz.
    static constexpr int kSclHz[4] = {90'000, 45'000, 11'000, 1'500};
    return kSclHz[clock2_ & 3];
}

std::int64_t Pcf8584::ByteTimeUs() const { return 9 * 1'000'000 / SclHz(); }

void Pcf8584::CompleteByte() {
    inFlight_ = false;
    pin_ = false;
    lrb_ = inFlightLrb_;
    if (inFlightReceived_) s0_ = inFlightValue_;
}

void Pcf8584::Stop() {
    bus_.Stop(clock_.NowUs());
    mode_ = Mode::Idle;
    restartArmed_ = false;
    awaitingFirstRx_ = false;
    pin_ = true;
    lrb_ = false;
}

void Pcf8584::UpdateSetup() {
    const bool inForce = own_ == kMonitorOwnAddress && control_ == kMonitorControl && mode_ == Mode::Idle;
    if (inForce == inForce_) return;
    inForce_ = inForce;
    const std::int64_t now = clock_.NowUs();
    if (!inForce) {
        master_.Interrupt();
        leftSetupUs_ = now;
        return;
    }
    // The monitor starting afresh hears a capture from its beginning.
    if (!everInForce_ || now - leftSetupUs_ >= kMonitorGapUs) master_.Restart(now);
    everInForce_ = true;
}

}  // namespace simulator
