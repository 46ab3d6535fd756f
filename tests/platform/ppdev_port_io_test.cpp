// PpdevPortIo over a fake ppdev interface: which devices stand for LPT1 and
// LPT2, how each access becomes ppdev calls, the hazards (non-blocking open,
// exclusive claim, data direction after EPP reads, cached modes), and the
// failures: one sentence each, no crash, every claim released exactly once.
#include <gtest/gtest.h>

#include "platform/fake_ppdev_system.h"
#include "platform/one_sentence.h"
#include "platform/ppdev_port_io.h"
#include "platform/scratch_root.h"

namespace {

using platform::HostFiles;
using platform::PpdevPortIo;
using Calls = std::vector<std::string>;

class PpdevPortIoTest : public ::testing::Test {
protected:
    HostFiles Files() const { return HostFiles(root.path()); }
    std::unique_ptr<PpdevPortIo> Opened(const std::vector<std::string>& devices = {"parport0"}) {
        auto io = std::make_unique<PpdevPortIo>(system, Files());
        EXPECT_TRUE(io->Open(devices)) << io->Error();
        system.calls.clear();
        return io;
    }

    ScratchRoot root;
    FakePpdevSystem system;
};

TEST_F(PpdevPortIoTest, ChoosesDevicesByBaseAddressElseInOrder) {
    using Pair = std::array<std::string, 2>;
    EXPECT_EQ(PpdevPortIo::DefaultDevices(Files()), (Pair{"/dev/parport0", "/dev/parport1"}));

    root.AddParport(0, 0xD010, "PCSPP,EPP");
    root.AddParport(1, 0x378, "PCSPP,EPP");
    EXPECT_EQ(PpdevPortIo::DefaultDevices(Files()), (Pair{"/dev/parport1", "/dev/parport0"}));

    ScratchRoot lpt2Only;
    lpt2Only.AddParport(0, 0x278, "PCSPP,EPP");
    EXPECT_EQ(PpdevPortIo::DefaultDevices(HostFiles(lpt2Only.path())), (Pair{"", "/dev/parport0"}));

    EXPECT_EQ(PpdevPortIo::DevicePath("parport2"), "/dev/parport2");
    EXPECT_EQ(PpdevPortIo::DevicePath("/dev/parport2"), "/dev/parport2");
}

TEST_F(PpdevPortIoTest, OpensNonBlockingAndClaimsExclusively) {
    // The kernel lists nothing, so both usual names are tried; a missing
    // second port is normal and not worth a note.
    system.openErrors["/dev/parport1"] = ENOENT;
    {
        PpdevPortIo io(system, Files());
        ASSERT_TRUE(io.Open());
        EXPECT_TRUE(io.Notes().empty());
        EXPECT_EQ(io.Device(1), "/dev/parport0");
        EXPECT_EQ(io.Device(2), "");
        EXPECT_EQ(system.calls, (Calls{"open /dev/parport0 nonblock", "ioctl 3 PPEXCL", "ioctl 3 PPCLAIM",
                                       "open /dev/parport1 nonblock"}));
        system.calls.clear();
        io.Close();
        io.Close();
    }
    EXPECT_EQ(system.calls, (Calls{"ioctl 3 PPRELEASE", "close 3"}));
    EXPECT_TRUE(system.AllClosedOnce());
}

TEST_F(PpdevPortIoTest, TranslatesEveryRegisterOfThePort) {
    auto io = Opened({"parport0", "parport1"});
    system.registerValue = [](int fd, unsigned long request) {
        return static_cast<std::uint8_t>(request == PPRSTATUS ? 0x78 : fd == 3 ? 0xC4 : 0x0C);
    };
    system.eppReads = {{1, 0x55}};

    io->Out(0x378, 0x55);
    EXPECT_EQ(io->In(0x378), 0xC4);
    EXPECT_EQ(io->In(0x379), 0x78);
    io->Out(0x379, 0x12);  // status is read-only: nothing to do
    io->Out(0x37A, 0x04);
    EXPECT_EQ(io->In(0x27A), 0x0C);  // LPT2 is the second device
    io->Out(0x37B, 0x80);
    io->Out(0x37B, 0xA0);  // mode already set: no PPSETMODE
    io->Out(0x37C, 0x1C);
    EXPECT_EQ(io->In(0x37C), 0x55);
    io->Out(0x378, 0xFD);  // after an EPP read the data lines are turned forward first
    io->Out(0x378, 0xFE);
    EXPECT_EQ(system.calls,
              (Calls{"ioctl 3 PPWDATA 55", "ioctl 3 PPRDATA", "ioctl 3 PPRSTATUS", "ioctl 3 PPWCONTROL 04",
                     "ioctl 4 PPRCONTROL", "ioctl 3 PPSETMODE EPP|ADDR", "write 3 EPP|ADDR 80",
                     "write 3 EPP|ADDR A0", "ioctl 3 PPSETMODE EPP", "write 3 EPP 1C", "read 3 EPP",
                     "ioctl 3 PPDATADIR 0", "ioctl 3 PPWDATA FD", "ioctl 3 PPWDATA FE"}));
    system.calls.clear();

    // The ECR and the configuration pair belong to the kernel driver: they
    // are remembered, never sent, and unwritten ones read 0xFF.
    EXPECT_EQ(io->In(0x77A), 0xFF);
    io->Out(0x77A, 0x80);
    io->Out(0x67A, 0x00);
    io->Out(0x3F0, 0x04);
    io->Out(0x3F1, 0x03);
    EXPECT_EQ(io->In(0x77A), 0x80);
    EXPECT_EQ(io->In(0x67A), 0x00);
    EXPECT_EQ(io->In(0x3F0), 0x04);
    EXPECT_EQ(io->In(0x3F1), 0x03);
    EXPECT_EQ(io->In(0x3BC), 0xFF);  // no port there
    io->Out(0x3BE, 0x00);
    EXPECT_TRUE(system.calls.empty());
    std::string error;
    EXPECT_FALSE(io->TakeIoError(error));
}

TEST_F(PpdevPortIoTest, AMissingSecondPortReadsAsNoPort) {
    auto io = Opened();
    EXPECT_EQ(io->In(0x279), 0xFF);
    io->Out(0x27B, 0xC1);
    EXPECT_TRUE(system.calls.empty());
}

struct OpenFailure {
    const char* name;
    std::string device;
    const char* ioctl;  // nullptr: the open itself fails
    int error;
    bool lpLoaded;
    const char* expected;
};

TEST_F(PpdevPortIoTest, EachOpenFailureIsOneSentenceWithTheFixAndReleasesOnce) {
    const OpenFailure failures[] = {
        {"no device", "/dev/parport0", nullptr, ENOENT, false, "does not exist"},
        {"no permission", "/dev/parport0", nullptr, EACCES, false, "add yourself to group lp"},
        {"no ppdev module", "/dev/parport0", nullptr, ENODEV, false, "modprobe ppdev"},
        {"lp holds the port", "/dev/parport0", "PPCLAIM", EBUSY, true,
         "the lp printer driver holds the port"},
        {"exclusive refused while lp is loaded", "/dev/parport0", "PPCLAIM", ENXIO, true, "sudo rmmod lp"},
        {"another holder", "/dev/parport0", "PPCLAIM", EBUSY, false, "another driver holds the port"},
        {"PPEXCL refused", "/dev/parport0", "PPEXCL", EINVAL, false, "Invalid argument"},
        {"second device refused", "/dev/parport1", nullptr, EACCES, false, "Cannot open /dev/parport1"},
    };
    for (const OpenFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        ScratchRoot machine;
        machine.AddParport(0, 0x378, "PCSPP,EPP");
        machine.AddParport(1, 0x278, "PCSPP,EPP");
        if (failure.lpLoaded) machine.Write("/proc/modules", "lp 20480 0 - Live 0x0\n");
        FakePpdevSystem failing;
        if (failure.ioctl) {
            failing.ioctlErrors[failure.ioctl] = failure.error;
        } else {
            failing.openErrors[failure.device] = failure.error;
        }
        {
            PpdevPortIo io(failing, HostFiles(machine.path()));
            EXPECT_FALSE(io.Open({"parport0", "parport1"}));
            EXPECT_FALSE(io.IsOpen());
            EXPECT_TRUE(IsOneSentence(io.Error()));
            EXPECT_NE(io.Error().find(failure.expected), std::string::npos) << io.Error();
            EXPECT_EQ(io.In(0x37B), 0xFF);
            io.Out(0x378, 0x00);
        }
        EXPECT_TRUE(failing.AllClosedOnce());
    }
}

TEST_F(PpdevPortIoTest, DefaultChoiceSucceedsWithOnePortAndNotesTheOther) {
    system.openErrors["/dev/parport1"] = EACCES;
    {
        PpdevPortIo io(system, Files());
        ASSERT_TRUE(io.Open());
        ASSERT_EQ(io.Notes().size(), 1u);
        EXPECT_NE(io.Notes()[0].find("group lp"), std::string::npos);
    }
    system.openErrors["/dev/parport0"] = EACCES;
    {
        PpdevPortIo io(system, Files());
        EXPECT_FALSE(io.Open());
        EXPECT_NE(io.Error().find("Cannot open /dev/parport0"), std::string::npos) << io.Error();
        PpdevPortIo tooMany(system, Files());
        EXPECT_FALSE(tooMany.Open({"parport0", "parport1", "parport2"}));
        EXPECT_TRUE(IsOneSentence(tooMany.Error()));
        EXPECT_FALSE(tooMany.Open({"parport0", "/dev/parport0"}));
        EXPECT_NE(tooMany.Error().find("both LPT1 and LPT2"), std::string::npos) << tooMany.Error();
    }
    EXPECT_TRUE(system.AllClosedOnce());
}

TEST_F(PpdevPortIoTest, IoFailuresReadHighAndKeepTheFirstSentence) {
    auto io = Opened();
    system.eppReads = {{0, 0x00}, {-EAGAIN, 0x00}, {1, 0x42}};
    EXPECT_EQ(io->In(0x37B), 0xFF);  // an EPP time-out: nothing answered the cycle
    EXPECT_EQ(io->In(0x37B), 0xFF);
    EXPECT_EQ(io->In(0x37B), 0x42);
    std::string error;
    ASSERT_TRUE(io->TakeIoError(error));
    EXPECT_NE(error.find("EPP address read on /dev/parport0 timed out"), std::string::npos) << error;
    EXPECT_TRUE(IsOneSentence(error));
    EXPECT_FALSE(io->TakeIoError(error));

    system.eppWrites = {-EAGAIN};
    io->Out(0x37C, 0x55);
    ASSERT_TRUE(io->TakeIoError(error));
    EXPECT_NE(error.find("EPP data write"), std::string::npos) << error;

    system.ioctlErrors["PPRSTATUS"] = EIO;
    EXPECT_EQ(io->In(0x379), 0xFF);
    ASSERT_TRUE(io->TakeIoError(error));
    EXPECT_NE(error.find("PPRSTATUS on /dev/parport0 failed"), std::string::npos) << error;

    // A refused PPSETMODE leaves the mode unknown, so the next cycle asks again.
    system.ioctlErrors["PPSETMODE"] = EIO;
    io->Out(0x37B, 0xC1);
    system.ioctlErrors.erase("PPSETMODE");
    system.calls.clear();
    io->Out(0x37B, 0xC1);
    EXPECT_EQ(system.calls, (Calls{"ioctl 3 PPSETMODE EPP|ADDR", "write 3 EPP|ADDR C1"}));
}

TEST_F(PpdevPortIoTest, ReopeningReleasesTheEarlierClaimFirst) {
    {
        PpdevPortIo io(system, Files());
        ASSERT_TRUE(io.Open({"parport0"}));
        ASSERT_TRUE(io.Open({"parport1"}));
        EXPECT_EQ(io.Device(1), "/dev/parport1");
    }
    EXPECT_EQ(system.releases.size(), 2u);
    EXPECT_TRUE(system.AllClosedOnce());
}

}  // namespace
