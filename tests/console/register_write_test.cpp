// The register write of the send console and `merlix-cli set` on every
// adapter: the byte reaches the register, the device gets its settle time,
// and a device that is not there is told from a busy bus.
#include <gtest/gtest.h>

#include "console/send_sequence.h"
#include "support/adapter_rig.h"

namespace {

using testsupport::OnEveryAdapter;

class RegisterWrite : public OnEveryAdapter {};

TEST_P(RegisterWrite, WritesTheRegisterThenLetsTheDeviceSettle) {
    hardware::I2cMaster& i2c = rig.I2c();
    int busyWarnings = 0;
    const auto busy = [&busyWarnings] { ++busyWarnings; };
    console::PrepareTransfer(i2c);
    const std::int64_t start = i2c.NowUs();
    EXPECT_TRUE(console::WriteRegister(i2c, 0x90, 0x07, 0xA5, busy).Ok());
    EXPECT_GE(i2c.NowUs() - start, console::kSettleMs * 1000);
    EXPECT_EQ(rig.Register(0x90, 0x07), 0xA5);

    const hardware::I2cResult absent = console::WriteRegister(i2c, 0x46, 0x07, 0xA5, busy);
    EXPECT_EQ(absent.status, hardware::I2cStatus::NoAck);
    EXPECT_EQ(absent.byte, hardware::I2cResult::kAddressByte);
    EXPECT_EQ(busyWarnings, 0);
}

INSTANTIATE_TEST_SUITE_P(Adapters, RegisterWrite, testsupport::kEveryI2cAdapter, testsupport::AdapterName);

}  // namespace
