// The CH341A adapter; see ch341a_adapter.h.
#include "hardware/ch341a/ch341a_adapter.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace hardware {
namespace {

using Packet = Ch341aAdapter::Packet;
constexpr std::size_t kPacketBytes = Ch341aAdapter::kPacketBytes;

std::uint8_t Reversed(std::uint8_t byte) {
    std::uint8_t out = 0;
    for (int b = 0; b < 8; ++b) out = static_cast<std::uint8_t>(out << 1 | ((byte >> b) & 1u));
    return out;
}

// The END sub-command of a stream; the SPI stream has none.
int EndOf(std::uint8_t stream) {
    if (stream == Ch341aAdapter::kI2cStream) return Ch341aAdapter::kI2cEnd;
    if (stream == Ch341aAdapter::kPinStream) return Ch341aAdapter::kPinEnd;
    return -1;
}

// Commands packed into packets of one stream each. A command never spans two
// packets, and no packet answers more than a packet's worth; a stream with an
// END sub-command ends each packet with it where there is room.
class Packer {
public:
    void Add(std::uint8_t stream, std::span<const std::uint8_t> command, std::size_t answer) {
        const std::size_t endRoom = EndOf(stream) >= 0 ? 1 : 0;
        if (packets_.empty() || stream_ != stream || barrier_ ||
            packets_.back().bytes.size() + command.size() + endRoom > kPacketBytes ||
            packets_.back().answer + answer > kPacketBytes) {
            Close();
            packets_.push_back({{stream}, 0, barrier_});
            stream_ = stream;
            barrier_ = false;
        }
        packets_.back().bytes.insert(packets_.back().bytes.end(), command.begin(), command.end());
        packets_.back().answer += answer;
    }
    void Add(std::uint8_t stream, std::initializer_list<std::uint8_t> command, std::size_t answer = 0) {
        Add(stream, std::span<const std::uint8_t>(command.begin(), command.size()), answer);
    }
    // Answer bytes the open packet still takes, when it is of `stream`.
    std::size_t AnswerRoom(std::uint8_t stream) const {
        if (packets_.empty() || stream_ != stream) return kPacketBytes;
        return kPacketBytes - packets_.back().answer;
    }
    // The next command starts a packet that waits for the answers before it.
    void NewRoundTrip() {
        Close();
        barrier_ = true;
    }
    std::vector<Packet> Take() {
        Close();
        return std::move(packets_);
    }

private:
    void Close() {
        if (packets_.empty() || closed_ == packets_.size()) return;
        closed_ = packets_.size();
        auto& bytes = packets_.back().bytes;
        if (EndOf(stream_) >= 0 && bytes.size() < kPacketBytes)
            bytes.push_back(static_cast<std::uint8_t>(EndOf(stream_)));
    }

    std::vector<Packet> packets_;
    std::uint8_t stream_ = 0;
    bool barrier_ = false;
    std::size_t closed_ = 0;  // packets ended so far
};

// The serial lines on the adapter's pins.
std::uint8_t PinsFor(std::uint8_t pins, std::uint8_t lines, std::uint8_t levels) {
    const auto set = [&](std::uint8_t line, std::uint8_t pin) {
        if (!(lines & line)) return;
        pins = static_cast<std::uint8_t>((levels & line) ? pins | pin : pins & ~pin);
    };
    set(kSelectLine, Ch341aAdapter::kPinSelect);
    set(kClockLine, Ch341aAdapter::kPinClock);
    set(kDataLine, Ch341aAdapter::kPinMosi);
    return pins;  // ORG is a strap on these boards
}

}  // namespace

Ch341aAdapter::Ch341aAdapter(platform::UsbSystem& usb, platform::Counter& counter)
    : usb_(usb), counter_(counter) {}

Ch341aAdapter::~Ch341aAdapter() { Close(); }

std::vector<platform::UsbDeviceInfo> Ch341aAdapter::List(platform::UsbSystem& usb) {
    return usb.Find(kVendor, kProduct);
}

bool Ch341aAdapter::Open(int index, std::string& error) {
    const std::vector<platform::UsbDeviceInfo> found = List(usb_);
    if (found.empty()) {
        error = "No CH341A programmer (USB " + platform::UsbId(kVendor, kProduct) +
                ") is connected: plug it in (and check lsusb lists it).";
        return false;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= found.size()) {
        error = "There is no CH341A number " + std::to_string(index) + ": " + std::to_string(found.size()) +
                (found.size() == 1 ? " is" : " are") + " connected, numbered from 0.";
        return false;
    }
    return Open(found[static_cast<std::size_t>(index)], error);
}

