// The PCF8584 driver against the simulated bench: probe, EEPROM and register
// transfers, the faults a technician meets, and drivers that get the register
// order wrong and must fail as they would on the real chip.
#include "bench_support.h"
#include "hardware/probe.h"

namespace benchtest {
namespace {

using hardware::ByteResult;
using hardware::kProbeOk;
using simulator::SimulatedBench;

class BenchI2cTest : public BenchTest {
protected:
    // START, the address and the bytes, each waited for; no STOP.
    void SendWithoutStop(std::uint8_t address, std::initializer_list<std::uint8_t> bytes) {
        io().Out(S0(), address);
        io().Out(S1(), 0xC5);
        for (std::uint8_t b : bytes) {
            ASSERT_EQ(adapter().WaitAck(), ByteResult::Done);
            io().Out(S0(), b);
        }
        ASSERT_EQ(adapter().WaitAck(), ByteResult::Done);
    }
};

TEST_F(BenchI2cTest, ProbeFindsTheControllerOnlyWhereItIs) {
    EXPECT_EQ(adapter().ResetAdapter(0, 0xFD), kProbeOk);
    EXPECT_EQ(adapter().InitController(), kProbeOk);

    adapter().SetBase(hardware::kLpt2);
    EXPECT_NE(adapter().ResetAdapter(0, 0xFD), kProbeOk);

    bench_.SetPort(SimulatedBench::Port::Lpt2);
    EXPECT_EQ(adapter().ResetAdapter(0, 0xFD), kProbeOk);
    bench_.SetPort(SimulatedBench::Port::None);
    EXPECT_EQ(adapter().ResetAdapter(0, 0xFD), 0xFF);

    bench_.SetPort(SimulatedBench::Port::Lpt2);
    bench_.SetControllerPresent(false);
    EXPECT_NE(adapter().ResetAdapter(0, 0xFD), kProbeOk);
    EXPECT_EQ(bench_.Latch(), 0xFD) << "the latch works without the controller";
    bench_.SetControllerPresent(true);
    EXPECT_EQ(adapter().ResetAdapter(0, 0xFD), kProbeOk);
}

// `--check-ports` probes while a device may be held in Stop with a user
// output on: the latch must not move, whatever the data lines last carried.
TEST_F(BenchI2cTest, PortCheckProbeLeavesTheLatchAlone) {
    Probe();
    ASSERT_EQ(adapter().ResetAdapter(0, 0xF6), kProbeOk);  // Stop, Output1 on
    ASSERT_EQ(adapter().I2cWriteByte(0x05, 0x40, 0x33), ByteResult::Done);
    const std::uint8_t dataLines = io().In(hardware::kLpt1);
    const std::uint64_t loads = bench_.LatchLoads();
    EXPECT_TRUE(hardware::ProbeAdapterOn(bench_, counter_, hardware::kLpt1));
    EXPECT_FALSE(hardware::ProbeAdapterOn(bench_, counter_, hardware::kLpt2));
    EXPECT_EQ(bench_.Latch(), 0xF6);
    EXPECT_EQ(bench_.LatchLoads(), loads);
    EXPECT_EQ(io().In(hardware::kLpt1), dataLines);
}

TEST_F(BenchI2cTest, EppCyclesNeedEppMode) {
    adapter().SetLatch(0xFD);
    // Fresh bench: the port is in standard mode, the controller unreachable.
    EXPECT_EQ(adapter().InitController(), 0xFF);
    EXPECT_EQ(bench_.Ecr(), 0x00);
    Probe();
    EXPECT_EQ(bench_.Ecr(), 0x80);
    io().Out(hardware::kLpt1 + hardware::kEcr, 0x34);
    EXPECT_EQ(adapter().ReadStatus(), 0xFF);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0xA0, 0x11), ByteResult::NoAck)
        << "floating lines read as a free bus, never an ack";
    EXPECT_EQ(bench_.Eeprom()[0], 0xFF);
}

