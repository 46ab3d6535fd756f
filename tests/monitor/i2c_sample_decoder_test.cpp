// The raw-sample I2C decoder: the same transfers, at the samples their
// STARTs were on, whatever the sample size, the channels' bits and the way
// the stream is cut into blocks (a sample split between two).
#include "monitor/i2c_sample_decoder.h"

#include <gtest/gtest.h>

#include "support/i2c_samples.h"

namespace {

using hardware::BusEvent;
using Kind = hardware::BusEvent::Kind;

struct Seen {
    std::vector<hardware::BusTransfer> transfers;
    std::vector<std::uint64_t> firsts;
};

Seen Decode(const std::string& samples, int unitSize, int sclBit, int sdaBit, std::size_t block) {
    Seen seen;
    hardware::TransferAssembler assembler([&](hardware::BusTransfer& transfer, std::uint64_t first) {
        seen.transfers.push_back(transfer);
        seen.firsts.push_back(first);
    });
    monitor::I2cSampleDecoder decoder(unitSize, sclBit, sdaBit);
    std::vector<hardware::DecoderLine> events;
    for (std::size_t at = 0; at < samples.size(); at += block) {
        events.clear();
        const std::string part = samples.substr(at, block);
        decoder.Feed({reinterpret_cast<const std::uint8_t*>(part.data()), part.size()}, events);
        for (const hardware::DecoderLine& line : events) assembler.Add(line);
    }
    assembler.Finish();
    EXPECT_EQ(decoder.Samples(), samples.size() / static_cast<std::size_t>(unitSize));
    return seen;
}

// The samples of `narrow` (SCL bit 0, SDA bit 1) in `unitSize` bytes each,
// with SCL and SDA moved to their bits and noise on every other bit.
std::string Widen(const std::string& narrow, int unitSize, int sclBit, int sdaBit) {
    std::string wide;
    std::uint64_t noise = 0x9E3779B97F4A7C15ULL;
    for (char c : narrow) {
        noise = noise * 6364136223846793005ULL + 1442695040888963407ULL;
        std::uint64_t value = noise & ~((std::uint64_t{1} << sclBit) | (std::uint64_t{1} << sdaBit));
        value |= static_cast<std::uint64_t>(c & 1) << sclBit | static_cast<std::uint64_t>((c >> 1) & 1)
                                                                   << sdaBit;
        for (int i = 0; i < unitSize; ++i) wide += static_cast<char>(value >> (8 * i));
    }
    return wide;
}

TEST(I2cSampleDecoder, GivesTheTransfersAtTheirStartsWhateverTheSampleLayoutAndBlocks) {
    testsupport::I2cSamples bus;
    bus.Idle(10).Start().Byte(0xA0).Byte(0x10).Byte(0x55, false).Stop().Idle(3);
    bus.Start().Byte(0xA0).Byte(0x20).Start().Byte(0xA1).Byte(0x5A).Byte(0xFF, false).Stop();
    bus.Start().Byte(0x3A, false).Stop().Idle(40);
    bus.Start().Byte(0xA2).Byte(0x01);  // cut by the capture's end
    const BusEvent start{Kind::Start, 0, true}, restart{Kind::RepeatedStart, 0, true},
        stop{Kind::Stop, 0, true};
    auto byte = [](std::uint8_t value, bool acked = true) { return BusEvent{Kind::Byte, value, acked}; };
    const std::vector<hardware::BusTransfer> expected{
        {start, byte(0xA0), byte(0x10), byte(0x55, false), stop},
        {start, byte(0xA0), byte(0x20), restart, byte(0xA1), byte(0x5A), byte(0xFF, false), stop},
        {start, byte(0x3A, false), stop},
        {start, byte(0xA2), byte(0x01)},
    };
    const std::vector<std::uint64_t> starts{bus.Starts()[0], bus.Starts()[1], bus.Starts()[3],
                                            bus.Starts()[4]};
    struct Layout {
        int unitSize, sclBit, sdaBit;
        std::size_t block;
    };
    for (const Layout& l : {Layout{1, 0, 1, 1 << 20}, Layout{1, 6, 3, 5}, Layout{2, 13, 4, 7},
                            Layout{3, 1, 22, 4}, Layout{4, 31, 0, 9}, Layout{8, 40, 63, 13}}) {
        SCOPED_TRACE(testing::Message() << "unit " << l.unitSize << ", SCL bit " << l.sclBit << ", SDA bit "
                                        << l.sdaBit << ", blocks of " << l.block);
        const Seen seen = Decode(Widen(bus.Bytes(), l.unitSize, l.sclBit, l.sdaBit), l.unitSize, l.sclBit,
                                 l.sdaBit, l.block);
        EXPECT_EQ(seen.transfers, expected);
        EXPECT_EQ(seen.firsts, starts);
    }
}

}  // namespace
