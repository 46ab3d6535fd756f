// How the kernel's descriptions of parallel ports are read: the parport
// listing, /proc/ioports as root and as a normal user, lockdown, modules.
#include <gtest/gtest.h>

#include "platform/host_files.h"
#include "platform/scratch_root.h"

namespace {

using platform::HostFiles;

TEST(HostFilesTest, ListsPortsFromProcAndDevInNumericOrder) {
    ScratchRoot root;
    root.AddParport(10, 0xD010, "PCSPP,TRISTATE");
    root.AddParport(2, 0x378, "PCSPP,TRISTATE,COMPAT,EPP,ECP,DMA");
    root.Write("/dev/parport3", "");  // a node without a driver behind it
    root.Write("/dev/parportx", "");  // not a port

    const auto ports = platform::ListParports(HostFiles(root.path()));
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].device, "/dev/parport2");
    EXPECT_EQ(ports[0].base, 0x378);
    EXPECT_TRUE(ports[0].epp);
    EXPECT_TRUE(ports[0].inProc && ports[0].hasDevice);
    EXPECT_EQ(ports[1].device, "/dev/parport3");
    EXPECT_FALSE(ports[1].inProc);
    EXPECT_EQ(ports[1].base, -1);
    EXPECT_EQ(ports[2].device, "/dev/parport10");
    EXPECT_EQ(ports[2].base, 0xD010);
    EXPECT_FALSE(ports[2].epp);
    EXPECT_EQ(ports[2].modes, "PCSPP,TRISTATE");
}

TEST(HostFilesTest, FindsLegacyPortsAsRootAndAsNormalUser) {
    // As root, /proc/ioports shows the ranges.
    ScratchRoot asRoot;
    asRoot.Write("/proc/ioports",
                 "0000-0cf7 : PCI Bus 0000:00\n  0278-027a : parport1\n  0378-037a : parport0\n"
                 "  037b-037f : parport0\n  03f8-03ff : serial\n");
    EXPECT_EQ(platform::ParportRangesInIoports("  0378-037a : parport0\n  03f8-03ff : serial\n"),
              std::vector<int>{0x378});
    EXPECT_EQ(platform::LegacyParportBases(HostFiles(asRoot.path())), (std::vector<int>{0x378, 0x278}));

    // A normal user sees 0000-0000 there, but base-addr is readable by all.
    ScratchRoot asUser;
    asUser.Write("/proc/ioports", "  0000-0000 : parport0\n");
    EXPECT_FALSE(platform::MachineHasLegacyParport(HostFiles(asUser.path())));
    asUser.AddParport(0, 0x278, "PCSPP,EPP");
    EXPECT_EQ(platform::LegacyParportBases(HostFiles(asUser.path())), std::vector<int>{0x278});

    // A PCIe card elsewhere is not a legacy port; an empty machine has none.
    ScratchRoot card;
    card.AddParport(0, 0xE000, "PCSPP,EPP");
    EXPECT_FALSE(platform::MachineHasLegacyParport(HostFiles(card.path())));
    EXPECT_FALSE(platform::MachineHasLegacyParport(HostFiles(ScratchRoot().path())));
}

TEST(HostFilesTest, ReadsLockdownLevelAndLoadedModules) {
    EXPECT_EQ(platform::ActiveLockdown("[none] integrity confidentiality\n"), "");
    EXPECT_EQ(platform::ActiveLockdown("none [integrity] confidentiality\n"), "integrity");
    EXPECT_EQ(platform::ActiveLockdown("none integrity [confidentiality]\n"), "confidentiality");
    EXPECT_EQ(platform::ActiveLockdown(""), "");

    ScratchRoot root;
    root.Write("/proc/modules", "lpx 100 0 - Live 0x0\nparport_pc 40960 1 - Live 0x0\n");
    EXPECT_FALSE(platform::ModuleLoaded(HostFiles(root.path()), "lp"));
    EXPECT_TRUE(platform::ModuleLoaded(HostFiles(root.path()), "parport_pc"));
    root.Write("/proc/modules", "ppdev 24576 0 - Live 0x0\nlp 20480 0 - Live 0x0\n");
    EXPECT_TRUE(platform::ModuleLoaded(HostFiles(root.path()), "lp"));
}

}  // namespace