bool Ch341aAdapter::Open(const platform::UsbDeviceInfo& device, std::string& error) {
    Close();
    device_ = device;
    platform::UsbSystem::Handle handle = -1;
    platform::UsbStatus status = usb_.Open(device, handle);
    if (status != platform::UsbStatus::Ok) {
        error = platform::UsbErrorSentence(status, "open", Name(), kUdevRule);
        return false;
    }
    handle_ = handle;
    // Linux binds its SPI driver for this id where it is built: take the
    // interface from it, and give it back on Close.
    if (usb_.KernelDriverActive(handle_, kInterface)) {
        status = usb_.DetachKernelDriver(handle_, kInterface);
        if (status != platform::UsbStatus::Ok) {
            error = platform::UsbErrorSentence(status, "take from its kernel driver", Name(), kUdevRule);
            Close();
            return false;
        }
        driverDetached_ = true;
    }
    status = usb_.ClaimInterface(handle_, kInterface);
    if (status != platform::UsbStatus::Ok) {
        error = platform::UsbErrorSentence(status, "claim", Name(), kUdevRule);
        Close();
        return false;
    }
    ClearIoError();
    roundTrips_ = 0;
    warned_ = false;
    selectHigh_ = false;
    // The pins at rest: D0..D5 outputs, select inactive, clock and data low.
    pins_ = kPinSelect;
    Packer packer;
    packer.Add(kI2cStream, {static_cast<std::uint8_t>(kI2cSet | speed_)});
    packer.Add(kPinStream,
               {static_cast<std::uint8_t>(kPinDir | 0x3F), static_cast<std::uint8_t>(kPinOut | pins_)});
    std::vector<std::uint8_t> answer;
    if (!Exchange(packer.Take(), answer)) {
        (void)TakeIoError(error);
        Close();
        return false;
    }
    return true;
}

void Ch341aAdapter::Close() {
    if (handle_ < 0) return;
    (void)usb_.ReleaseInterface(handle_, kInterface);
    if (driverDetached_) (void)usb_.AttachKernelDriver(handle_, kInterface);
    driverDetached_ = false;
    usb_.Close(handle_);
    handle_ = -1;
}

std::string Ch341aAdapter::Name() const {
    return "the CH341A (USB " + platform::UsbId(kVendor, kProduct) + ") on bus " +
           std::to_string(device_.bus) + " at address " + std::to_string(device_.address);
}

std::string Ch341aAdapter::AdapterName() const {
    return "the CH341A (USB bus " + std::to_string(device_.bus) + " address " +
           std::to_string(device_.address) + ")";
}

std::string Ch341aAdapter::Describe() const {
    return "CH341A on USB bus " + std::to_string(device_.bus) + " address " +
           std::to_string(device_.address) + ": I2C at " + std::to_string(I2cSpeedHz() / 1000) +
           " kHz (20, 100, 400, 750), SPI at about " + std::to_string(kSpiClockHz / 1000) +
           " kHz with select on D0 (active low for 25xx, high for 93Cxx; strap ORG), " +
           std::to_string(kPacketBytes) + "-byte packets";
}

std::string Ch341aAdapter::TakeVoltageWarning() {
    if (warned_ || handle_ < 0) return {};
    warned_ = true;
    return kFiveVoltWarning;
}

bool Ch341aAdapter::SetI2cSpeedHz(int hz) {
    int speed = 0;
    for (int s = 0; s < 4; ++s) {
        if (hz >= kI2cSpeedsHz[s]) speed = s;
    }
    Packer packer;
    packer.Add(kI2cStream, {static_cast<std::uint8_t>(kI2cSet | speed)});
    std::vector<std::uint8_t> answer;
    if (handle_ >= 0 && !Exchange(packer.Take(), answer)) return false;
    speed_ = speed;
    return true;
}

std::int64_t Ch341aAdapter::NowUs() { return CounterNowUs(counter_); }

void Ch341aAdapter::SleepMs(int ms) { counter_.SleepMs(ms); }

