// The Microwire, SPI and DAC frames of PortAdapter as line sequences on the
// serial socket, and what the chip models make of them.
#include <gtest/gtest.h>

#include "hardware/dac_frame.h"
#include "support/serial_socket.h"

namespace {

using testsupport::Bits;
using testsupport::SelectedFrames;
using testsupport::SocketRig;

// DO while CS is high: a Microwire chip's busy (0) or ready (1).
int ReadyLevel(SocketRig& rig) {
    const hardware::LineStep steps[] = {hardware::LineStep::Set(hardware::kSelectLine, true, true),
                                        hardware::LineStep::Sample(),
                                        hardware::LineStep::Set(hardware::kSelectLine, false, true)};
    return rig.adapter.Run(steps).at(0);
}

// The SPI frames are read with /CS active low.
std::vector<std::vector<int>> SpiFrames(SocketRig& rig) { return SelectedFrames(rig.port.Loads(), false); }

TEST(SerialFrames, At25c040CarriesAddressBit8InTheOpcodes) {
    SocketRig rig("AT25C040");
    rig.adapter.SpiWriteByte(0x12C, 8, 0x5A);
    auto frames = SpiFrames(rig);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), 8u);
    EXPECT_EQ(Bits(frames[0], 0, 8), 0x0E);  // WREN with A8
    ASSERT_EQ(frames[1].size(), 24u);
    EXPECT_EQ(Bits(frames[1], 0, 8), 0x0A);
    EXPECT_EQ(Bits(frames[1], 8, 8), 0x2C);
    EXPECT_EQ(Bits(frames[1], 16, 8), 0x5A);

    rig.port.Loads().clear();
    EXPECT_EQ(rig.adapter.SpiReadByte(0x12C, 8), 0x5A);
    frames = SpiFrames(rig);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(Bits(frames[0], 0, 8), 0x0B);
    EXPECT_EQ(Bits(frames[0], 8, 8), 0x2C);
    EXPECT_EQ(rig.chip->Memory()[0x12C], 0x5A);

    rig.port.Loads().clear();
    rig.adapter.SpiWriteByte(0x2C, 8, 0xA5);
    frames = SpiFrames(rig);
    EXPECT_EQ(Bits(frames[0], 0, 8), 0x06);
    EXPECT_EQ(Bits(frames[1], 0, 8), 0x02);
    EXPECT_EQ(rig.chip->Memory()[0x2C], 0xA5);
    EXPECT_EQ(rig.chip->Memory()[0x12C], 0x5A);
}

TEST(SerialFrames, At25WithTwoAddressBytesSendsPlainOpcodes) {
    for (const char* chip : {"AT25C080", "AT25C160"}) {
        SCOPED_TRACE(chip);
        SocketRig rig(chip);
        rig.adapter.SpiWriteByte(0x3A5, 16, 0x42);
        auto frames = SpiFrames(rig);
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(Bits(frames[0], 0, 8), 0x0E);  // address bit 8 still shows in WREN
        ASSERT_EQ(frames[1].size(), 32u);
        EXPECT_EQ(Bits(frames[1], 0, 8), 0x02);
        EXPECT_EQ(Bits(frames[1], 8, 16), 0x3A5);
        EXPECT_EQ(Bits(frames[1], 24, 8), 0x42);

        rig.port.Loads().clear();
        EXPECT_EQ(rig.adapter.SpiReadByte(0x3A5, 16), 0x42);
        frames = SpiFrames(rig);
        EXPECT_EQ(Bits(frames[0], 0, 8), 0x03);
        EXPECT_EQ(Bits(frames[0], 8, 16), 0x3A5);
    }
}

