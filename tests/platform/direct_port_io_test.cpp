// DirectPortIo over a fake of the port instructions and /dev/port: which
// ports it asks for, the /dev/port fall-back, and one sentence for every
// refusal, all without root.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/direct_port_io.h"
#include "platform/fake_direct_io.h"
#include "platform/one_sentence.h"
#include "platform/scratch_root.h"

namespace {

using platform::DirectPortIo;
using platform::HostFiles;

class DirectPortIoTest : public ::testing::Test {
protected:
    DirectPortIoTest() { root.AddParport(0, 0x378, "PCSPP,TRISTATE,COMPAT,EPP,ECP"); }
    HostFiles Files() const { return HostFiles(root.path()); }

    ScratchRoot root;
    FakeDirectIo system;
};

TEST_F(DirectPortIoTest, AsksForJustTheProgramsPortsAndGivesThemBack) {
    {
        DirectPortIo io(system, Files());
        ASSERT_TRUE(io.Open());
        EXPECT_EQ(io.method(), DirectPortIo::Method::Ioperm);
        EXPECT_EQ(system.calls,
                  (std::vector<std::string>{"ioperm 0278 5 on", "ioperm 067A 1 on", "ioperm 0378 5 on",
                                            "ioperm 077A 1 on", "ioperm 03F0 2 on"}));
        system.calls.clear();
        io.Out(0x3F0, 0x01);
        io.Out(0x77A, 0x80);
        EXPECT_EQ(io.In(0x77A), 0x80);
        // Ports it never asked for would fault the process: they read 0xFF.
        EXPECT_EQ(io.In(0x3BC), 0xFF);
        io.Out(0x37D, 0x00);
        EXPECT_EQ(system.calls, (std::vector<std::string>{"outb 03F0 01", "outb 077A 80", "inb 077A"}));
        system.calls.clear();
    }
    EXPECT_EQ(system.calls.size(), 5u);
    for (const std::string& call : system.calls) EXPECT_NE(call.find(" off"), std::string::npos) << call;
}

TEST_F(DirectPortIoTest, FallsBackToDevPortAfterAPartialGrant) {
    system.iopermFailsFromCall = 2;
    std::string error;
    {
        DirectPortIo io(system, Files());
        ASSERT_TRUE(io.Open());
        EXPECT_EQ(io.method(), DirectPortIo::Method::DevPort);
        // The two ranges granted before the refusal are given back at once.
        EXPECT_EQ(std::count_if(system.calls.begin(), system.calls.end(),
                                [](const std::string& c) { return c.find(" off") != std::string::npos; }),
                  2);
        system.calls.clear();
        io.Out(0x37C, 0x55);
        EXPECT_EQ(io.In(0x37C), 0x55);
        EXPECT_EQ(system.calls, (std::vector<std::string>{"pwrite 037C 55", "pread 037C"}));

        system.preadResult = -EIO;
        EXPECT_EQ(io.In(0x379), 0xFF);
        EXPECT_EQ(io.In(0x37A), 0xFF);
        ASSERT_TRUE(io.TakeIoError(error));
        EXPECT_FALSE(io.TakeIoError(error));
    }
    EXPECT_NE(error.find("0x379"), std::string::npos) << error;  // the first failure is the one kept
    EXPECT_TRUE(IsOneSentence(error));
    EXPECT_EQ(system.closes, 1);
}

struct Refusal {
    const char* name;
    int ioperm;
    int devPort;
    const char* lockdown;  // file text, or nullptr for no file
    const char* expected;
};

TEST_F(DirectPortIoTest, EachRefusalIsOneSentenceNamingWhatIsMissing) {
    const Refusal refusals[] = {
        {"normal user", -EPERM, -EACCES, nullptr, "needs root or CAP_SYS_RAWIO"},
        {"lockdown", -EPERM, -EPERM, "none [integrity] confidentiality\n", "lockdown (integrity)"},
        {"lockdown off", -EPERM, -EACCES, "[none] integrity confidentiality\n",
         "needs root or CAP_SYS_RAWIO"},
        {"no /dev/port", -EPERM, -ENOENT, nullptr, "no /dev/port"},
        {"kernel without either", -ENOSYS, -ENOENT, nullptr, "neither ioperm() nor /dev/port"},
        {"something else", -EIO, -EIO, nullptr, "Input/output error"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        ScratchRoot machine;
        machine.AddParport(0, 0x378, "PCSPP,EPP");
        if (refusal.lockdown) machine.Write("/sys/kernel/security/lockdown", refusal.lockdown);
        FakeDirectIo refusing;
        refusing.iopermResult = refusal.ioperm;
        refusing.openResult = refusal.devPort;

        DirectPortIo io(refusing, HostFiles(machine.path()));
        EXPECT_FALSE(io.Open());
        EXPECT_EQ(io.method(), DirectPortIo::Method::None);
        EXPECT_NE(io.Error().find(refusal.expected), std::string::npos) << io.Error();
        EXPECT_TRUE(IsOneSentence(io.Error()));
        // Refused, it still answers like an empty port and never touches one.
        refusing.calls.clear();
        EXPECT_EQ(io.In(0x37B), 0xFF);
        io.Out(0x378, 0x00);
        EXPECT_TRUE(refusing.calls.empty());
    }
}

TEST_F(DirectPortIoTest, RootAloneIsNoReasonToTouchPortsTheKernelDoesNotReport) {
    ScratchRoot noPort;
    noPort.AddParport(0, 0xD010, "PCSPP,EPP");  // a PCIe card: direct I/O cannot reach it at 0x378
    DirectPortIo io(system, HostFiles(noPort.path()));
    EXPECT_FALSE(DirectPortIo::MachineHasPort(HostFiles(noPort.path())));
    EXPECT_FALSE(io.Open());
    EXPECT_NE(io.Error().find("no parallel port at 0x378 or 0x278"), std::string::npos) << io.Error();
    EXPECT_TRUE(IsOneSentence(io.Error()));
    EXPECT_TRUE(system.calls.empty());
    // Forced, it opens anyway.
    EXPECT_TRUE(io.Open(false));
}

}  // namespace
