// PortAdapter's exact access sequences, checked on a recording backend: the
// port configuration, the latch load, the controller reset in every mode with
// its 1 ms pulse, and the PCF8584 transactions on scripted status values.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "hardware/port_adapter.h"
#include "hardware/recording_port_io.h"
#include "platform/counter.h"

namespace {

using hardware::PortAdapter;
using Lines = std::vector<std::string>;

class PortAdapterOrderTest : public ::testing::Test {
protected:
    static std::string Out(unsigned port, unsigned value) {
        return RecordingPortIo::Line("out", port, value);
    }
    static std::string In(unsigned port, unsigned value) { return RecordingPortIo::Line("in", port, value); }

    // The controller programming that ends every reset: S0' := own, S2 :=
    // 0x1C, S1 := 0xC1, then the 0x55 probe written and read back.
    static Lines Program(unsigned base, unsigned own, unsigned readBack) {
        return {Out(base + 3, 0x80), Out(base + 4, own),  Out(base + 3, 0xA0),   Out(base + 4, 0x1C),
                Out(base + 3, 0xC1), Out(base + 4, 0x55), In(base + 4, readBack)};
    }
    static Lines Join(Lines a, const Lines& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    std::size_t IndexOf(const std::string& line, std::size_t from = 0) const {
        return std::find(ports.lines.begin() + from, ports.lines.end(), line) - ports.lines.begin();
    }

    platform::VirtualCounter clock;
    RecordingPortIo ports{&clock};
};

TEST_F(PortAdapterOrderTest, ConfigurePortSelectsTheBaseThenEppMode) {
    struct Case {
        int base;
        unsigned config1;
    };
    for (const Case c : {Case{0x378, 0x96}, Case{0x278, 0x97}, Case{0x3BC, 0x97}}) {
        SCOPED_TRACE(c.base);
        ports.Clear();
        ports.Script(static_cast<std::uint16_t>(c.base), {0x55});
        PortAdapter adapter(ports, clock);
        adapter.SetBase(c.base);
        adapter.ConfigurePort();
        const unsigned base = static_cast<unsigned>(c.base);
        EXPECT_EQ(ports.lines,
                  (Lines{Out(0x3F0, 0x01), Out(0x3F1, c.config1), Out(0x3F0, 0x04), Out(0x3F1, 0x03),
                         Out(base + 0x402, 0x34), Out(base + 0x402, 0x80), Out(base, 0x55), In(base, 0x55)}));
    }
}

TEST_F(PortAdapterOrderTest, WriteLatchPulsesInitAroundTheData) {
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x278);
    ports.Script(0x27A, {0xCC});
    adapter.WriteLatch(0xA5);
    EXPECT_EQ(ports.lines, (Lines{Out(0x278, 0xA5), In(0x27A, 0xCC), Out(0x27A, 0xC8), Out(0x27A, 0x04)}));
}

TEST_F(PortAdapterOrderTest, ResetAdapterInEveryMode) {
    const Lines program = Program(0x378, 0x55, 0x55);
    struct Case {
        int mode;
        Lines latch;          // between the control read and the switch to EPP
        std::int64_t delays;  // 1 ms delays
    };
    const Case cases[] = {
        {0, {Out(0x378, 0xFD), Out(0x37A, 0xC8), Out(0x37A, 0x04)}, 1},
        // Stop state first (bit 0 clear, bit 1 set), then the given latch.
        {1,
         {Out(0x378, 0xFE), Out(0x37A, 0xC8), Out(0x37A, 0x04), Out(0x378, 0xFD), In(0x37A, 0x0E),
          Out(0x37A, 0x0A), Out(0x37A, 0x04)},
         2},
        {2, {Out(0x378, 0xFE), Out(0x37A, 0xC8), Out(0x37A, 0x04)}, 1},
        {7, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ports.Clear();
        ports.Script(0x37A, {0xCC, 0x0E});
        ports.Script(0x37C, {0x55});
        PortAdapter adapter(ports, clock);
        adapter.SetBase(0x378);
        adapter.SetLatch(0x11);
        const std::int64_t queriesBefore = clock.queries();
        EXPECT_EQ(adapter.ResetAdapter(static_cast<std::uint8_t>(c.mode), 0xFD), hardware::kProbeOk);
        EXPECT_EQ(
            ports.lines,
            Join(Join({Out(0x77A, 0x00), In(0x37A, 0xCC)}, Join(c.latch, {Out(0x77A, 0x80)})), program));
        EXPECT_EQ(adapter.Latch(), 0x11);  // the shadow is the caller's business
        // Each /INIT low lasts a whole millisecond of counter time: one start
        // read and a thousand polls at one count each.
        EXPECT_EQ(clock.queries() - queriesBefore, c.delays * 1001);
        for (std::size_t low = 0; low < ports.lines.size(); ++low) {
            if (ports.lines[low] != Out(0x37A, 0xC8) && ports.lines[low] != Out(0x37A, 0x0A)) continue;
            const std::size_t high = IndexOf(Out(0x37A, 0x04), low);
            ASSERT_LT(high, ports.lines.size());
            EXPECT_GE(ports.times[high] - ports.times[low], 1000);
        }
    }
    // Without the controller the probe reads back whatever floats on the port.
    ports.Clear();
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x278);
    EXPECT_EQ(adapter.ResetAdapter(0, 0xFD), 0xFF);
}

TEST_F(PortAdapterOrderTest, InitControllerProgramsOwnAddressZero) {
    ports.Script(0x27C, {0x55});
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x278);
    EXPECT_EQ(adapter.InitController(), hardware::kProbeOk);
    EXPECT_EQ(ports.lines, Program(0x278, 0x00, 0x55));
}