TEST(SerialFrames, MicrowireReadAndWriteFrames) {
    SocketRig rig("93C46 (8)");
    rig.adapter.MicrowireWrite(0x55, 6, 8, 0xC3);
    auto frames = SelectedFrames(rig.port.Loads(), true);
    ASSERT_EQ(frames.size(), 3u);  // EWEN, WRITE, and the re-raised select while the write runs
    // Start bit, 00, then n + 2 ones: the chip ignores the one past its address field.
    EXPECT_EQ(frames[0], (std::vector<int>{1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1}));
    ASSERT_EQ(frames[1].size(), 1u + 2 + 7 + 8);
    EXPECT_EQ(Bits(frames[1], 0, 3), 0b101);
    EXPECT_EQ(Bits(frames[1], 3, 7), 0x55);
    EXPECT_EQ(Bits(frames[1], 10, 8), 0xC3);
    EXPECT_TRUE(frames[2].empty());
    EXPECT_EQ(rig.chip->Memory()[0x55], 0xC3);

    // The 5 ms waited is not the slowest part's write cycle: with CS raised
    // the chip still shows busy on DO, and ready once the cycle is over.
    EXPECT_EQ(ReadyLevel(rig), 0);
    rig.clock.SleepMs(20);
    EXPECT_EQ(ReadyLevel(rig), 1);
    rig.port.Loads().clear();
    EXPECT_EQ(rig.adapter.MicrowireRead(0x55, 6, 8), 0xC3);
    frames = SelectedFrames(rig.port.Loads(), true);
    ASSERT_EQ(frames.size(), 1u);
    // Start, READ, address, the clock over the dummy 0, then the eight data clocks.
    ASSERT_EQ(frames[0].size(), 1u + 2 + 7 + 1 + 8);
    EXPECT_EQ(Bits(frames[0], 0, 3), 0b110);
    EXPECT_EQ(Bits(frames[0], 3, 7), 0x55);
    EXPECT_EQ(frames[0][10], 0);
    EXPECT_EQ(rig.port.Loads().back() & 0x20, 0);  // left deselected
}

TEST(SerialFrames, MicrowireOrganisationLine) {
    SocketRig rig("93C46 (16)");
    rig.adapter.MicrowireWrite(0x21, 5, 16, 0xBEEF);
    EXPECT_NE(rig.port.Loads().back() & 0x10, 0);
    EXPECT_EQ(rig.chip->Memory()[0x42], 0xBE);
    EXPECT_EQ(rig.chip->Memory()[0x43], 0xEF);
    rig.clock.SleepMs(20);
    EXPECT_EQ(rig.adapter.MicrowireRead(0x21, 5, 16), 0xBEEF);
    // The same chip in byte organisation sees the word as two bytes.
    EXPECT_EQ(rig.adapter.MicrowireRead(0x43, 6, 8), 0xEF);
    EXPECT_EQ(rig.port.Loads().back() & 0x10, 0);
}

TEST(SerialFrames, DacFrameClockOrderAndLatch) {
    SocketRig rig("M62358,M62359");
    hardware::SendDacFrame(rig.adapter, 0, 2, 0x80);
    const auto frames = SelectedFrames(rig.port.Loads(), true, simulator::kSocketOrg);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::vector<int>{1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    auto channels = rig.chip->Channels();
    ASSERT_EQ(channels.size(), 12u);
    EXPECT_EQ(channels[0].value, 0x80);
    EXPECT_EQ(channels[0].range, 2);
    EXPECT_NEAR(channels[0].Volts(), 128.0 / 255.0 * 9.0, 1e-9);

    rig.port.Loads().clear();
    hardware::SendDacFrame(rig.adapter, 11, 3, 0xFF);
    const auto last = SelectedFrames(rig.port.Loads(), true, simulator::kSocketOrg);
    EXPECT_EQ(Bits(last[0], 0, 4), 0b0011);  // address 12, least significant bit first
    channels = rig.chip->Channels();
    EXPECT_DOUBLE_EQ(channels[11].Volts(), 12.0);
    EXPECT_EQ(channels[0].value, 0x80);
}

}  // namespace
