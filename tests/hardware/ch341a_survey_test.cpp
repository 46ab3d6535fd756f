// The port survey's CH341A section on fake adapters: each one's bus and
// address, whether it opens, the udev rule where it does not, and nothing
// left claimed or taken from its kernel driver.
#include <gtest/gtest.h>

#include <sstream>

#include "hardware/ch341a/ch341a_survey.h"
#include "platform/counter.h"
#include "simulator/fake_ch341a.h"

namespace {

TEST(Ch341aSurvey, EachAdapterWithItsAddressRightsAndFix) {
    platform::VirtualCounter clock;
    simulator::SimulatedBench first(clock);
    simulator::SimulatedBench second(clock);
    simulator::SimulatedBench third(clock);
    simulator::FakeCh341a usb(first, {.bus = 1, .address = 4, .kernelDriverBound = true});
    usb.Add(second, {.bus = 3, .address = 7, .accessDenied = true});
    usb.Add(third, {.bus = 3, .address = 9});
    std::ostringstream out;
    EXPECT_TRUE(hardware::DescribeCh341aAdapters(out, &usb, ""));
    const std::string text = out.str();
    EXPECT_NE(text.find("  ch341a:0: USB bus 1 address 4\n    this user can open it (--adapter ch341a:0); a "
                        "kernel driver holds it"),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("  ch341a:1: USB bus 3 address 7\n    this user cannot open it: No permission to open "
                  "the CH341A on bus 3 at address 7: install the udev rule 60-merlix-ch341a.rules"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("  ch341a:2: USB bus 3 address 9\n    this user can open it (--adapter ch341a:2)\n"
                        "    its I2C bus for i2cdetect, i2cget, i2cset, i2cdump and i2ctransfer is 2 "
                        "(merlix-cli --adapter ch341a:2 i2cdetect -y 2)\n"),
              std::string::npos)
        << text;
    for (int n = 0; n < 3; ++n) EXPECT_FALSE(usb.IsOpen(n) || usb.Claimed(n));
    EXPECT_TRUE(usb.KernelDriverBound(0));

    std::ostringstream none;
    EXPECT_FALSE(hardware::DescribeCh341aAdapters(none, nullptr, "libusb cannot start"));
    EXPECT_NE(none.str().find("not looked for: libusb cannot start"), std::string::npos);
}

}  // namespace