TEST_F(PortAdapterOrderTest, I2cWriteByteOrderAndFailures) {
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x378);
    ports.Script(0x37B, {0x81, 0x00, 0x00, 0x00});  // bus free, then three acknowledged bytes
    EXPECT_EQ(adapter.I2cWriteByte(0x10, 0xA1, 0x5A), hardware::ByteResult::Done);
    EXPECT_EQ(ports.lines,
              (Lines{In(0x37B, 0x81), Out(0x37C, 0xA0), Out(0x37B, 0xC5), In(0x37B, 0x00), Out(0x37C, 0x10),
                     In(0x37B, 0x00), Out(0x37C, 0x5A), In(0x37B, 0x00), Out(0x37B, 0xC3)}));

    // Bus held busy: a thousand polls, and not one write.
    ports.Clear();
    ports.fallback = [](std::uint16_t) { return std::uint8_t{0x00}; };
    EXPECT_EQ(adapter.I2cWriteByte(0x10, 0xA0, 0x5A), hardware::ByteResult::BusBusy);
    EXPECT_EQ(ports.lines.size(), 1000u);
    EXPECT_EQ(std::count(ports.lines.begin(), ports.lines.end(), In(0x37B, 0x00)), 1000);

    // No acknowledge: three waits time out, the address is the only byte
    // sent, and STOP still releases the bus.
    ports.Clear();
    ports.Script(0x37B, {0x81});
    ports.fallback = [](std::uint16_t) { return std::uint8_t{0x08}; };
    EXPECT_EQ(adapter.I2cWriteByte(0x10, 0xA0, 0x5A), hardware::ByteResult::NoAck);
    EXPECT_EQ(ports.lines.size(), 1u + 2u + 3000u + 1u);
    EXPECT_EQ(std::count_if(ports.lines.begin(), ports.lines.end(),
                            [](const std::string& l) { return l.rfind("out 037C", 0) == 0; }),
              1);
    EXPECT_EQ(ports.lines.back(), Out(0x37B, 0xC3));
}

