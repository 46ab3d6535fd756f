// The start-up choice of port access on staged machines: no port, a legacy port with
// and without permission, a PCIe card through ppdev, and forced ways of access that
// cannot be opened.
#include <gtest/gtest.h>

#include "platform/fake_direct_io.h"
#include "platform/fake_ppdev_system.h"
#include "platform/one_sentence.h"
#include "platform/port_access_choice.h"
#include "platform/scratch_root.h"

namespace {

using platform::PortAccessRequest;
using platform::PortAccessResult;

class PortAccessChoiceTest : public ::testing::Test {
protected:
    PortAccessResult Choose(PortAccessRequest::Force force = PortAccessRequest::Force::Auto,
                            std::vector<std::string> devices = {}) {
        PortAccessRequest request;
        request.force = force;
        request.ppdevDevices = std::move(devices);
        request.directSystem = &direct;
        request.ppdevSystem = &ppdev;
        request.fileRoot = root.path();
        return platform::ChoosePortAccess(request);
    }

    ScratchRoot root;
    FakeDirectIo direct;
    FakePpdevSystem ppdev;
};

TEST_F(PortAccessChoiceTest, EmptyMachineRunsTheBenchEvenForRoot) {
    ppdev.openErrors["/dev/parport0"] = ENOENT;
    ppdev.openErrors["/dev/parport1"] = ENOENT;
    const PortAccessResult result = Choose();
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Bench);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.io, nullptr);
    EXPECT_EQ(result.reason, "No parallel port was found on this machine.");
    EXPECT_TRUE(direct.calls.empty());  // ioperm would have been granted: it must not even be asked
}

TEST_F(PortAccessChoiceTest, LegacyPortPrefersDirectIoThenPpdev) {
    root.AddParport(0, 0x378, "PCSPP,TRISTATE,COMPAT,EPP,ECP");
    PortAccessResult result = Choose();
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Direct);
    ASSERT_NE(result.io, nullptr);
    EXPECT_TRUE(result.reason.empty());
    EXPECT_TRUE(ppdev.calls.empty());
    result.io.reset();

    direct.iopermResult = -EPERM;
    direct.openResult = -EACCES;
    result = Choose();
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Ppdev);
    ASSERT_NE(result.io, nullptr);
    EXPECT_EQ(result.label, "ppdev /dev/parport0 (LPT1)");
    EXPECT_NE(result.reason.find("since direct port I/O needs root"), std::string::npos) << result.reason;
    EXPECT_TRUE(IsOneSentence(result.reason));
}

TEST_F(PortAccessChoiceTest, UnusablePortFallsBackToTheBenchWithTheFix) {
    root.AddParport(0, 0xD010, "PCSPP,EPP");  // a PCIe card, no legacy port
    ppdev.openErrors["/dev/parport0"] = EACCES;
    const PortAccessResult result = Choose();
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Bench);
    EXPECT_FALSE(result.failed);
    EXPECT_NE(result.reason.find("Cannot open /dev/parport0"), std::string::npos) << result.reason;
    EXPECT_NE(result.reason.find("group lp"), std::string::npos);
    EXPECT_TRUE(IsOneSentence(result.reason));
    EXPECT_TRUE(ppdev.AllClosedOnce());
}

TEST_F(PortAccessChoiceTest, ForcedAccessFailsClearlyOrOpensAsAsked) {
    direct.iopermResult = -EPERM;
    direct.openResult = -EACCES;
    PortAccessResult result = Choose(PortAccessRequest::Force::Direct);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.io, nullptr);
    EXPECT_NE(result.reason.find("CAP_SYS_RAWIO"), std::string::npos) << result.reason;

    ppdev.openErrors["/dev/parport5"] = ENOENT;
    result = Choose(PortAccessRequest::Force::Ppdev, {"parport5"});
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.reason.find("/dev/parport5"), std::string::npos) << result.reason;
    EXPECT_TRUE(IsOneSentence(result.reason));

    result = Choose(PortAccessRequest::Force::Ppdev, {"parport2", "parport3"});
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Ppdev);
    EXPECT_EQ(result.label, "ppdev /dev/parport2 (LPT1) /dev/parport3 (LPT2)");

    // Forced direct I/O on a machine whose kernel lists no port opens, with a warning.
    direct.iopermResult = 0;
    result = Choose(PortAccessRequest::Force::Direct);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.kind, PortAccessResult::Kind::Direct);
    EXPECT_NE(result.reason.find("reports no parallel port"), std::string::npos) << result.reason;
}

}  // namespace
