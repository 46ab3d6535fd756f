// The bench's bus lines, laid out symbol by symbol, and their Value Change Dump.
#include "simulator/bus_waveform.h"

#include <algorithm>

namespace simulator {

void BusWaveform::Start(bool repeated, std::int64_t nowUs, int sclHz) {
    Add(repeated ? Kind::RepeatedStart : Kind::Start, 0, Ack::High, nowUs, sclHz);
}

void BusWaveform::Byte(std::uint8_t value, Ack ack, std::int64_t nowUs, int sclHz) {
    Add(Kind::Byte, value, ack, nowUs, sclHz);
}

void BusWaveform::Stop(std::int64_t nowUs, int sclHz) { Add(Kind::Stop, 0, Ack::High, nowUs, sclHz); }

void BusWaveform::Release(std::int64_t nowUs) {
    const int sclHz =
        symbols_.empty() ? kDefaultSclHz : static_cast<int>(1'000'000'000 / symbols_.back().bitNs);
    Add(Kind::Release, 0, Ack::High, nowUs, sclHz);
}

BusWaveform::Lengths BusWaveform::SymbolLengths(int sclHz) {
    const std::int64_t bitNs = 1'000'000'000 / std::max(sclHz, 1);
    return {bitNs / 2, bitNs, 9 * bitNs, bitNs};
}

void BusWaveform::Add(Kind kind, std::uint8_t value, Ack ack, std::int64_t nowUs, int sclHz) {
    const auto bitNs = static_cast<std::int32_t>(1'000'000'000 / std::max(sclHz, 1));
    const std::int64_t atNs = std::max(cursorNs_, nowUs >= 0 ? nowUs * 1000 : 0);
    symbols_.push_back({atNs, bitNs, kind, value, ack});
    const Lengths lengths = SymbolLengths(sclHz);
    switch (kind) {
        case Kind::Start:
        case Kind::Release:
            cursorNs_ = atNs + lengths.startNs;
            break;
        case Kind::Byte:
            cursorNs_ = atNs + lengths.byteNs;
            break;
        case Kind::RepeatedStart:
            cursorNs_ = atNs + lengths.repeatedStartNs;
            break;
        case Kind::Stop:
            cursorNs_ = atNs + lengths.stopNs;
            break;
    }
    if (symbols_.size() <= kKeptSymbols) return;
    // The oldest transfers go whole, so the kept ones still begin on a free bus.
    cut_ = true;
    while (!symbols_.empty()) {
        const Kind dropped = symbols_.front().kind;
        symbols_.pop_front();
        if (dropped == Kind::Stop || dropped == Kind::Release) break;
    }
}

std::vector<BusWaveform::Edge> BusWaveform::Edges() const {
    std::vector<Edge> edges;
    ForEachEdge([&edges](const Edge& edge) { edges.push_back(edge); });
    return edges;
}

void BusWaveform::ForEachEdge(const std::function<void(const Edge&)>& take) const {
    // An edge goes out once the next one is later: both lines may move at one instant.
    Edge line;
    bool pending = false;
    auto set = [&](std::int64_t atNs, bool Edge::*wire, bool level) {
        if (line.*wire == level) return;
        if (pending && line.atNs != atNs) take(line);
        line.*wire = level;
        line.atNs = atNs;
        pending = true;
    };
    auto scl = [&](std::int64_t atNs, bool level) { set(atNs, &Edge::scl, level); };
    auto sda = [&](std::int64_t atNs, bool level) { set(atNs, &Edge::sda, level); };
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
        const Symbol& s = symbols_[i];
        const std::int64_t a = s.atNs;
        const std::int64_t t = s.bitNs;
        Kind kind = s.kind;
        // A START on a bus that is not free repeats it; a repeated START on a
        // free bus is a plain one.
        if (kind == Kind::Start && !(line.scl && line.sda)) kind = Kind::RepeatedStart;
        if (kind == Kind::RepeatedStart && line.scl && line.sda) kind = Kind::Start;
        switch (kind) {
            case Kind::Start:
                sda(a, false);
                scl(a + t / 2, false);
                break;
            case Kind::RepeatedStart:
                scl(a, false);
                sda(a + t / 4, true);
                scl(a + t / 2, true);
                sda(a + 3 * t / 4, false);
                scl(a + t, false);
                break;
            case Kind::Byte: {
                bool ackLow = s.ack == Ack::Low;
                if (s.ack == Ack::UnlessLast)
                    ackLow = i + 1 < symbols_.size() && symbols_[i + 1].kind == Kind::Byte;
                for (int bit = 0; bit < 9; ++bit) {
                    const std::int64_t slot = a + bit * t;
                    const bool level = bit < 8 ? ((s.value >> (7 - bit)) & 1) != 0 : !ackLow;
                    scl(slot, false);
                    sda(slot + t / 4, level);
                    scl(slot + t / 2, true);
                    scl(slot + t, false);
                }
                break;
            }
            case Kind::Stop:
                scl(a, false);
                sda(a + t / 4, false);
                scl(a + t / 2, true);
                sda(a + 3 * t / 4, true);
                break;
            case Kind::Release:
                scl(a, true);
                sda(a + t / 4, true);
                break;
        }
    }
    if (pending) take(line);
}

std::string VcdText(const BusWaveform& waveform) {
    constexpr std::int64_t kTickNs = 100;
    std::string text;
    if (waveform.Cut())
        text += "$comment The oldest transfers were dropped to keep the recording bounded. $end\n";
    text += "$timescale 100 ns $end\n"
            "$scope module i2c $end\n"
            "$var wire 1 ! scl $end\n"
            "$var wire 1 \" sda $end\n"
            "$upscope $end\n"
            "$enddefinitions $end\n"
            "#0\n1!\n1\"\n";
    std::int64_t tick = 0;
    bool scl = true;
    bool sda = true;
    waveform.ForEachEdge([&](const BusWaveform::Edge& edge) {
        // Rounded to the timescale, every edge still keeps a tick of its own,
        // so a START or STOP never merges with the clock edge next to it.
        tick = std::max(tick + 1, (edge.atNs + kTickNs / 2) / kTickNs);
        text += '#' + std::to_string(tick) + '\n';
        if (edge.scl != scl) text += edge.scl ? "1!\n" : "0!\n";
        if (edge.sda != sda) text += edge.sda ? "1\"\n" : "0\"\n";
        scl = edge.scl;
        sda = edge.sda;
    });
    // A bit time of the last state, so a viewer shows it.
    text += '#' + std::to_string(tick + 100) + '\n';
    return text;
}

}  // namespace simulator