TEST_F(PortAdapterOrderTest, I2cReadByteOrderAndFailures) {
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x378);
    // Address phase: free, ack, ack; read phase: free, ack, ack, PIN clear.
    ports.Script(0x37B, {0x81, 0x00, 0x00, 0x81, 0x00, 0x00, 0x00});
    ports.Script(0x37C, {0x33, 0x5A});
    EXPECT_EQ(adapter.I2cReadByte(0x10, 0xA0).value, 0x5A);
    EXPECT_EQ(ports.lines,
              (Lines{In(0x37B, 0x81), Out(0x37C, 0xA0), Out(0x37B, 0xC5), In(0x37B, 0x00), Out(0x37C, 0x10),
                     In(0x37B, 0x00), Out(0x37B, 0x45), Out(0x37C, 0xA1), In(0x37B, 0x81), Out(0x37B, 0xC5),
                     In(0x37B, 0x00), In(0x37C, 0x33), In(0x37B, 0x00), Out(0x37B, 0x40), In(0x37C, 0x5A),
                     In(0x37B, 0x00), Out(0x37B, 0xC3)}));

    // Bus never free: the address phase is skipped, the read phase gives up
    // with STOP and NoAck.
    ports.Clear();
    ports.fallback = [](std::uint16_t) { return std::uint8_t{0x00}; };
    EXPECT_EQ(adapter.I2cReadByte(0x10, 0xA0).result, hardware::ByteResult::NoAck);
    EXPECT_EQ(ports.lines[1000], Out(0x37C, 0xA1));
    EXPECT_EQ(ports.lines.back(), Out(0x37B, 0xC3));
    EXPECT_EQ(ports.lines.size(), 2002u);

    // No acknowledge of the read address: TimedOut, after STOP.
    ports.Clear();
    ports.Script(0x37B, {0x81, 0x08});
    ports.fallback = [](std::uint16_t) { return std::uint8_t{0x09}; };  // free, but never acknowledged
    EXPECT_EQ(adapter.I2cReadByte(0x10, 0xA0).result, hardware::ByteResult::TimedOut);
    EXPECT_EQ(ports.lines.back(), Out(0x37B, 0xC3));
    EXPECT_EQ(std::count(ports.lines.begin(), ports.lines.end(), Out(0x37B, 0xC5)), 2);
}

TEST_F(PortAdapterOrderTest, I2cTransfersWaitForEachByteAndTakeTheLastAfterStop) {
    PortAdapter adapter(ports, clock);
    adapter.SetBase(0x378);
    // A random read: the word address, a repeated START, two bytes. The
    // first S0 read is a dummy; the last byte is taken after STOP.
    ports.Script(0x37B, {0x81, 0x00, 0x00, 0x00, 0x00, 0x00});
    ports.Script(0x37C, {0x33, 0x5A, 0x6B});
    std::uint8_t sub = 0x10;
    std::uint8_t got[2] = {};
    const hardware::I2cMessage read[] = {{0x50, false, {&sub, 1}}, {0x50, true, got}};
    EXPECT_TRUE(adapter.Transfer(read).Ok());
    EXPECT_EQ(ports.lines, (Lines{In(0x37B, 0x81), Out(0x37C, 0xA0), Out(0x37B, 0xC5), In(0x37B, 0x00),
                                  Out(0x37C, 0x10), In(0x37B, 0x00), Out(0x37B, 0x45), Out(0x37C, 0xA1),
                                  In(0x37B, 0x00), In(0x37C, 0x33), In(0x37B, 0x00), Out(0x37B, 0x40),
                                  In(0x37C, 0x5A), In(0x37B, 0x00), Out(0x37B, 0xC3), In(0x37C, 0x6B)}));
    EXPECT_EQ(got[0], 0x5A);
    EXPECT_EQ(got[1], 0x6B);

    // A refused byte ends the write with STOP even when a read was to
    // follow, and the result says which.
    ports.Clear();
    ports.Script(0x37B, {0x81, 0x00});
    ports.fallback = [](std::uint16_t) { return std::uint8_t{0x08}; };  // PIN clear, LRB set
    std::uint8_t data[3] = {1, 2, 3};
    const hardware::I2cMessage refused[] = {{0x50, false, data}, {0x50, true, got}};
    const hardware::I2cResult result = adapter.Transfer(refused);
    EXPECT_EQ(result.status, hardware::I2cStatus::NoAck);
    EXPECT_EQ(result.message, 0);
    EXPECT_EQ(result.byte, 0);
    EXPECT_EQ(ports.lines.back(), Out(0x37B, 0xC3));
    EXPECT_EQ(std::count_if(ports.lines.begin(), ports.lines.end(),
                            [](const std::string& l) { return l.rfind("out 037C", 0) == 0; }),
              2);

    // An address probe goes out at once: START, the address, STOP.
    ports.Clear();
    ports.Script(0x37B, {0x08});
    const hardware::I2cMessage probe{0x50};
    EXPECT_EQ(adapter.Transfer({&probe, 1}).byte, hardware::I2cResult::kAddressByte);
    EXPECT_EQ(ports.lines, (Lines{Out(0x37C, 0xA0), Out(0x37B, 0xC5), In(0x37B, 0x08), Out(0x37B, 0xC3)}));
}

