// The bench's CH341A programmers; see fake_ch341a.h.
#include "simulator/fake_ch341a.h"

#include <algorithm>

#include "simulator/latch_edges.h"

namespace simulator {
namespace {

constexpr std::size_t kPacketBytes = 32;
constexpr std::uint16_t kVendor = 0x1a86;
constexpr std::uint16_t kProduct = 0x5512;
constexpr std::uint8_t kEndpointOut = 0x02;
constexpr std::uint8_t kEndpointIn = 0x82;
constexpr int kSpeedsHz[4] = {20'000, 100'000, 400'000, 750'000};
// The pins the socket is wired to.
constexpr std::uint8_t kSelect = 0x01;  // D0
constexpr std::uint8_t kClock = 0x08;   // D3
constexpr std::uint8_t kMosi = 0x20;    // D5
constexpr std::uint8_t kMiso = 0x80;    // D7

std::uint8_t Bit(int bit, bool high) { return high ? static_cast<std::uint8_t>(1u << bit) : 0; }

}  // namespace

FakeCh341a::FakeCh341a(SimulatedBench& bench, Config config) { (void)Add(bench, config); }

int FakeCh341a::Add(SimulatedBench& bench, Config config) {
    // A programmer plugged in where another is gets the next free address.
    const auto taken = [&](int bus, int address) {
        return std::any_of(programmers_.begin(), programmers_.end(), [&](const Programmer& other) {
            return other.config.bus == bus && other.config.address == address;
        });
    };
    while (taken(config.bus, config.address)) ++config.address;
    Programmer p;
    p.bench = &bench;
    p.config = config;
    p.driverBound = config.kernelDriverBound;
    if (config.chipNoStore) bench.SetChipNoStore(true);
    programmers_.push_back(std::move(p));
    return static_cast<int>(programmers_.size()) - 1;
}

int FakeCh341a::I2cSpeedHz(int index) const { return kSpeedsHz[At(index).speed]; }

FakeCh341a::Programmer* FakeCh341a::ByHandle(Handle handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > programmers_.size()) return nullptr;
    Programmer& p = programmers_[static_cast<std::size_t>(handle) - 1];
    return p.open ? &p : nullptr;
}

std::vector<platform::UsbDeviceInfo> FakeCh341a::Find(std::uint16_t vendor, std::uint16_t product) {
    std::vector<platform::UsbDeviceInfo> found;
    if (vendor != kVendor || product != kProduct) return found;
    for (const Programmer& p : programmers_)
        found.push_back({p.config.bus, p.config.address, vendor, product});
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.bus != b.bus ? a.bus < b.bus : a.address < b.address;
    });
    return found;
}

platform::UsbStatus FakeCh341a::Open(const platform::UsbDeviceInfo& device, Handle& handle) {
    for (std::size_t k = 0; k < programmers_.size(); ++k) {
        Programmer& p = programmers_[k];
        if (p.config.bus != device.bus || p.config.address != device.address) continue;
        if (p.config.accessDenied) return platform::UsbStatus::AccessDenied;
        if (p.open) return platform::UsbStatus::Busy;
        p.open = true;
        handle = static_cast<Handle>(k + 1);
        return platform::UsbStatus::Ok;
    }
    return platform::UsbStatus::NotFound;
}

bool FakeCh341a::KernelDriverActive(Handle handle, int interface) {
    const Programmer* p = ByHandle(handle);
    return p && interface == 0 && p->driverBound;
}

