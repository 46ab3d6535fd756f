// The bench's I2C bus as its two lines show it: whoever drives the bus (the
// PCF8584, the second master, the fakes of the other adapters) tells the
// waveform what went out (START, repeated START, a byte and its acknowledge,
// STOP) in bench time, and the waveform lays the SCL and SDA edges out as a
// real bus carries them at the master's clock:
//
//  - START: SDA falls while SCL is high, SCL follows half a bit later.
//  - each bit: SDA changes a quarter bit after SCL fell, SCL is high for the
//    second half of the bit; the ninth bit is the acknowledge (low) or its
//    absence (high), from whoever receives the byte. SDA is the wired AND of
//    master and slave, so a byte read from no slave is all ones.
//  - repeated START: SDA rises while SCL is low, SCL rises, SDA falls.
//  - STOP: SDA low while SCL rises, then SDA rises while SCL is high.
//
// A symbol starts at the time its driver gives or, when that is earlier (or
// not given), right after the previous one, so the waveform never runs
// backwards and bytes driven back to back follow at the bit rate.
//
// The recording is bounded: beyond kKeptSymbols (about 13 s of a bus busy
// without a break at 100 kHz, an hour of the demo master) the oldest
// transfers are dropped whole, and Cut() says so.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace simulator {

class BusWaveform {
public:
    // Who acknowledges a read byte may only be known at the next symbol: a
    // master acknowledges every byte it reads but the last before a STOP or
    // repeated START.
    enum class Ack { Low, High, UnlessLast };
    struct Edge {
        std::int64_t atNs = 0;  // the lines stand at scl/sda from here on
        bool scl = true;
        bool sda = true;
        bool operator==(const Edge&) const = default;
    };
    static constexpr std::size_t kKeptSymbols = std::size_t{1} << 17;
    static constexpr int kDefaultSclHz = 100'000;

    // How long each symbol holds the bus at sclHz: the next one may begin
    // this long after it began (a byte ends after its acknowledge).
    struct Lengths {
        std::int64_t startNs, repeatedStartNs, byteNs, stopNs;
    };
    static Lengths SymbolLengths(int sclHz);

    // nowUs < 0: right after the previous symbol.
    void Start(bool repeated, std::int64_t nowUs, int sclHz);
    void Byte(std::uint8_t value, Ack ack, std::int64_t nowUs, int sclHz);
    void Stop(std::int64_t nowUs, int sclHz);
    // The master let go without a STOP: both lines are released.
    void Release(std::int64_t nowUs);

    // Every change of either line, the first at the earliest kept symbol; the
    // lines are high (bus free) before it.
    std::vector<Edge> Edges() const;
    void ForEachEdge(const std::function<void(const Edge&)>& take) const;
    bool Cut() const { return cut_; }
    bool Empty() const { return symbols_.empty(); }

private:
    enum class Kind : std::uint8_t { Start, RepeatedStart, Byte, Stop, Release };
    struct Symbol {
        std::int64_t atNs;
        std::int32_t bitNs;
        Kind kind;
        std::uint8_t value;
        Ack ack;
    };
    void Add(Kind kind, std::uint8_t value, Ack ack, std::int64_t nowUs, int sclHz);

    std::deque<Symbol> symbols_;
    std::int64_t cursorNs_ = 0;
    bool cut_ = false;
};

// The edges as a Value Change Dump: a 100 ns timescale (a 10 MHz sample rate
// for a logic analyzer's import, enough for a 400 kHz bus), wires "scl" and
// "sda", both high at #0, then only the changes, then one bit time of idle.
// A recording that was cut says so in a $comment.
std::string VcdText(const BusWaveform& waveform);

}  // namespace simulator
