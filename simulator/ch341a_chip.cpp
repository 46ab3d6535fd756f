// The CH341A's command streams; see ch341a_chip.h.
#include "simulator/ch341a_chip.h"

#include <algorithm>

#include "simulator/latch_edges.h"

namespace simulator {
namespace {

constexpr int kSpeedsHz[4] = {20'000, 100'000, 400'000, 750'000};
// The pins the socket is wired to.
constexpr std::uint8_t kSelect = 0x01;  // D0
constexpr std::uint8_t kClock = 0x08;   // D3
constexpr std::uint8_t kMosi = 0x20;    // D5
constexpr std::uint8_t kMiso = 0x80;    // D7

std::uint8_t Bit(int bit, bool high) { return high ? static_cast<std::uint8_t>(1u << bit) : 0; }

}  // namespace

int Ch341aChip::I2cSpeedHz() const { return kSpeedsHz[speed_]; }

void Ch341aChip::Out(std::span<const std::uint8_t> data) {
    for (std::size_t at = 0; at < data.size(); at += kPacketBytes) {
        // A packet answers at most a packet's worth; the chip drops the rest.
        const std::size_t before = answers_.size();
        Packet(data.subspan(at, std::min(kPacketBytes, data.size() - at)));
        if (answers_.size() > before + kPacketBytes) answers_.resize(before + kPacketBytes);
    }
    // The round trip is the host's wait for the answers, whichever OUTs
    // brought them; an OUT that brings none is waited for on its own.
    if (answers_.empty()) {
        Trip();
    } else {
        tripOwed_ = true;
    }
}

std::size_t Ch341aChip::In(std::span<std::uint8_t> buffer) {
    if (answers_.empty()) return 0;
    if (tripOwed_) Trip();
    std::size_t given = 0;
    while (given < buffer.size() && !answers_.empty()) {
        buffer[given++] = answers_.front();
        answers_.pop_front();
    }
    return given;
}

void Ch341aChip::Trip() {
    ++roundTrips_;
    tripOwed_ = false;
    bench_->Spend(kRoundTripUs);
}

void Ch341aChip::Packet(std::span<const std::uint8_t> packet) {
    if (packet.empty()) return;
    ++packets_;
    const auto rest = packet.subspan(1);
    switch (packet[0]) {
        case 0xAA:
            I2c(rest);
            break;
        case 0xA8:
            Spi(rest);
            break;
        case 0xAB:
            PinStream(rest);
            break;
        default:
            break;  // padding, or a command this model does not take
    }
}

void Ch341aChip::I2c(std::span<const std::uint8_t> commands) {
    I2cBus& bus = bench_->Bus();
    for (std::size_t k = 0; k < commands.size(); ++k) {
        const std::uint8_t command = commands[k];
        if (command == 0x00) return;  // END
        if (command == 0x74) {        // START
            SpendBits(1);
            addressNext_ = true;
        } else if (command == 0x75) {  // STOP
            SpendBits(1);
            bus.Stop(bench_->NowUs());
            addressNext_ = false;
        } else if ((command & 0xE0) == 0x60 && (command & 0x1C) == 0) {  // SET
            speed_ = command & 0x03;
        } else if ((command & 0xE0) == 0x40) {  // US
            SpendNs(static_cast<std::int64_t>(command & 0x0F) * 1000);
        } else if ((command & 0xC0) == 0x80) {  // OUT
            const std::size_t count = command & 0x3F;
            const std::size_t bytes = std::min(count == 0 ? std::size_t{1} : count, commands.size() - k - 1);
            for (std::size_t b = 0; b < bytes; ++b) {
                const std::uint8_t byte = commands[++k];
                SpendBits(9);
                bool ack = false;
                if (addressNext_) {
                    bus.sclHz = kSpeedsHz[speed_];
                    ack = bus.Address(byte, bench_->NowUs());
                    addressNext_ = false;
                } else {
                    ack = bus.Write(byte, true);
                }
                if (count == 0) answers_.push_back(ack ? 0x00 : 0x80);
            }
        } else if ((command & 0xC0) == 0xC0) {  // IN
            const std::size_t count = command & 0x3F;
            for (std::size_t b = 0; b < std::max(count, std::size_t{1}); ++b) {
                SpendBits(9);
                answers_.push_back(bus.Read());
            }
        } else {
            return;  // not an I2C sub-command: the packet ends here
        }
    }
}

void Ch341aChip::Spi(std::span<const std::uint8_t> data) {
    const std::int64_t halfBitNs = 500'000'000LL / kSpiClockHz;
    for (const std::uint8_t byte : data) {
        // The chip shifts least significant bit first.
        std::uint8_t in = 0;
        for (int b = 0; b < 8; ++b) {
            const auto low =
                static_cast<std::uint8_t>(((byte >> b) & 1u ? pins_ | kMosi : pins_ & ~kMosi) & ~kClock);
            SetPins(low);
            SpendNs(halfBitNs);
            if (MisoHigh()) in = static_cast<std::uint8_t>(in | 1u << b);  // sampled at the rising edge
            SetPins(static_cast<std::uint8_t>(low | kClock));
            SpendNs(halfBitNs);
        }
        SetPins(static_cast<std::uint8_t>(pins_ & ~kClock));
        answers_.push_back(in);
    }
}

void Ch341aChip::PinStream(std::span<const std::uint8_t> commands) {
    for (const std::uint8_t command : commands) {
        if (command == 0x20) return;  // END
        SpendNs(kPinStepNs);
        switch (command & 0xC0) {
            case 0x00:  // IN
                answers_.push_back(static_cast<std::uint8_t>((pins_ & 0x3F) | (MisoHigh() ? kMiso : 0)));
                break;
            case 0x40:  // DIR
                directions_ = command & 0x3F;
                break;
            case 0x80:  // OUT: only the pins set as outputs move
                SetPins(static_cast<std::uint8_t>((pins_ & ~directions_) | (command & directions_)));
                break;
            default:  // US
                SpendNs(static_cast<std::int64_t>(command & 0x3F) * 1000);
                break;
        }
    }
}

void Ch341aChip::SetPins(std::uint8_t pins) {
    pins_ = static_cast<std::uint8_t>(pins & 0x3F);
    const auto latch =
        static_cast<std::uint8_t>(Bit(kSocketSelect, pins & kSelect) | Bit(kSocketClock, pins & kClock) |
                                  Bit(kSocketData, pins & kMosi) | Bit(kSocketOrg, orgHigh_));
    if (SerialChip* chip = bench_->SocketChip()) chip->OnLatch(latch, bench_->NowUs());
}

bool Ch341aChip::MisoHigh() {
    const SerialChip* chip = bench_->SocketChip();
    return chip == nullptr || chip->DataOut(bench_->NowUs());
}

void Ch341aChip::SpendNs(std::int64_t ns) {
    owedNs_ += ns;
    if (owedNs_ < 1000) return;
    bench_->Spend(owedNs_ / 1000);
    owedNs_ %= 1000;
}

void Ch341aChip::SpendBits(int bits) {
    SpendNs(static_cast<std::int64_t>(bits) * 1'000'000'000LL / kSpeedsHz[speed_]);
}

}  // namespace simulator