platform::UsbStatus FakeCh341a::DetachKernelDriver(Handle handle, int interface) {
    Programmer* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (!p->driverBound) return platform::UsbStatus::NotFound;
    p->driverBound = false;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::AttachKernelDriver(Handle handle, int interface) {
    Programmer* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (p->claimed || p->driverBound) return platform::UsbStatus::Busy;
    p->driverBound = true;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::ClaimInterface(Handle handle, int interface) {
    Programmer* p = ByHandle(handle);
    if (!p || interface != 0) return platform::UsbStatus::NotFound;
    if (p->driverBound) return platform::UsbStatus::Busy;
    p->claimed = true;
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::ReleaseInterface(Handle handle, int interface) {
    Programmer* p = ByHandle(handle);
    if (!p || interface != 0 || !p->claimed) return platform::UsbStatus::NotFound;
    p->claimed = false;
    return platform::UsbStatus::Ok;
}

void FakeCh341a::Close(Handle handle) {
    Programmer* p = ByHandle(handle);
    if (!p) return;
    p->open = false;
    p->claimed = false;
    p->answers.clear();
}

platform::UsbStatus FakeCh341a::BulkOut(Handle handle, std::uint8_t endpoint,
                                        std::span<const std::uint8_t> data, int /*timeoutMs*/) {
    Programmer* p = ByHandle(handle);
    if (!p) return platform::UsbStatus::NotFound;
    if (!p->claimed || endpoint != kEndpointOut || data.size() > kMaxBulkOutBytes)
        return platform::UsbStatus::Io;
    for (std::size_t at = 0; at < data.size(); at += kPacketBytes) {
        // A packet answers at most a packet's worth; the chip drops the rest.
        const std::size_t before = p->answers.size();
        Packet(*p, data.subspan(at, std::min(kPacketBytes, data.size() - at)));
        if (p->answers.size() > before + kPacketBytes) p->answers.resize(before + kPacketBytes);
    }
    // The round trip is the host's wait for the answers, whichever OUTs
    // brought them; an OUT that brings none is waited for on its own.
    if (p->answers.empty()) {
        Trip(*p);
    } else {
        p->tripOwed = true;
    }
    return platform::UsbStatus::Ok;
}

platform::UsbStatus FakeCh341a::BulkIn(Handle handle, std::uint8_t endpoint, std::span<std::uint8_t> buffer,
                                       std::size_t& received, int /*timeoutMs*/) {
    received = 0;
    Programmer* p = ByHandle(handle);
    if (!p) return platform::UsbStatus::NotFound;
    if (!p->claimed || endpoint != kEndpointIn) return platform::UsbStatus::Io;
    // Nothing to send: the host waits out its timeout.
    if (p->answers.empty()) return platform::UsbStatus::Timeout;
    if (p->tripOwed) Trip(*p);
    while (received < buffer.size() && !p->answers.empty()) {
        buffer[received++] = p->answers.front();
        p->answers.pop_front();
    }
    return platform::UsbStatus::Ok;
}

void FakeCh341a::Trip(Programmer& p) {
    ++p.roundTrips;
    p.tripOwed = false;
    p.bench->Spend(kRoundTripUs);
}

void FakeCh341a::Packet(Programmer& p, std::span<const std::uint8_t> packet) {
    if (packet.empty()) return;
    ++p.packets;
    const auto rest = packet.subspan(1);
    switch (packet[0]) {
        case 0xAA:
            I2c(p, rest);
            break;
        case 0xA8:
            Spi(p, rest);
            break;
        case 0xAB:
            PinStream(p, rest);
            break;
        default:
            break;  // padding, or a command this model does not take
    }
}

void FakeCh341a::I2c(Programmer& p, std::span<const std::uint8_t> commands) {
    I2cBus& bus = p.bench->Bus();
    for (std::size_t k = 0; k < commands.size(); ++k) {
        const std::uint8_t command = commands[k];
        if (command == 0x00) return;  // END
        if (command == 0x74) {        // START
            SpendBits(p, 1);
            p.addressNext = true;
        } else if (command == 0x75) {  // STOP
            SpendBits(p, 1);
            bus.Stop(p.bench->NowUs());
            p.addressNext = false;
        } else if ((command & 0xE0) == 0x60 && (command & 0x1C) == 0) {  // SET
            p.speed = command & 0x03;
        } else if ((command & 0xE0) == 0x40) {  // US
            SpendNs(p, static_cast<std::int64_t>(command & 0x0F) * 1000);
        } else if ((command & 0xC0) == 0x80) {  // OUT
            const std::size_t count = command & 0x3F;
            const std::size_t bytes = std::min(count == 0 ? std::size_t{1} : count, commands.size() - k - 1);
            for (std::size_t b = 0; b < bytes; ++b) {
                const std::uint8_t byte = commands[++k];
                SpendBits(p, 9);
                bool ack = false;
                if (p.addressNext) {
                    bus.sclHz = kSpeedsHz[p.speed];
                    ack = bus.Address(byte, p.bench->NowUs());
                    p.addressNext = false;
                } else {
                    ack = bus.Write(byte, true);
                }
                if (count == 0) p.answers.push_back(ack ? 0x00 : 0x80);
            }
        } else if ((command & 0xC0) == 0xC0) {  // IN
            const std::size_t count = command & 0x3F;
            for (std::size_t b = 0; b < std::max(count, std::size_t{1}); ++b) {
                SpendBits(p, 9);
                p.answers.push_back(bus.Read());
            }
        } else {
            return;  // not an I2C sub-command: the packet ends here
        }
    }
}

void FakeCh341a::Spi(Programmer& p, std::span<const std::uint8_t> data) {
    const std::int64_t halfBitNs = 500'000'000LL / kSpiClockHz;
    for (const std::uint8_t byte : data) {
        // The chip shifts least significant bit first.
        std::uint8_t in = 0;
        for (int b = 0; b < 8; ++b) {
            const auto low =
                static_cast<std::uint8_t>(((byte >> b) & 1u ? p.pins | kMosi : p.pins & ~kMosi) & ~kClock);
            SetPins(p, low);
            SpendNs(p, halfBitNs);
            if (MisoHigh(p)) in = static_cast<std::uint8_t>(in | 1u << b);  // sampled at the rising edge
            SetPins(p, static_cast<std::uint8_t>(low | kClock));
            SpendNs(p, halfBitNs);
        }
        SetPins(p, static_cast<std::uint8_t>(p.pins & ~kClock));
        p.answers.push_back(in);
    }
}

void FakeCh341a::PinStream(Programmer& p, std::span<const std::uint8_t> commands) {
    for (const std::uint8_t command : commands) {
        if (command == 0x20) return;  // END
        SpendNs(p, kPinStepNs);
        switch (command & 0xC0) {
            case 0x00:  // IN
                p.answers.push_back(static_cast<std::uint8_t>((p.pins & 0x3F) | (MisoHigh(p) ? kMiso : 0)));
                break;
            case 0x40:  // DIR
                p.directions = command & 0x3F;
                break;
            case 0x80:  // OUT: only the pins set as outputs move
                SetPins(p, static_cast<std::uint8_t>((p.pins & ~p.directions) | (command & p.directions)));
                break;
            default:  // US
                SpendNs(p, static_cast<std::int64_t>(command & 0x3F) * 1000);
                break;
        }
    }
}

void FakeCh341a::SetPins(Programmer& p, std::uint8_t pins) {
    p.pins = static_cast<std::uint8_t>(pins & 0x3F);
    const auto latch =
        static_cast<std::uint8_t>(Bit(kSocketSelect, pins & kSelect) | Bit(kSocketClock, pins & kClock) |
                                  Bit(kSocketData, pins & kMosi) | Bit(kSocketOrg, p.config.orgHigh));
    if (SerialChip* chip = p.bench->SocketChip()) chip->OnLatch(latch, p.bench->NowUs());
}

bool FakeCh341a::MisoHigh(Programmer& p) {
    const SerialChip* chip = p.bench->SocketChip();
    return chip == nullptr || chip->DataOut(p.bench->NowUs());
}

void FakeCh341a::SpendNs(Programmer& p, std::int64_t ns) {
    p.owedNs += ns;
    if (p.owedNs < 1000) return;
    p.bench->Spend(p.owedNs / 1000);
    p.owedNs %= 1000;
}

void FakeCh341a::SpendBits(Programmer& p, int bits) {
    SpendNs(p, static_cast<std::int64_t>(bits) * 1'000'000'000LL / kSpeedsHz[p.speed]);
}

}  // namespace simulator