TEST_F(BenchI2cTest, EepromRoundTripInEveryBlockAndWriteCycle) {
    // A slow part: its 10 ms cycle outlasts both refused attempts below.
    bench_.SetSlowParts(true);
    Probe();
    for (int block = 0; block < 8; ++block) {
        const auto device = static_cast<std::uint8_t>(0xA0 + 2 * block);
        const auto sub = static_cast<std::uint8_t>(0x10 + block);
        const auto value = static_cast<std::uint8_t>(0x5A ^ (block * 0x11));
        ASSERT_EQ(adapter().I2cWriteByte(sub, device, value), ByteResult::Done) << "block " << block;
        // The chip is busy with its write cycle and ignores its address.
        EXPECT_EQ(adapter().I2cWriteByte(sub, device, 0x00), ByteResult::NoAck);
        EXPECT_EQ(adapter().I2cReadByte(sub, device).result, ByteResult::NoAck);
        WaitWriteCycle();
        EXPECT_EQ(adapter().I2cReadByte(sub, device).value, value) << "block " << block;
        EXPECT_EQ(bench_.Eeprom()[block * 256 + sub], value);
    }
    // Reads see what is in the array, including what a test put there.
    bench_.Eeprom()[0x7FF] = 0x42;
    EXPECT_EQ(adapter().I2cReadByte(0xFF, 0xAE).value, 0x42);
    EXPECT_EQ(adapter().I2cReadByte(0xFF, 0xAF).value, 0x42) << "the driver forces the R/W bit itself";
}

TEST_F(BenchI2cTest, BusHeldBusyGives1000WithoutTouchingS0) {
    Probe();
    bench_.SetBusHeldBusy(true);
    RecordingPortIo recorder(bench_);
    hardware::PortAdapter recorded(recorder, counter_);
    recorded.SetBase(hardware::kLpt1);
    recorded.SetLatch(adapter().Latch());
    EXPECT_EQ(recorded.I2cWriteByte(0x00, 0xA0, 0x12), ByteResult::BusBusy);
    EXPECT_EQ(recorder.Writes(S0()), 0);
    EXPECT_EQ(recorder.Writes(S1()), 0);
    EXPECT_EQ(recorded.I2cReadByte(0x00, 0xA0).result, ByteResult::NoAck);

    bench_.SetBusHeldBusy(false);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0xA0, 0x12), ByteResult::Done);
    EXPECT_EQ(bench_.Eeprom()[0], 0x12);
}

TEST_F(BenchI2cTest, MissingOrSilentSlavesAreRefusedAndReadsRecover) {
    Probe();
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0x3A, 0x01), ByteResult::NoAck);
    EXPECT_EQ(adapter().I2cReadByte(0x00, 0x3A).result, ByteResult::NoAck);

    bench_.SetEepromPresent(false);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0xA0, 0x01), ByteResult::NoAck);
    EXPECT_EQ(adapter().I2cReadByte(0x00, 0xA0).result, ByteResult::NoAck);
    bench_.SetEepromPresent(true);

    bench_.SetSlavesNack(true);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0xA0, 0x01), ByteResult::NoAck);
    EXPECT_EQ(adapter().I2cWriteByte(0x00, 0x40, 0x01), ByteResult::NoAck);
    EXPECT_EQ(adapter().I2cReadByte(0x00, 0x40).result, ByteResult::NoAck);
    EXPECT_EQ(bench_.RegisterWrites(), 0u);
    bench_.SetSlavesNack(false);

    // Once the slaves answer again, so do the reads.
    for (int sub : {0x00, 0x7F, 0xFF}) {
        EXPECT_TRUE(adapter().I2cReadByte(static_cast<std::uint8_t>(sub), 0xA4).Ok());
    }
    // The bus is free after every one of those failures.
    EXPECT_EQ(adapter().WaitBusFree(), ByteResult::Done);
}

TEST_F(BenchI2cTest, RegisterDevicesHoldWhatWasWritten) {
    Probe();
    EXPECT_EQ(bench_.RegisterDevices(), (std::vector<std::uint8_t>{0x40, 0x42, 0x70, 0x90}));
    ASSERT_EQ(adapter().I2cWriteByte(0x05, 0x40, 0x99), ByteResult::Done);
    ASSERT_EQ(adapter().I2cWriteByte(0xFF, 0x91, 0x12), ByteResult::Done);
    EXPECT_EQ(bench_.Register(0x40, 0x05), 0x99);
    EXPECT_EQ(bench_.Register(0x90, 0xFF), 0x12);
    EXPECT_EQ(bench_.Register(0x42, 0x05), 0x00) << "each device has its own registers";
    EXPECT_EQ(bench_.RegisterWrites(), 2u);
    EXPECT_EQ(adapter().I2cReadByte(0x05, 0x40).value, 0x99);
    bench_.SetRegister(0x70, 0x20, 0x77);
    EXPECT_EQ(adapter().I2cReadByte(0x20, 0x70).value, 0x77);

    // A sequential write moves the register pointer on.
    adapter().InitController();
    SendWithoutStop(0x42, {0x10, 0xA1, 0xA2, 0xA3});
    io().Out(S1(), 0xC3);
    EXPECT_EQ(bench_.Register(0x42, 0x10), 0xA1);
    EXPECT_EQ(bench_.Register(0x42, 0x11), 0xA2);
    EXPECT_EQ(bench_.Register(0x42, 0x12), 0xA3);
    EXPECT_EQ(bench_.RegisterWrites(), 5u);
}

