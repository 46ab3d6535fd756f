// The socket chip models on their own terms: what each chip does with
// instructions the program never sends (and with the ones it does, at the
// edges), driven through the adapter's line primitives.
#include <gtest/gtest.h>

#include <initializer_list>

#include "simulator/microwire_chip.h"
#include "simulator/spi_chip.h"
#include "support/serial_socket.h"

namespace {

using hardware::kLineClock;
using hardware::kLineSelect;
using testsupport::SocketRig;

void Line(SocketRig& rig, int line, bool high) {
    if (high) {
        rig.adapter.SetLatchBit(line);
    } else {
        rig.adapter.ClearLatchBit(line);
    }
    rig.adapter.WriteLatch(rig.adapter.Latch());
}

struct Field {
    std::uint32_t value;
    int bits;
};

void Send(SocketRig& rig, std::initializer_list<Field> fields) {
    for (const Field& field : fields) {
        for (int b = field.bits - 1; b >= 0; --b) rig.adapter.SendBit((field.value >> b) & 1);
    }
}

// One Microwire instruction: select, the fields (start bit first), deselect.
void Microwire(SocketRig& rig, std::initializer_list<Field> fields, bool deselect = true) {
    Line(rig, kLineClock, false);
    Line(rig, kLineSelect, true);
    Send(rig, fields);
    if (deselect) Line(rig, kLineSelect, false);
}

// One SPI instruction: /CS low, the fields, /CS high unless told otherwise.
void Spi(SocketRig& rig, std::initializer_list<Field> fields, bool deselect = true) {
    Line(rig, kLineClock, false);
    Line(rig, kLineSelect, false);
    Send(rig, fields);
    Line(rig, kLineClock, false);
    if (deselect) Line(rig, kLineSelect, true);
}

// Reads `count` bits the way the program does: clock low, sample, clock high.
std::uint32_t ClockIn(SocketRig& rig, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        Line(rig, kLineClock, false);
        value = (value << 1) | ((rig.port.In(hardware::kLpt1 + 1) & 0x08) ? 1 : 0);
        Line(rig, kLineClock, true);
    }
    return value;
}

bool DataOut(SocketRig& rig) { return rig.chip->DataOut(rig.clock.Peek()); }

TEST(SerialChipCatalogue, EveryChipListEntryHasItsModel) {
    const std::pair<const char*, std::size_t> chips[] = {
        {"93C06 (8)", 32},   {"93C06 (16)", 32},   {"93C46 (8)", 128},  {"93C46 (16)", 128},
        {"93C56 (8)", 256},  {"93C56 (16)", 256},  {"93C66 (8)", 512},  {"93C66 (16)", 512},
        {"93C76 (8)", 1024}, {"93C76 (16)", 1024}, {"93C86 (8)", 2048}, {"93C86 (16)", 2048},
        {"AT25C010", 128},   {"AT25C020", 256},    {"AT25C040", 512},   {"AT25C080", 1024},
        {"AT25C160", 2048},
    };
    for (const auto& [text, size] : chips) {
        auto chip = simulator::MakeSerialChip(text);
        ASSERT_NE(chip, nullptr) << text;
        EXPECT_EQ(std::string(text).rfind(chip->Name(), 0), 0u) << text;
        EXPECT_EQ(chip->Memory(), std::vector<std::uint8_t>(size, 0xFF)) << text;
        EXPECT_TRUE(chip->Channels().empty());
    }
    auto dac = simulator::MakeSerialChip("M62358,M62359");
    ASSERT_NE(dac, nullptr);
    EXPECT_TRUE(dac->Memory().empty());
    EXPECT_EQ(dac->Channels().size(), 12u);
    for (const char* text : {"", "24C16", "93C46 (32)", "93C46 (8) ", "M62358"}) {
        EXPECT_EQ(simulator::MakeSerialChip(text), nullptr) << text;
    }
}

constexpr Field kStart{1, 1};

TEST(MicrowireChip, WritesOnlyWhileEnabled) {
    SocketRig rig("93C46 (8)");
    auto& memory = rig.chip->Memory();
    const Field write{0b01, 2};
    Microwire(rig, {kStart, write, {3, 7}, {0x55, 8}});  // before any EWEN: ignored
    EXPECT_EQ(memory[3], 0xFF);
    Microwire(rig, {kStart, {0, 2}, {0b11, 2}, {0, 5}});  // EWEN
    Microwire(rig, {kStart, write, {3, 7}, {0x55, 8}});
    EXPECT_EQ(memory[3], 0x55);
    rig.clock.SleepMs(5);
    Microwire(rig, {kStart, {0, 2}, {0, 7}});  // EWDS
    Microwire(rig, {kStart, write, {3, 7}, {0, 8}});
    EXPECT_EQ(memory[3], 0x55);
}

