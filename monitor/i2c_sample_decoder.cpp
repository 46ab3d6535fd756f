// Decoding I2C from raw samples; see i2c_sample_decoder.h.
#include "monitor/i2c_sample_decoder.h"

#include <bit>
#include <cstring>

namespace monitor {

static_assert(std::endian::native == std::endian::little, "samples are loaded as little-endian words");

I2cSampleDecoder::I2cSampleDecoder(int unitSize, int sclBit, int sdaBit)
    : unit_(unitSize),
      sclBit_(std::uint64_t{1} << sclBit),
      sdaBit_(std::uint64_t{1} << sdaBit),
      sampleMask_(sclBit_ | sdaBit_),
      wordMask_(0) {
    if (unit_ < 8)
        for (int at = 0; at + unit_ <= 8; at += unit_) wordMask_ |= sampleMask_ << (8 * at);
}

std::uint64_t I2cSampleDecoder::Load(const std::uint8_t* sample) const {
    std::uint64_t value = 0;
    std::memcpy(&value, sample, static_cast<std::size_t>(unit_));
    return value;
}

void I2cSampleDecoder::Edge(bool scl, bool sda, std::uint64_t sample,
                            std::vector<hardware::DecoderLine>& events) {
    using Kind = hardware::BusEvent::Kind;
    const bool sclRose = scl && !scl_;
    const bool sdaFell = !sda && sda_;
    const bool sdaRose = sda && !sda_;
    scl_ = scl;
    sda_ = sda;
    auto put = [&](Kind kind, std::uint64_t at) {
        hardware::DecoderLine line;
        line.ranged = true;
        line.sample = at;
        line.event.kind = kind;
        events.push_back(line);
        return &events.back();
    };
    if (state_ == State::FindStart || (state_ == State::FindData && !sclRose)) {
        if (scl && sdaFell) {
            put(state_ == State::FindData ? Kind::RepeatedStart : Kind::Start, sample);
            state_ = State::FindAddress;
            bits_ = 0;
            byte_ = 0;
        } else if (scl && sdaRose && state_ == State::FindData) {
            put(Kind::Stop, sample);
            state_ = State::FindStart;
        }
        return;
    }
    if (!sclRose) return;
    if (state_ == State::FindAck) {
        hardware::DecoderLine* ack = put(Kind::Byte, sample);
        ack->ackLine = true;
        ack->event.acked = !sda;
        state_ = State::FindData;
        return;
    }
    if (bits_ == 0) byteStart_ = sample;
    byte_ = static_cast<std::uint8_t>(byte_ << 1 | (sda ? 1 : 0));
    if (++bits_ < 8) return;
    put(Kind::Byte, byteStart_)->event.byte = byte_;
    bits_ = 0;
    byte_ = 0;
    state_ = State::FindAck;
}

void I2cSampleDecoder::Scan(const std::uint8_t* data, std::size_t count,
                            std::vector<hardware::DecoderLine>& events) {
    const auto unit = static_cast<std::size_t>(unit_);
    const std::uint64_t sclBit = sclBit_;
    const std::uint64_t sdaBit = sdaBit_;
    std::size_t i = 0;
    if (!havePrevious_ && count > 0) {
        const std::uint64_t first = Load(data);
        scl_ = (first & sclBit) != 0;
        sda_ = (first & sdaBit) != 0;
        havePrevious_ = true;
        i = 1;
    }
    std::uint64_t previous = (scl_ ? sclBit : 0) | (sda_ ? sdaBit : 0);
    const std::uint64_t base = samples_;
    auto change = [&](std::uint64_t value, std::size_t at) {
        Edge((value & sclBit) != 0, (value & sdaBit) != 0, base + at, events);
        previous = value & sampleMask_;
    };
    if (unit == 1 || unit == 2 || unit == 4) {
        // Eight bytes at a time: each sample against the one before it (the
        // word shifted by one sample, the previous sample shifted in).
        const std::size_t perWord = 8 / unit;
        const int shift = static_cast<int>(8 * unit);
        const std::uint64_t unitMask = (std::uint64_t{1} << shift) - 1;
        while (i + perWord <= count) {
            std::uint64_t word = 0;
            std::memcpy(&word, data + i * unit, 8);
            const std::uint64_t diff = (word ^ (word << shift | previous)) & wordMask_;
            if (diff == 0) {
                i += perWord;
                continue;
            }
            const auto k = static_cast<std::size_t>(std::countr_zero(diff) / shift);
            change((word >> (k * unit * 8)) & unitMask, i + k);
            i += k + 1;
        }
    }
    for (; i < count; ++i) {
        const std::uint64_t value = Load(data + i * unit) & sampleMask_;
        if (value != previous) change(value, i);
    }
    samples_ += count;
}

void I2cSampleDecoder::Feed(std::span<const std::uint8_t> block, std::vector<hardware::DecoderLine>& events) {
    const auto unit = static_cast<std::size_t>(unit_);
    std::size_t used = 0;
    if (!carry_.empty()) {
        used = std::min(unit - carry_.size(), block.size());
        carry_.insert(carry_.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(used));
        if (carry_.size() < unit) return;
        Scan(carry_.data(), 1, events);
        carry_.clear();
    }
    const std::size_t whole = (block.size() - used) / unit;
    Scan(block.data() + used, whole, events);
    used += whole * unit;
    carry_.assign(block.begin() + static_cast<std::ptrdiff_t>(used), block.end());
}

}  // namespace monitor
