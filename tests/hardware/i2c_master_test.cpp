// The I2cMaster contract on every adapter: a register read as a write of the
// register number and a read joined by a repeated START, a write message
// alone, an address probe, and where a transfer ended when a device did not
// answer. The command line's register commands are these transfers.
#include <gtest/gtest.h>

#include <array>

#include "support/adapter_rig.h"

namespace {

using hardware::I2cMessage;
using hardware::I2cResult;
using hardware::I2cStatus;
using testsupport::OnEveryAdapter;

class I2cMasterContract : public OnEveryAdapter {};

TEST_P(I2cMasterContract, MessagesReachTheDevicesAndFailuresSayWhere) {
    hardware::I2cMaster& i2c = rig.I2c();
    // Register device 0x20 (write address 40): registers 5, 6, 7 written at once.
    std::array<std::uint8_t, 4> write{5, 0x11, 0x22, 0x33};
    const I2cMessage set{0x20, false, write};
    ASSERT_TRUE(i2c.Transfer({&set, 1}).Ok());
    EXPECT_EQ(rig.Register(0x40, 6), 0x22);

    // Read back from register 5, in every form the command line sends.
    std::uint8_t reg = 5;
    std::array<std::uint8_t, 3> three{};
    const I2cMessage random[] = {{0x20, false, {&reg, 1}}, {0x20, true, three}};
    ASSERT_TRUE(i2c.Transfer(random).Ok());
    EXPECT_EQ(three, (std::array<std::uint8_t, 3>{0x11, 0x22, 0x33}));
    std::array<std::uint8_t, 1> a{}, b{}, c{};
    const I2cMessage singles[] = {
        {0x20, false, {&reg, 1}}, {0x20, true, a}, {0x20, true, b}, {0x20, true, c}};
    ASSERT_TRUE(i2c.Transfer(singles).Ok());
    EXPECT_EQ((std::array<std::uint8_t, 3>{a[0], b[0], c[0]}), three);
    EXPECT_EQ(rig.BusEvents(), "S w w w w P S w Sr r r r P S w Sr r Sr r Sr r P");
    // Every pair of neighbours joined by Sr under one STOP, and the slave
    // sends exactly the bytes asked for, a read's last one included.
    EXPECT_FALSE(i2c.Capabilities().restartBeforeReadOnly);
    std::array<std::uint8_t, 1> one{}, next{}, last{};
    std::array<std::uint8_t, 2> two{};
    std::uint8_t regs[] = {0, 5, 0x44};
    const I2cMessage chained[] = {
        {0x20, false, {&regs[0], 1}}, {0x20, false, {&regs[1], 1}}, {0x20, true, two}, {0x20, true, one},
        {0x20, true, next},           {0x20, false, {&regs[1], 2}}, {0x20, true, last}};
    ASSERT_TRUE(i2c.Transfer(chained).Ok());
    EXPECT_EQ(two, (std::array<std::uint8_t, 2>{0x11, 0x22}));
    EXPECT_EQ(one[0], 0x33);  // the pointer ran on, one byte a message
    EXPECT_EQ(next[0], 0x00);
    EXPECT_EQ(rig.Register(0x40, 5), 0x44);
    EXPECT_EQ(last[0], 0x22);  // register 6, after the write to 5
    EXPECT_EQ(rig.BusEvents(), "S w Sr w Sr r r Sr r Sr r Sr w w Sr r P");

    // An address probe: the device acknowledges, nobody at 0x23.
    const I2cMessage present{0x20};
    const I2cMessage absent{0x23};
    EXPECT_TRUE(i2c.Transfer({&present, 1}).Ok());
    const I2cResult probe = i2c.Transfer({&absent, 1});
    EXPECT_EQ(probe.status, I2cStatus::NoAck);
    EXPECT_EQ(probe.byte, I2cResult::kAddressByte);

    // A read from nobody fails at its own message's address, after the
    // write before it went through (where the adapter can tell which
    // message it was: i2c-dev cannot).
    const I2cMessage elsewhere[] = {{0x20, false, {&reg, 1}}, {0x23, true, two}};
    const I2cResult failed = i2c.Transfer(elsewhere);
    EXPECT_EQ(failed.status, I2cStatus::NoAck);
    if (i2c.Capabilities().dataAcksSeen) {
        EXPECT_EQ(failed.message, 1);
    }
    EXPECT_EQ(failed.byte, I2cResult::kAddressByte);
    EXPECT_TRUE(i2c.Transfer(random).Ok()) << "the bus is free again";
}

INSTANTIATE_TEST_SUITE_P(Adapters, I2cMasterContract, testsupport::kEveryI2cAdapter,
                         testsupport::AdapterName);

}  // namespace