TEST_F(PortAdapterOrderTest, LatchBitsOutOfRangeChangeNothing) {
    PortAdapter adapter(ports, clock);
    adapter.SetLatch(0x5A);
    adapter.SetLatchBit(8);
    adapter.ClearLatchBit(-1);
    adapter.SetLatchBit(-1);
    adapter.ClearLatchBit(8);
    EXPECT_EQ(adapter.Latch(), 0x5A);
    adapter.SetLatchBit(0);
    adapter.ClearLatchBit(6);
    EXPECT_EQ(adapter.Latch(), 0x1B);
    EXPECT_TRUE(ports.lines.empty());
}

TEST_F(PortAdapterOrderTest, DelayZeroReadsTheCounterOnce) {
    PortAdapter adapter(ports, clock);
    const std::int64_t before = clock.queries();
    adapter.DelayMs(0);
    EXPECT_EQ(clock.queries() - before, 1);
    adapter.DelayMs(-5);  // a negative wait is already over
    EXPECT_EQ(clock.queries() - before, 2);
    adapter.DelayMs(15);
    EXPECT_GE(clock.Peek(), 15000);
    EXPECT_TRUE(ports.lines.empty());
}

TEST_F(PortAdapterOrderTest, FailedCounterIsReportedAndTheAdapterStillWorks) {
    std::vector<std::string> messages;
    const hardware::CounterErrorSink sink = [&](const std::string& text) { messages.push_back(text); };
    clock.SetFrequencyFails(true);
    PortAdapter adapter(ports, clock, sink);
    EXPECT_EQ(messages, std::vector<std::string>{"Error: MB doesnot support QPC"});
    EXPECT_EQ(adapter.Frequency(), 1);
    const std::int64_t before = clock.queries();
    adapter.DelayMs(1);  // one count per second: a millisecond is no count at all
    EXPECT_EQ(clock.queries() - before, 1);
    adapter.SetBase(0x378);
    ports.Script(0x37C, {0x55});
    EXPECT_EQ(adapter.ResetAdapter(0, 0xFD), hardware::kProbeOk);

    // A counter that stops answering reads 0 for ever: the wait still ends.
    clock.SetFrequencyFails(false);
    PortAdapter timed(ports, clock, sink);
    clock.SetReadFails(true);
    const std::int64_t failedBefore = clock.queries();
    timed.DelayMs(1);
    EXPECT_EQ(clock.queries() - failedBefore, 1001);
    EXPECT_EQ(messages.size(), 1u);
}