TEST(MicrowireChip, IgnoresClocksAfterACompleteInstruction) {
    SocketRig rig("93C56 (8)");  // 9 address bits, the top one unused
    auto& memory = rig.chip->Memory();
    // EWEN, then a whole WRITE in the same selection: only the EWEN counts.
    Microwire(rig, {kStart, {0, 2}, {0b11, 2}, {0, 7}, kStart, {0b01, 2}, {5, 9}, {0x11, 8}});
    EXPECT_EQ(memory[5], 0xFF);
    Microwire(rig, {kStart, {0b01, 2}, {0x105, 9}, {0x22, 8}});
    EXPECT_EQ(memory[5], 0x22);
}

TEST(MicrowireChip, EraseAndWriteAllInWords) {
    SocketRig rig("93C06 (16)");
    Line(rig, hardware::kLineOrg, true);
    auto& memory = rig.chip->Memory();
    Microwire(rig, {kStart, {0, 2}, {0b11, 2}, {0, 4}});                // EWEN, 6 address bits
    Microwire(rig, {kStart, {0, 2}, {0b01, 2}, {0, 4}, {0x1234, 16}});  // WRAL
    for (std::size_t k = 0; k < memory.size(); k += 2) {
        ASSERT_EQ(memory[k], 0x12);
        ASSERT_EQ(memory[k + 1], 0x34);
    }
    rig.clock.SleepMs(10);                        // the slowest 93Cxx write cycle
    Microwire(rig, {kStart, {0b11, 2}, {2, 6}});  // ERASE word 2
    EXPECT_EQ(memory[4], 0xFF);
    EXPECT_EQ(memory[5], 0xFF);
    EXPECT_EQ(memory[6], 0x12);
    rig.clock.SleepMs(10);
    Microwire(rig, {kStart, {0, 2}, {0b10, 2}, {0, 4}});  // ERAL
    EXPECT_EQ(memory, std::vector<std::uint8_t>(32, 0xFF));
}

TEST(MicrowireChip, ReadRunsOnIntoTheNextWords) {
    SocketRig rig("93C46 (8)");
    auto& memory = rig.chip->Memory();
    for (std::size_t k = 0; k < memory.size(); ++k) memory[k] = static_cast<std::uint8_t>(k * 3);
    Microwire(rig, {kStart, {0b10, 2}, {126, 7}}, false);
    // The dummy 0 shows first, then bytes 126, 127 and (wrapping) 0.
    EXPECT_EQ(ClockIn(rig, 25), (126u * 3 % 256) << 16 | (127u * 3 % 256) << 8 | 0u);
}

TEST(MicrowireChip, PutInWhileSelectedItTakesTheFirstInstruction) {
    SocketRig rig;
    for (int line = hardware::kLineOrg; line <= kLineClock; ++line) rig.adapter.SetLatchBit(line);
    rig.adapter.WriteLatch(rig.adapter.Latch());  // the lines idle high, as after every transfer
    rig.Insert("93C46 (8)");
    rig.chip->Memory()[0] = 0x3C;
    EXPECT_EQ(rig.adapter.MicrowireRead(0, 6, 8), 0x3C);
}

TEST(MicrowireChip, ShowsBusyUntilTheWriteCycleEnds) {
    SocketRig rig("93C46 (8)");
    Microwire(rig, {kStart, {0, 2}, {0b11, 2}, {0, 5}});
    Microwire(rig, {kStart, {0b01, 2}, {9, 7}, {0x99, 8}});
    Line(rig, kLineSelect, true);
    EXPECT_FALSE(DataOut(rig));
    // A start bit while busy is not taken.
    Microwire(rig, {kStart, {0b01, 2}, {9, 7}, {0x00, 8}}, false);
    EXPECT_EQ(rig.chip->Memory()[9], 0x99);
    rig.clock.Advance(rig.chip->WriteCycleUs());
    EXPECT_TRUE(DataOut(rig));
}