bool Ch341aAdapter::Exchange(const std::vector<Packet>& packets, std::vector<std::uint8_t>& answer,
                             const std::function<bool(const std::vector<std::uint8_t>&)>& stop) {
    answer.clear();
    if (handle_ < 0) {
        usbFailure_ = platform::UsbStatus::Io;
        NoteIoError("The CH341A is not open.");
        return false;
    }
    std::vector<std::uint8_t> out;
    for (std::size_t first = 0; first < packets.size();) {
        // Up to kPacketsPerRoundTrip packets go out before the answers are
        // read. A bulk OUT's packets are full but its last, and the chip
        // reads commands packet by packet, so short packets are padded; the
        // SPI stream would clock padding out, so a short SPI packet ends its
        // bulk OUT and the rest follow in another, without waiting between.
        std::size_t last = first + 1;
        while (last < packets.size() && last - first < kPacketsPerRoundTrip && !packets[last].startsRoundTrip)
            ++last;
        std::size_t expected = 0;
        platform::UsbStatus status = platform::UsbStatus::Ok;
        out.clear();
        for (std::size_t p = first; p < last && status == platform::UsbStatus::Ok; ++p) {
            const Packet& packet = packets[p];
            if (!out.empty()) out.resize((out.size() + kPacketBytes - 1) / kPacketBytes * kPacketBytes, 0);
            out.insert(out.end(), packet.bytes.begin(), packet.bytes.end());
            expected += packet.answer;
            const bool shortSpi = packet.bytes[0] == kSpiStream && packet.bytes.size() < kPacketBytes;
            if (shortSpi || p + 1 == last) {
                status = usb_.BulkOut(handle_, kEndpointOut, out, kTimeoutMs);
                out.clear();
            }
        }
        ++roundTrips_;
        const std::size_t at = answer.size();
        answer.resize(at + expected);
        for (std::size_t got = 0; status == platform::UsbStatus::Ok && got < expected;) {
            std::size_t received = 0;
            status =
                usb_.BulkIn(handle_, kEndpointIn, std::span(answer).subspan(at + got), received, kTimeoutMs);
            if (status == platform::UsbStatus::Ok && received == 0) status = platform::UsbStatus::Io;
            got += received;
        }
        if (status != platform::UsbStatus::Ok) {
            usbFailure_ = status;
            NoteIoError(platform::UsbErrorSentence(status, "talk to", Name(), kUdevRule));
            return false;
        }
        first = last;
        if (stop && first < packets.size() && stop(answer)) return true;
    }
    return true;
}

I2cCapabilities Ch341aAdapter::Capabilities() const {
    I2cCapabilities caps;
    caps.maxMessages = 64;
    caps.maxMessageBytes = 4096;
    caps.speedsHz.assign(std::begin(kI2cSpeedsHz), std::end(kI2cSpeedsHz));
    caps.dataAcksSeen = true;
    return caps;
}

I2cResult Ch341aAdapter::Transfer(std::span<const I2cMessage> messages) {
    I2cResult result;
    if (messages.empty()) return result;
    Packer packer;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const I2cMessage& m = messages[k];
        if (k > 0 && !m.read && !messages[k - 1].read) packer.NewRoundTrip();
        packer.Add(kI2cStream, {kI2cStart});
        packer.Add(kI2cStream, {kI2cOut, static_cast<std::uint8_t>(m.address << 1 | (m.read ? 1 : 0))}, 1);
        if (!m.read) {
            for (const std::uint8_t byte : m.bytes) packer.Add(kI2cStream, {kI2cOut, byte}, 1);
            continue;
        }
        // Every byte acknowledged but the last, which IN 0 reads and refuses.
        for (std::size_t left = m.bytes.size(); left > 1;) {
            std::size_t room = packer.AnswerRoom(kI2cStream);
            if (room == 0) room = kPacketBytes;
            const std::size_t count = std::min({left - 1, room, std::size_t{0x3F}});
            packer.Add(kI2cStream, {static_cast<std::uint8_t>(kI2cIn | count)}, count);
            left -= count;
        }
        if (!m.bytes.empty()) packer.Add(kI2cStream, {kI2cIn}, 1);
    }
    packer.Add(kI2cStream, {kI2cStop});

    // Where the first refusal is in the answers so far: message and byte.
    const auto findRefusal = [&](const std::vector<std::uint8_t>& answer, I2cResult& where) {
        std::size_t at = 0;
        for (std::size_t k = 0; k < messages.size(); ++k) {
            if (at >= answer.size()) return false;
            if (answer[at++] & kNoAck) {
                where = {I2cStatus::NoAck, static_cast<int>(k), I2cResult::kAddressByte};
                return true;
            }
            const std::size_t n = messages[k].bytes.size();
            for (std::size_t b = 0; b < n; ++b, ++at) {
                if (at >= answer.size()) return false;
                if (!messages[k].read && (answer[at] & kNoAck)) {
                    where = {I2cStatus::NoAck, static_cast<int>(k), static_cast<int>(b)};
                    return true;
                }
            }
        }
        return false;
    };
    std::vector<std::uint8_t> answer;
    I2cResult refused;
    bool stopped = false;
    const bool ok = Exchange(packer.Take(), answer, [&](const std::vector<std::uint8_t>& so) {
        stopped = findRefusal(so, refused);
        return stopped;
    });
    // A programmer that is no longer there (libusb's NO_DEVICE) will not
    // answer again; any other USB failure is the programmer's, never the chip's.
    if (!ok)
        return {usbFailure_ == platform::UsbStatus::NotFound ? I2cStatus::Gone : I2cStatus::TimedOut, 0, -1};
    if (stopped) {
        // The chip goes on after a refused byte: end the transfer here.
        Recover();
        return refused;
    }
    if (findRefusal(answer, refused)) return refused;
    std::size_t at = 0;
    for (const I2cMessage& m : messages) {
        ++at;  // the address's acknowledge
        if (m.read)
            std::copy_n(answer.begin() + static_cast<std::ptrdiff_t>(at), m.bytes.size(), m.bytes.begin());
        at += m.bytes.size();
    }
    return result;
}