// --- Serial frames in line order --------------------------------------------
//
// The frames written the way the serial-chip sequences are given: "s5" sets
// latch bit 5 and loads the latch, "c7" clears bit 7 and loads it, "r" reads
// the status port (serial data in). Each load is the data write and the
// /INIT pulse; nothing else may come between the steps.
class SerialOrderTest : public PortAdapterOrderTest {
protected:
    static std::string Send(const std::string& bits) {
        std::string steps;
        for (char b : bits) steps += b == '1' ? " s6 c7 s7" : " c6 c7 s7";
        return steps;
    }
    static std::string Repeat(int count, const std::string& steps) {
        std::string all;
        for (int i = 0; i < count; ++i) all += " " + steps;
        return all;
    }
    // Clock once while deselected, select, clock in the start bit.
    static constexpr const char* kStart = " c6 c7 s7 c7 s6 s5 s7";

    // The trace of `steps` from latch value `latch`, at 0x378, with every
    // read answering 0xFF.
    static Lines Trace(std::uint8_t latch, const std::string& steps) {
        Lines lines;
        std::istringstream words(steps);
        for (std::string step; words >> step;) {
            if (step == "r") {
                lines.push_back(In(0x379, 0xFF));
                continue;
            }
            const int bit = step[1] - '0';
            latch = static_cast<std::uint8_t>(step[0] == 's' ? latch | (1u << bit) : latch & ~(1u << bit));
            const Lines load = {Out(0x378, latch), In(0x37A, 0xFF), Out(0x37A, 0xFB), Out(0x37A, 0x04)};
            lines.insert(lines.end(), load.begin(), load.end());
        }
        return lines;
    }
    PortAdapter& Adapter(std::uint8_t latch) {
        adapter_.SetBase(0x378);
        adapter_.SetLatch(latch);
        ports.Clear();
        return adapter_;
    }

private:
    PortAdapter adapter_{ports, clock};
};

TEST_F(SerialOrderTest, MicrowireReadWriteEnableAndWrite) {
    // 93C06 (8)-sized frames: n = 2, three address bits; address 5 is 101.
    EXPECT_EQ(Adapter(0x1D).MicrowireRead(5, 2, 8), 0xFF);
    EXPECT_EQ(ports.lines, Trace(0x1D, std::string(" c4") + kStart + Send("10") + Send("101") + Send("0") +
                                           Repeat(8, "c7 r s7") + " c5"));

    // Write enable: 0 0 1 1, the rest of the address field all ones, then
    // deselect and one more clock.
    const std::string enable = std::string(kStart) + Send("0011") + Repeat(2, "c7 s7") + " c5 c7 s7";
    Adapter(0x1D).MicrowireWriteEnable(2);
    EXPECT_EQ(ports.lines, Trace(0x1D, enable));

    EXPECT_EQ(Adapter(0x0D).MicrowireWrite(5, 2, 16, 0xA53C), 5);
    EXPECT_EQ(ports.lines, Trace(0x0D, enable + " s4" + kStart + Send("01") + Send("101") +
                                           Send("1010010100111100") + " c5 c7 s7 s5 c5"));
}

TEST_F(SerialOrderTest, SpiReadAndWrite) {
    // AT25C040 at 0x12C: address bit 8 in the opcodes, the low eight bits sent.
    Adapter(0xFD).SpiWriteByte(0x12C, 8, 0x5A);
    EXPECT_EQ(ports.lines, Trace(0xFD, " c7 c5" + Send("00001110") + " c7 s5 c5" + Send("00001010") +
                                           Send("00101100") + Send("01011010") + " c7 s5"));

    EXPECT_EQ(Adapter(0xFD).SpiReadByte(0x12C, 8), 0xFF);
    EXPECT_EQ(ports.lines, Trace(0xFD, " c7 c5" + Send("00001011") + Send("00101100") + Repeat(7, "c7 r s7") +
                                           " c7 r s5"));
}

}  // namespace
