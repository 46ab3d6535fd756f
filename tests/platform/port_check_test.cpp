// `--check-ports` on staged machines: nothing fitted, a reachable port with
// and without an adapter, and ports this user cannot open, each with its fix.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/adapter_survey.h"
#include "platform/fake_device_listing.h"
#include "platform/fake_direct_io.h"
#include "platform/fake_ppdev_system.h"
#include "platform/port_check.h"
#include "platform/scratch_root.h"

namespace {

class PortCheckTest : public ::testing::Test {
protected:
    int Run(bool adapterAnswers) {
        platform::PortCheckEnvironment environment;
        environment.fileRoot = root.path();
        environment.ppdevSystem = &ppdev;
        environment.directSystem = &direct;
        environment.devices = &devices;
        return platform::RunPortCheck(
            output,
            [&](platform::PortIo& io, int base) {
                probedBases.push_back(base);
                io.Out(static_cast<std::uint16_t>(base + 3), 0x80);  // the probe really reaches the port
                return adapterAnswers;
            },
            environment);
    }
    bool Says(const std::string& text) const { return output.str().find(text) != std::string::npos; }

    ScratchRoot root;
    FakePpdevSystem ppdev;
    FakeDirectIo direct;
    FakeDeviceListing devices;
    std::ostringstream output;
    std::vector<int> probedBases;
};

TEST_F(PortCheckTest, MachineWithoutPortSaysSoAndFails) {
    EXPECT_NE(Run(true), 0);
    EXPECT_TRUE(Says("No parallel port was found on this machine")) << output.str();
    EXPECT_TRUE(Says("I2C buses (i2c-dev):\n  none: plug in a USB-to-I2C bridge"));
    EXPECT_TRUE(Says("SPI buses (spidev):\n  none: an SPI bus appears as /dev/spidevB.C only where"));
    EXPECT_TRUE(probedBases.empty());
    EXPECT_TRUE(direct.calls.empty());
    EXPECT_TRUE(ppdev.calls.empty());
}

TEST_F(PortCheckTest, ReachablePortIsDescribedAndProbed) {
    root.AddParport(0, 0x378, "PCSPP,TRISTATE,COMPAT,EPP,ECP");
    EXPECT_EQ(Run(true), 0);
    EXPECT_TRUE(Says("/dev/parport0: base 0x378, modes PCSPP,TRISTATE,COMPAT,EPP,ECP (EPP: yes)"))
        << output.str();
    EXPECT_TRUE(Says("this user can open it"));
    EXPECT_TRUE(Says("Direct port I/O: permitted (ioperm)."));
    EXPECT_TRUE(Says("  /dev/parport0: PCF 8584 Ok\n"));
    EXPECT_EQ(probedBases, std::vector<int>{0x378});
    EXPECT_NE(std::find(ppdev.calls.begin(), ppdev.calls.end(), "write 3 EPP|ADDR 80"), ppdev.calls.end());
    EXPECT_TRUE(ppdev.AllClosedOnce());
}

TEST_F(PortCheckTest, CardWithoutAdapterAndWithoutEppIsNotFound) {
    root.AddParport(0, 0xD010, "PCSPP,TRISTATE");
    EXPECT_NE(Run(false), 0);
    EXPECT_TRUE(Says("base 0xD010, modes PCSPP,TRISTATE (EPP: no;")) << output.str();
    EXPECT_TRUE(Says("Direct port I/O: not used"));
    EXPECT_TRUE(Says("  /dev/parport0: Not Found\n"));
    EXPECT_TRUE(direct.calls.empty());
}

TEST_F(PortCheckTest, UnreachablePortsGetTheirFixesAndNoProbe) {
    root.AddParport(0, 0x378, "PCSPP,EPP");
    root.AddParport(1, 0x278, "PCSPP,EPP");
    root.Write("/proc/modules", "lp 20480 0 - Live 0x0\n");
    root.Write("/sys/kernel/security/lockdown", "none [integrity] confidentiality\n");
    ppdev.ioctlErrors["PPCLAIM"] = EBUSY;
    ppdev.openErrors["/dev/parport1"] = EACCES;
    direct.iopermResult = -EPERM;
    direct.openResult = -EPERM;

    EXPECT_NE(Run(true), 0);
    EXPECT_TRUE(Says("sudo rmmod lp")) << output.str();
    EXPECT_TRUE(Says("add yourself to group lp"));
    EXPECT_TRUE(Says("lockdown (integrity)"));
    EXPECT_TRUE(Says("not run: no port can be reached"));
    EXPECT_TRUE(probedBases.empty());
    EXPECT_TRUE(ppdev.AllClosedOnce());
}

TEST_F(PortCheckTest, RootWithoutPpdevProbesThroughDirectIo) {
    root.Write("/proc/ioports", "  0378-037a : parport0\n");
    EXPECT_EQ(Run(true), 0);
    EXPECT_TRUE(Says("none under /proc/sys/dev/parport or /dev")) << output.str();
    EXPECT_TRUE(Says("  direct I/O at 0x378: PCF 8584 Ok\n"));
    EXPECT_EQ(direct.ports[0x37B], 0x80);
}

// The other adapters of the machine: a USB bridge to use, a PC's SMBus and
// a display bus that are never taken unasked, a node this user may not open,
// a node udev did not make, spidev nodes; and with none, the fix that makes
// them appear.
TEST_F(PortCheckTest, CharacterAdaptersAreListedWithTheirRightsAndFixes) {
    devices.AddI2cBus(0, "SMBus I801 adapter at efa0", false);
    devices.AddI2cBus(3, "i915 gmbus dpc");
    devices.AddI2cBus(7, "MCP2221 usb-i2c bridge");
    devices.AddI2cBus(9, "CP2112 SMBus Bridge on hidraw2", true, false);
    devices.folders["/sys/class/spidev"] = {"spidev0.0", "spidev0.1"};
    devices.AddNode("/dev/spidev0.0", true);
    devices.AddNode("/dev/spidev0.1", false);
    EXPECT_EQ(Run(true), 0);  // no parallel port, but a bus to use
    for (
        const char* line :
        {"  /dev/i2c-0: SMBus I801 adapter at efa0 (a PC's SMBus or display bus)\n    driver i2c-i801: SMBus "
         "calls only, 32 bytes of data per call\n    this user cannot open it: add yourself to group i2c",
         "udev rule gives it one: echo 'KERNEL==\"i2c-[0-9]*\", GROUP=\"i2c\", MODE=\"0660\"'",
         "  /dev/i2c-3: i915 gmbus dpc (a PC's SMBus or display bus)\n    a driver Merlix has no limits for: "
         "they are learnt from its answers\n    this user can open it (--adapter i2c-dev:/dev/i2c-3)\n    "
         "never "
         "chosen without --adapter",
         "  /dev/i2c-7: MCP2221 usb-i2c bridge (USB bridge)\n    driver hid-mcp2221: reads of up to 8192 "
         "bytes, "
         "writes of up to 8192, one message or a write then a read\n    this user can open it (--adapter "
         "i2c-dev:/dev/i2c-7)\n  /dev/i2c-9",
         "  /dev/i2c-9: CP2112 SMBus Bridge on hidraw2 (USB bridge)\n    driver hid-cp2112: reads of up to "
         "512 "
         "bytes, writes of up to 61, one message or a write then a read; a missing acknowledge shows as a "
         "timeout (ETIMEDOUT)\n    no device node",
         "  /dev/spidev0.0: this user can open it (--adapter spidev:/dev/spidev0.0)\n",
         "  /dev/spidev0.1: this user cannot open it: add yourself to group spi"})
        EXPECT_TRUE(Says(line)) << line << "\n" << output.str();

    const std::vector<platform::I2cDevBus> buses = platform::ListI2cDevBuses(devices);
    std::string why;
    const platform::I2cDevBus* chosen = platform::AutomaticI2cBus(buses, why);
    ASSERT_NE(chosen, nullptr) << why;
    EXPECT_EQ(chosen->path, "/dev/i2c-7");
    EXPECT_EQ(why, "/dev/i2c-7 is the one USB-to-I2C bridge (MCP2221 usb-i2c bridge)");
    // A second bridge that can be opened makes the choice ambiguous; a PC
    // bus alone is never taken.
    devices.AddNode("/dev/i2c-9", true);
    EXPECT_EQ(platform::AutomaticI2cBus(platform::ListI2cDevBuses(devices), why), nullptr);
    EXPECT_EQ(why, "2 USB-to-I2C bridges can be opened; --adapter i2c-dev:/dev/i2c-N chooses one");
    EXPECT_EQ(
        platform::AutomaticI2cBus(std::vector<platform::I2cDevBus>(buses.begin(), buses.begin() + 2), why),
        nullptr);
}

TEST_F(PortCheckTest, WithoutBusesTheFixMakesThemAppear) {
    devices.folders["/sys/bus/i2c/devices"] = {"0-0050", "i2c-0", "i2c-1"};
    EXPECT_NE(Run(true), 0);
    EXPECT_TRUE(
        Says("  none, though the kernel has I2C buses: load the i2c-dev module (sudo modprobe i2c-dev"))
        << output.str();
    devices.folders.clear();
    devices.texts["/proc/device-tree/model"] = "Raspberry Pi 4 Model B Rev 1.4";
    output.str("");
    EXPECT_NE(Run(true), 0);
    EXPECT_TRUE(Says("  none: add dtparam=i2c_arm=on to /boot/firmware/config.txt")) << output.str();
    EXPECT_TRUE(Says("  none: add dtparam=spi=on to /boot/firmware/config.txt"));
}

}  // namespace