void Ch341aAdapter::Recover() {
    Packer packer;
    packer.Add(kI2cStream, {kI2cStop});
    std::vector<std::uint8_t> answer;
    (void)Exchange(packer.Take(), answer);
}

bool Ch341aAdapter::SetSelectActiveHigh(bool high, std::string& error) {
    if (handle_ < 0) {
        error = "The CH341A is not open.";
        return false;
    }
    selectHigh_ = high;
    return true;
}

bool Ch341aAdapter::Transfer(std::span<const std::uint8_t> out, std::vector<std::uint8_t>& in) {
    in.assign(out.size(), 0);
    if (handle_ < 0 || out.size() > kMaxSpiBytes) return false;
    if (out.empty()) return true;
    const std::uint8_t rest = static_cast<std::uint8_t>(pins_ & ~(kPinSelect | kPinClock | kPinMosi));
    const std::uint8_t active = selectHigh_ ? kPinSelect : 0;
    const std::uint8_t inactive = selectHigh_ ? 0 : kPinSelect;
    Packer packer;
    packer.Add(kPinStream, {static_cast<std::uint8_t>(kPinOut | rest | inactive),
                            static_cast<std::uint8_t>(kPinOut | rest | active)});
    std::vector<std::uint8_t> chunk;
    constexpr std::size_t kSpiBytesPerPacket = kPacketBytes - 1;
    for (std::size_t at = 0; at < out.size(); at += kSpiBytesPerPacket) {
        const std::size_t count = std::min(out.size() - at, kSpiBytesPerPacket);
        chunk.clear();
        for (std::size_t k = 0; k < count; ++k) chunk.push_back(Reversed(out[at + k]));
        packer.Add(kSpiStream, chunk, count);
    }
    pins_ = static_cast<std::uint8_t>(rest | inactive);
    packer.Add(kPinStream, {static_cast<std::uint8_t>(kPinOut | pins_)});
    std::vector<std::uint8_t> answer;
    if (!Exchange(packer.Take(), answer)) return false;
    for (std::size_t k = 0; k < in.size(); ++k) in[k] = Reversed(answer[k]);
    return true;
}

std::vector<std::uint8_t> Ch341aAdapter::Run(std::span<const LineStep> steps) {
    Packer packer;
    std::size_t samples = 0;
    const auto out = [&](std::uint8_t pins) {
        pins_ = pins;
        packer.Add(kPinStream, {static_cast<std::uint8_t>(kPinOut | (pins & 0x3F))});
    };
    const auto sample = [&] {
        packer.Add(kPinStream, {kPinIn}, 1);
        ++samples;
    };
    for (const LineStep& step : steps) {
        switch (step.kind) {
            case LineStep::Kind::Drive:
                out(PinsFor(pins_, step.lines, step.levels));
                break;
            case LineStep::Kind::Sample:
                sample();
                break;
            case LineStep::Kind::ClockOut:
                for (int b = step.count - 1; b >= 0; --b) {
                    const bool bit = (step.value >> b) & 1u;
                    const auto low =
                        static_cast<std::uint8_t>((bit ? pins_ | kPinMosi : pins_ & ~kPinMosi) & ~kPinClock);
                    out(low);
                    out(static_cast<std::uint8_t>(low | kPinClock));
                }
                break;
            case LineStep::Kind::ClockIn:
                for (int b = 0; b < step.count; ++b) {
                    out(static_cast<std::uint8_t>(pins_ & ~kPinClock));
                    if (step.afterFall) sample();
                    out(static_cast<std::uint8_t>(pins_ | kPinClock));
                    if (!step.afterFall) sample();
                }
                break;
        }
    }
    std::vector<std::uint8_t> answer;
    std::vector<std::uint8_t> levels(samples, 0);
    if (steps.empty()) return levels;
    if (!Exchange(packer.Take(), answer)) return levels;
    for (std::size_t k = 0; k < samples; ++k) levels[k] = (answer[k] & kPinMiso) ? 1 : 0;
    return levels;
}

}  // namespace hardware