TEST_F(BenchI2cTest, PageWriteWrapsInsideItsPageAndCommitsOnStop) {
    Probe();
    // Word address 0x1E of block 1: the 4 bytes go to 0x11E, 0x11F, 0x110, 0x111.
    SendWithoutStop(0xA2, {0x1E, 0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(bench_.Eeprom()[0x11E], 0xFF) << "nothing is written before STOP";
    io().Out(S1(), 0xC3);
    EXPECT_EQ(bench_.Eeprom()[0x11E], 0x01);
    EXPECT_EQ(bench_.Eeprom()[0x11F], 0x02);
    EXPECT_EQ(bench_.Eeprom()[0x110], 0x03);
    EXPECT_EQ(bench_.Eeprom()[0x111], 0x04);
    EXPECT_EQ(bench_.Eeprom()[0x120], 0xFF);
}

TEST_F(BenchI2cTest, DriverWithoutStopKeepsTheBusAndWritesNothing) {
    Probe();
    SendWithoutStop(0xA0, {0x30, 0x66});
    // No STOP: the next transaction finds the bus busy, and the chip has
    // not started a write.
    EXPECT_EQ(adapter().I2cWriteByte(0x31, 0xA0, 0x67), ByteResult::BusBusy);
    EXPECT_EQ(bench_.Eeprom()[0x30], 0xFF);
    // Switching the interface off lets go of the bus without writing.
    Probe();
    EXPECT_EQ(adapter().I2cWriteByte(0x31, 0xA0, 0x67), ByteResult::Done);
    EXPECT_EQ(bench_.Eeprom()[0x30], 0xFF);
    EXPECT_EQ(bench_.Eeprom()[0x31], 0x67);
}

TEST_F(BenchI2cTest, DriverSendingDataBeforeStartFails) {
    Probe();
    // Data first, START last: the S0 writes only load the register, so the
    // START sends the last byte loaded as the address.
    io().Out(S0(), 0x30);
    io().Out(S0(), 0x66);
    EXPECT_EQ(adapter().WaitAck(), ByteResult::TimedOut) << "nothing is on the bus";
    io().Out(S1(), 0xC5);
    EXPECT_EQ(adapter().WaitAck(), ByteResult::TimedOut) << "0x66 is nobody's address";
    io().Out(S1(), 0xC3);
    EXPECT_EQ(bench_.Eeprom()[0x30], 0xFF);
    EXPECT_EQ(bench_.Register(0x66, 0x30), 0xFF);

    // START before the address is loaded: the probe byte 0x55 goes out.
    io().Out(S1(), 0xC5);
    io().Out(S0(), 0xA0);
    EXPECT_EQ(adapter().WaitAck(), ByteResult::TimedOut);
    io().Out(S1(), 0xC3);
}

TEST_F(BenchI2cTest, DriverThatSkipsTheDummyReadOrThePinWaitReadsStaleData) {
    Probe();
    ASSERT_EQ(adapter().I2cWriteByte(0x40, 0xA0, 0x3C), ByteResult::Done);
    WaitWriteCycle();
    ASSERT_EQ(adapter().I2cWriteByte(0x00, 0xA0, 0x00), ByteResult::Done);  // sets the pointer elsewhere
    WaitWriteCycle();
    auto addressForRead = [&] {
        SendWithoutStop(0xA0, {0x40});
        io().Out(S1(), 0x45);
        io().Out(S0(), 0xA1);
        ASSERT_EQ(adapter().WaitAck(), ByteResult::Done);
    };
    // Without the dummy read the first S0 read returns the address byte.
    addressForRead();
    io().Out(S1(), 0x40);
    EXPECT_EQ(io().In(S0()), 0xA1);
    ASSERT_EQ(adapter().WaitPin(), ByteResult::Done);
    io().Out(S1(), 0xC3);

    // Reading S0 before PIN falls returns what was there before.
    addressForRead();
    (void)io().In(S0());
    io().Out(S1(), 0x40);
    EXPECT_NE(io().In(S0()), 0x3C);
    io().Out(S1(), 0xC3);
}

// After a read's last byte (not acknowledged) the repeated START must be
// armed before S0 hands that byte over: a driver that reads it first clocks
// one more byte, from a line no slave drives.
TEST_F(BenchI2cTest, DriverThatTakesTheLastByteBeforeArmingSrClocksOneMore) {
    Probe();
    for (const bool armFirst : {true, false}) {
        SCOPED_TRACE(armFirst);
        (void)bench_.Bus().TakeEvents();
        SendWithoutStop(0x40, {0x00});
        for (int message = 0; message < 2; ++message) {
            if (message == 0) io().Out(S1(), 0x45);
            io().Out(S0(), 0x41);
            ASSERT_EQ(adapter().WaitAck(), ByteResult::Done);
            io().Out(S1(), 0x40);  // the one byte is the last
            (void)io().In(S0());   // the dummy read starts it
            ASSERT_EQ(adapter().WaitPin(), ByteResult::Done);
            if (message == 1) {
                io().Out(S1(), 0xC3);
            } else if (armFirst) {
                io().Out(S1(), 0x45);
            } else {
                (void)io().In(S0());
                ASSERT_EQ(adapter().WaitPin(), ByteResult::Done);
                io().Out(S1(), 0x45);
            }
            (void)io().In(S0());
        }
        EXPECT_EQ(bench_.Bus().TakeEvents(), armFirst ? "S w Sr r Sr r P" : "S w Sr r - Sr r P");
    }
}

TEST_F(BenchI2cTest, LatchLoadsOnlyOnTheRisingInitEdge) {
    Probe();
    const std::uint64_t loads = bench_.LatchLoads();
    const std::uint16_t data = hardware::kLpt1 + hardware::kDataPort;
    const std::uint16_t control = hardware::kLpt1 + hardware::kControlPort;
    io().Out(data, 0x12);
    EXPECT_EQ(bench_.Latch(), 0xFD);
    io().Out(control, 0x04);  // already high: no edge
    EXPECT_EQ(bench_.Latch(), 0xFD);
    io().Out(control, 0x00);
    EXPECT_EQ(bench_.Latch(), 0xFD) << "falling edge";
    io().Out(data, 0x34);
    io().Out(control, 0x04);
    EXPECT_EQ(bench_.Latch(), 0x34);
    EXPECT_EQ(bench_.LatchLoads(), loads + 1);

    adapter().WriteLatch(0xF9);
    EXPECT_EQ(bench_.Latch(), 0xF9);
    adapter().ResetAdapter(1, 0xFD);  // stop pulse, then run
    EXPECT_EQ(bench_.Latch(), 0xFD);
    EXPECT_EQ(bench_.LatchLoads(), loads + 4);
    adapter().ResetAdapter(2, 0xFD);
    EXPECT_EQ(bench_.Latch(), 0xFE);

    // In byte mode with the data lines turned round, the latch sees the
    // lines float high.
    io().Out(hardware::kLpt1 + hardware::kEcr, 0x34);
    io().Out(data, 0x00);
    io().Out(control, 0x20);
    io().Out(control, 0x24);
    EXPECT_EQ(bench_.Latch(), 0xFF);
}

TEST_F(BenchI2cTest, PortConfigurationIsRecordedPerRegister) {
    adapter().ConfigurePort();
    adapter().SetBase(hardware::kLpt2);
    adapter().ConfigurePort();
    using W = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(bench_.ConfigWrites(), (std::vector<W>{{1, 0x96}, {4, 0x03}, {1, 0x97}, {4, 0x03}}));
    EXPECT_EQ(bench_.Ecr(), 0x80) << "the LPT1 port was put in EPP mode";
    bench_.SetPort(SimulatedBench::Port::None);
    adapter().ConfigurePort();
    EXPECT_EQ(bench_.ConfigWrites().size(), 6u) << "the board registers do not depend on the adapter";
}

}  // namespace
}  // namespace benchtest
