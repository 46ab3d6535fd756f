// What the CH341A adds over the adapter contract (which runs on it through the
// rig): its packets and round trips, its quirk of going on after a refused
// byte, the I2C clocks, and opening it (the udev rule's sentence, the kernel
// driver taken and given back, the Nth of several programmers).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "support/adapter_rig.h"

namespace {

using hardware::Ch341aAdapter;
using hardware::I2cMessage;
using hardware::I2cStatus;
using testsupport::AdapterKind;
using testsupport::AdapterRig;

struct Bench {
    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
};

TEST(Ch341a, PacksTransfersIntoFewPacketsAndRoundTrips) {
    AdapterRig rig(AdapterKind::Ch341a);
    Ch341aAdapter& ch341a = rig.Ch341aMaster();
    simulator::FakeCh341a& fake = rig.Ch341aFake();
    struct Case {
        const char* what;
        std::function<void()> run;
        std::uint64_t packets;
        std::uint64_t roundTrips;
    };
    std::uint8_t word = 0;
    std::array<std::uint8_t, 256> block{};
    const I2cMessage read[] = {{0x50, false, {&word, 1}}, {0x50, true, block}};
    std::vector<std::uint8_t> in;
    std::vector<hardware::LineStep> frame{hardware::LineStep::Drive(hardware::kAllLines, 0),
                                          hardware::LineStep::Out(0b110, 3), hardware::LineStep::Out(0, 11),
                                          hardware::LineStep::In(16, false)};
    const Case cases[] = {
        // 259 answers (three acknowledges and the block) need nine packets of 32.
        {"a 256-byte block read", [&] { ASSERT_TRUE(ch341a.Transfer(read).Ok()); }, 9, 1},
        // Selected, 31 + 31 + 31 + 7 bytes, released: the short SPI packet
        // ends its bulk OUT, as padding would be clocked out, and the release
        // follows in another before the answers are read.
        {"a 100-byte SPI transfer", [&] { ASSERT_TRUE(ch341a.Transfer(std::vector<std::uint8_t>(100), in)); },
         6, 1},
        // A whole Microwire READ with its word: 1 + 28 + 48 pin steps.
        {"a Microwire frame on the pins", [&] { EXPECT_EQ(ch341a.Run(frame).size(), 16u); }, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint64_t packets = fake.Packets();
        const std::uint64_t trips = fake.RoundTrips();
        c.run();
        EXPECT_EQ(fake.Packets() - packets, c.packets);
        EXPECT_EQ(fake.RoundTrips() - trips, c.roundTrips);
    }
    EXPECT_TRUE(std::equal(block.begin(), block.end(), rig.Eeprom().begin()));
}

TEST(Ch341a, ARefusedByteEndsTheTransferWithTheProgramsStop) {
    AdapterRig rig(AdapterKind::Ch341a);
    simulator::FakeCh341a& fake = rig.Ch341aFake();
    // The chip itself leaves the bus held after a refusal...
    Ch341aAdapter::Packet alone{{Ch341aAdapter::kI2cStream, Ch341aAdapter::kI2cStart, Ch341aAdapter::kI2cOut,
                                 0x46, Ch341aAdapter::kI2cEnd}};
    platform::UsbSystem::Handle handle = 1;
    rig.BusEvents();
    rig.Ch341aMaster().Close();
    ASSERT_EQ(fake.Open({1, 4}, handle), platform::UsbStatus::Ok);
    ASSERT_EQ(fake.ClaimInterface(handle, 0), platform::UsbStatus::Ok);
    ASSERT_EQ(fake.BulkOut(handle, Ch341aAdapter::kEndpointOut, alone.bytes, 100), platform::UsbStatus::Ok);
    std::array<std::uint8_t, 4> answer{};
    std::size_t received = 0;
    ASSERT_EQ(fake.BulkIn(handle, Ch341aAdapter::kEndpointIn, answer, received, 100),
              platform::UsbStatus::Ok);
    EXPECT_EQ(received, 1u);
    EXPECT_EQ(answer[0], Ch341aAdapter::kNoAck);
    EXPECT_EQ(rig.BusEvents(), "S") << "no STOP";
    fake.Close(handle);

    // ... so the adapter stops a long write at the round trip that saw it, with STOP.
    std::string error;
    ASSERT_TRUE(rig.Ch341aMaster().Open(0, error)) << error;
    std::vector<std::uint8_t> bytes(1000, 0x5A);
    const I2cMessage write{0x23, false, bytes};
    const std::uint64_t trips = fake.RoundTrips();
    const hardware::I2cResult result = rig.I2c().Transfer({&write, 1});
    EXPECT_EQ(result.status, I2cStatus::NoAck);
    EXPECT_EQ(result.byte, hardware::I2cResult::kAddressByte);
    EXPECT_EQ(fake.RoundTrips() - trips, 2u) << "the first of three, then STOP alone";
    EXPECT_TRUE(rig.BusEvents().ends_with("P"));

    // A write after a refused one waits for its acknowledges and never goes.
    std::uint8_t lost[] = {5};
    std::uint8_t set[] = {5, 0x99};
    const I2cMessage writes[] = {{0x23, false, lost}, {0x20, false, set}};
    EXPECT_EQ(rig.I2c().Transfer(writes).message, 0);
    EXPECT_NE(rig.Register(0x40, 5), 0x99);
    EXPECT_EQ(rig.BusEvents(), "S w P");
}

// One bulk OUT past what the chip takes (4096 bytes, WCH's own driver's
// limit) is refused by the fake; the adapter keeps each to 32 packets, so a
// 4 KiB read, its longest message, still runs.
TEST(Ch341a, NoBulkOutPastTheChipsLimit) {
    AdapterRig rig(AdapterKind::Ch341a);
    simulator::FakeCh341a& fake = rig.Ch341aFake();
    rig.Ch341aMaster().Close();
    platform::UsbSystem::Handle handle = 1;
    ASSERT_EQ(fake.Open({1, 4}, handle), platform::UsbStatus::Ok);
    ASSERT_EQ(fake.ClaimInterface(handle, 0), platform::UsbStatus::Ok);
    const std::uint64_t packets = fake.Packets();
    const std::vector<std::uint8_t> tooLong(simulator::FakeCh341a::kMaxBulkOutBytes + 1, 0);
    EXPECT_EQ(fake.BulkOut(handle, Ch341aAdapter::kEndpointOut, tooLong, 100), platform::UsbStatus::Io);
    EXPECT_EQ(fake.Packets(), packets) << "nothing of it ran";
    fake.Close(handle);

    std::string error;
    ASSERT_TRUE(rig.Ch341aMaster().Open(0, error)) << error;
    std::uint8_t word[] = {0, 0};
    std::vector<std::uint8_t> block(static_cast<std::size_t>(rig.I2c().Capabilities().maxMessageBytes));
    const I2cMessage read[] = {{0x50, false, {word, 1}}, {0x50, true, block}};
    EXPECT_TRUE(rig.I2c().Transfer(read).Ok());
}

TEST(Ch341a, RunsTheI2cBusAtEachOfItsClocks) {
    AdapterRig rig(AdapterKind::Ch341a);
    Ch341aAdapter& ch341a = rig.Ch341aMaster();
    std::uint8_t word = 0;
    std::array<std::uint8_t, 16> block{};
    const I2cMessage read[] = {{0x50, false, {&word, 1}}, {0x50, true, block}};
    // START, 3 + 16 bytes, Sr, STOP: 174 bit times, plus a round trip.
    for (const int hz : {20'000, 100'000, 400'000, 750'000}) {
        SCOPED_TRACE(hz);
        ASSERT_TRUE(ch341a.SetI2cSpeedHz(hz));
        EXPECT_EQ(rig.Ch341aFake().I2cSpeedHz(), hz);
        const std::int64_t before = ch341a.NowUs();
        ASSERT_TRUE(ch341a.Transfer(read).Ok());
        EXPECT_NEAR(static_cast<double>(ch341a.NowUs() - before), 1000.0 + 174e6 / hz, 2.0);
    }
    ASSERT_TRUE(ch341a.SetI2cSpeedHz(300'000));
    EXPECT_EQ(ch341a.I2cSpeedHz(), 100'000) << "rounded down to a clock it has";
    EXPECT_NE(ch341a.Describe().find("bus 1 address 4"), std::string::npos);
}

TEST(Ch341a, OpeningSaysWhatToFixAndGivesTheKernelDriverBack) {
    Bench one;
    Bench two;
    struct Case {
        const char* what;
        simulator::FakeCh341a::Config config;
        int index;
        const char* error;  // nullptr: opens
    };
    const Case cases[] = {
        {"no udev rule", {.accessDenied = true}, 0, "60-merlix-ch341a.rules"},
        {"held by a kernel driver", {.kernelDriverBound = true}, 0, nullptr},
        {"the second of two", {.bus = 3, .address = 9}, 1, nullptr},
        {"a third that is not there", {}, 2, "There is no CH341A number 2: 2 are connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        simulator::FakeCh341a fake(one.bench, c.config);
        fake.Add(two.bench, {.bus = 2, .address = 7});
        Ch341aAdapter adapter(fake, one.clock);
        std::string error;
        const bool opened = adapter.Open(c.index, error);
        if (c.error) {
            EXPECT_FALSE(opened);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            if (c.config.accessDenied) {
                EXPECT_NE(error.find("udevadm control --reload-rules"), std::string::npos);
            }
            continue;
        }
        ASSERT_TRUE(opened) << error;
        // Listed by bus, the second of two is the first one made (bus 3).
        const int which = 0;
        EXPECT_TRUE(fake.Claimed(which));
        EXPECT_FALSE(fake.KernelDriverBound(which));
        EXPECT_EQ(adapter.TakeVoltageWarning(), Ch341aAdapter::kFiveVoltWarning);
        EXPECT_EQ(adapter.TakeVoltageWarning(), "");
        adapter.Close();
        EXPECT_FALSE(fake.IsOpen(which));
        EXPECT_EQ(fake.KernelDriverBound(which), c.config.kernelDriverBound) << "given back as found";
    }
    // Two made alike are told apart by their addresses, as on a hub.
    simulator::FakeCh341a gang(one.bench);
    gang.Add(two.bench, {});
    const std::vector<platform::UsbDeviceInfo> found = Ch341aAdapter::List(gang);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].address, found[1].address);
}

}  // namespace
