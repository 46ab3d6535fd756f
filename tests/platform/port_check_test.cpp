// `--check-ports` on staged machines: nothing fitted, a reachable port with
// and without an adapter, and ports this user cannot open, each with its fix.
#include <gtest/gtest.h>

#include <sstream>

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
    std::ostringstream output;
    std::vector<int> probedBases;
};

TEST_F(PortCheckTest, MachineWithoutPortSaysSoAndFails) {
    EXPECT_NE(Run(true), 0);
    EXPECT_TRUE(Says("No parallel port was found on this machine")) << output.str();
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

}  // namespace