TEST(SpiChip, WriteNeedsWrenAndTheLatchClearsAfterTheCycle) {
    SocketRig rig("AT25C020");
    auto* chip = static_cast<simulator::SpiChip*>(rig.chip.get());
    auto& memory = chip->Memory();
    Spi(rig, {{0x02, 8}, {0x40, 8}, {0x77, 8}});
    EXPECT_EQ(memory[0x40], 0xFF);
    Spi(rig, {{0x06, 8}});
    EXPECT_EQ(chip->Status(rig.clock.Peek()), 0x02);
    Spi(rig, {{0x02, 8}, {0x40, 8}, {0x77, 8}});
    EXPECT_EQ(memory[0x40], 0x77);
    // During the cycle only RDSR answers.
    Spi(rig, {{0x05, 8}}, false);
    EXPECT_EQ(ClockIn(rig, 8), 0x03u);
    Line(rig, kLineSelect, true);
    Spi(rig, {{0x03, 8}, {0x40, 8}}, false);
    EXPECT_EQ(ClockIn(rig, 8), 0xFFu);
    Line(rig, kLineSelect, true);
    rig.clock.Advance(chip->WriteCycleUs());
    EXPECT_EQ(chip->Status(rig.clock.Peek()), 0x00);
    Spi(rig, {{0x02, 8}, {0x40, 8}, {0x00, 8}});
    EXPECT_EQ(memory[0x40], 0x77);
}

TEST(SpiChip, PageWrapsAndPartialBytesAbort) {
    SocketRig rig("AT25C020");
    auto& memory = rig.chip->Memory();
    Spi(rig, {{0x06, 8}});
    Spi(rig, {{0x02, 8}, {0x0E, 8}, {0x00010203, 32}, {0x04050607, 32}, {0x0809, 16}});
    // Ten bytes into an 8-byte page from offset 6: the last two wrap over the first.
    const std::vector<std::uint8_t> page{2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 8, memory.begin() + 16), page);
    EXPECT_EQ(memory[0x10], 0xFF);
    rig.clock.SleepMs(5);
    Spi(rig, {{0x06, 8}});
    Spi(rig, {{0x02, 8}, {0x20, 8}, {0x1F, 5}});
    EXPECT_EQ(memory[0x20], 0xFF);
    EXPECT_EQ(static_cast<simulator::SpiChip*>(rig.chip.get())->Status(rig.clock.Peek()), 0x02);
}

TEST(SpiChip, AddressesWrapAndReadsRunOn) {
    SocketRig rig("AT25C010");
    auto& memory = rig.chip->Memory();
    Spi(rig, {{0x06, 8}});
    Spi(rig, {{0x02, 8}, {0x85, 8}, {0x3C, 8}});  // seven address bits: 0x85 is 5
    EXPECT_EQ(memory[5], 0x3C);
    memory[127] = 0xA7;
    memory[0] = 0x5E;
    rig.clock.SleepMs(5);
    Spi(rig, {{0x03, 8}, {127, 8}}, false);
    EXPECT_EQ(ClockIn(rig, 16), 0xA75Eu);
}

TEST(DacChip, LatchesOnlyWholeFramesForItsChannels) {
    SocketRig rig("M62358,M62359");
    auto frame = [&](std::initializer_list<Field> fields) {
        Line(rig, hardware::kLineOrg, true);
        Line(rig, kLineSelect, false);
        Send(rig, fields);
        Line(rig, kLineSelect, true);
        Line(rig, hardware::kLineOrg, false);
    };
    frame({{0b1000, 4}, {0b01, 2}, {0x12, 7}});  // 13 bits: nothing
    EXPECT_EQ(rig.chip->Channels()[0].value, 0);
    frame({{0b1111, 4}, {0, 2}, {0x12, 8}});  // address 15: no such channel
    frame({{0, 4}, {0, 2}, {0x12, 8}});
    frame({{0b1, 3}, {0b0100, 4}, {0b11, 2}, {0xC4, 8}});  // the last 14 bits count: address 2
    const auto channels = rig.chip->Channels();
    EXPECT_EQ(channels[1].value, 0xC4);
    EXPECT_EQ(channels[1].range, 3);
    for (std::size_t k = 0; k < channels.size(); ++k) {
        if (k != 1) {
            EXPECT_EQ(channels[k].value, 0) << k;
        }
    }
    rig.chip->SetStoreFault(true);
    frame({{0b1000, 4}, {0, 2}, {0x99, 8}});
    EXPECT_EQ(rig.chip->Channels()[0].value, 0);
    EXPECT_DOUBLE_EQ((simulator::DacChannel{255, 0}).Volts(), 5.0);
    EXPECT_DOUBLE_EQ((simulator::DacChannel{0, 3}).Volts(), 0.0);
}

}  // namespace
