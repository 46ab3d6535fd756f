// I2C decoded from a logic analyzer's raw samples: fed with blocks of
// samples as they come (each sample `unitSize` bytes, little-endian, SCL and
// SDA at their bit numbers), it gives the bus events with the sample number
// each began at, as the decoder text's lines would name them: START,
// repeated START, each address or data byte (sample of its first bit), the
// ACK or NACK after it, STOP.
//
// The rules follow sigrok's I2C protocol decoder (libsigrokdecode,
// decoders/i2c/pd.py), so both name the same events on the same samples:
// - a START is SDA falling while SCL is high; a STOP, SDA rising while SCL
//   is high; a bit is SDA's level on the sample where SCL rises;
// - while an address byte or an acknowledge bit is being read, only SCL's
//   rising edges count: a START or STOP there is not seen;
// - where SCL rises on the sample SDA changes, it is a bit;
// - the first sample has no edge (nothing came before it);
// - a START is a repeated one until a STOP has been seen.
//
// Only samples where one of the two bits changes do any work: the scan
// compares eight bytes of consecutive samples at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "hardware/decoder_text.h"

namespace monitor {

class I2cSampleDecoder {
public:
    // `unitSize` 1 to 8 bytes a sample; `sclBit` and `sdaBit` below unitSize * 8.
    I2cSampleDecoder(int unitSize, int sclBit, int sdaBit);

    // Decodes `block`, which continues the samples before it (a sample may
    // be split across blocks), and appends the events it completes.
    void Feed(std::span<const std::uint8_t> block, std::vector<hardware::DecoderLine>& events);
    // Samples decoded so far (whole ones).
    std::uint64_t Samples() const { return samples_; }

private:
    enum class State : std::uint8_t { FindStart, FindAddress, FindData, FindAck };

    int unit_;
    std::uint64_t sclBit_, sdaBit_;  // each bit within one sample, as loaded
    std::uint64_t sampleMask_;       // the two bits within one sample, as loaded
    std::uint64_t wordMask_;         // the same in every sample of an 8-byte word
    std::uint64_t samples_ = 0;
    bool havePrevious_ = false;
    bool scl_ = false, sda_ = false;
    State state_ = State::FindStart;
    bool repeat_ = false;  // a START has been seen since the last STOP
    bool address_ = false;
    int bits_ = 0;
    std::uint8_t byte_ = 0;
    std::uint64_t byteStart_ = 0;
    std::vector<std::uint8_t> carry_;  // a sample split across blocks

    void Edge(bool scl, bool sda, std::uint64_t sample, std::vector<hardware::DecoderLine>& events);
    void Scan(const std::uint8_t* data, std::size_t count, std::vector<hardware::DecoderLine>& events);
    std::uint64_t Load(const std::uint8_t* sample) const;
};

}  // namespace monitor
