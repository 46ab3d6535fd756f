// The serial socket on the bench, end to end through PortAdapter's frames:
// the socket follows the chip list unless a chip is fixed, a chip keeps its
// contents across a change of organisation, and the store fault reaches it.
#include "bench_support.h"

namespace benchtest {
namespace {

class BenchSocketTest : public BenchTest {};

TEST_F(BenchSocketTest, FramesReachTheChipTheListChose) {
    Probe();
    bench_.SetChipListChoice("93C46 (8)");
    ASSERT_NE(bench_.SocketChip(), nullptr);
    EXPECT_EQ(bench_.SocketChip()->Name(), "93C46");
    adapter().MicrowireWrite(0x55, 6, 8, 0xC3);
    EXPECT_EQ(adapter().MicrowireRead(0x55, 6, 8), 0xC3);
    EXPECT_EQ(bench_.SocketChip()->Memory()[0x55], 0xC3);

    // Another organisation of the same chip: same contents, now as words.
    bench_.SetChipListChoice("93C46 (16)");
    EXPECT_EQ(bench_.SocketChip()->Memory()[0x55], 0xC3);

    bench_.SetFixedSocketChip("AT25C160");
    bench_.SetChipListChoice("93C66 (8)");
    EXPECT_EQ(bench_.SocketChip()->Name(), "AT25C160") << "a fixed chip ignores the list";
    adapter().SpiWriteByte(0x3A5, 16, 0x42);
    EXPECT_EQ(adapter().SpiReadByte(0x3A5, 16), 0x42);

    bench_.SetChipNoStore(true);
    adapter().SpiWriteByte(0x3A6, 16, 0x43);
    EXPECT_NE(adapter().SpiReadByte(0x3A6, 16), 0x43);

    bench_.SetFixedSocketChip("");
    EXPECT_EQ(bench_.SocketChip()->Name(), "93C66");
    bench_.SetChipListChoice("");
    EXPECT_EQ(bench_.SocketChip(), nullptr);
    EXPECT_EQ(adapter().MicrowireRead(0x55, 6, 8), 0xFF) << "an empty socket reads all ones";
}

TEST_F(BenchSocketTest, DacChannelsComeFromTheConverterInTheSocket) {
    EXPECT_EQ(bench_.DacChannels().size(), 12u);
    bench_.SetChipListChoice("M62358,M62359");
    ASSERT_NE(bench_.SocketChip(), nullptr);
    // One frame with the frame line high: channel 3, range 2, value 0x81,
    // clocked in on rising clock edges, latched by the rising load line.
    std::vector<int> bits = {1, 1, 0, 0, 0, 1};
    for (int b = 7; b >= 0; --b) bits.push_back((0x81 >> b) & 1);
    const std::uint8_t frame = 0x10;
    for (int bit : bits) {
        adapter().WriteLatch(static_cast<std::uint8_t>(frame | (bit << 6)));
        adapter().WriteLatch(static_cast<std::uint8_t>(frame | (bit << 6) | 0x80));
    }
    adapter().WriteLatch(frame | 0x20);
    const std::vector<simulator::DacChannel> channels = bench_.DacChannels();
    ASSERT_EQ(channels.size(), 12u);
    EXPECT_EQ(channels[2].value, 0x81);
    EXPECT_EQ(channels[2].range, 2);
    EXPECT_EQ(channels[0].value, 0);
}

}  // namespace
}  // namespace benchtest
