// PortAdapter through PpdevPortIo: the program's probe turned into ppdev
// calls in order, the adapter contract, and the probe, the latch and I2C
// transfers end to end over a ppdev kernel that drives the simulated bench.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "adapter_contract.h"
#include "hardware/bench_ppdev_kernel.h"
#include "hardware/port_adapter.h"
#include "hardware/probe.h"
#include "platform/counter.h"
#include "platform/fake_ppdev_system.h"
#include "platform/port_check.h"
#include "platform/ppdev_port_io.h"
#include "platform/scratch_root.h"
#include "simulator/simulated_bench.h"

namespace {

using Calls = std::vector<std::string>;

// PpdevPortIo on /dev/parport0 of a kernel whose port holds the bench.
struct PpdevBenchBackend {
    explicit PpdevBenchBackend(platform::Counter& counter) : bench(counter) {}
    std::unique_ptr<platform::PortIo> Make() {
        auto io = std::make_unique<platform::PpdevPortIo>(kernel, platform::HostFiles(root.path()));
        EXPECT_TRUE(io->Open({"parport0"})) << io->Error();
        return io;
    }
    std::uint8_t LatchSeen() { return bench.Latch(); }

    ScratchRoot root;
    simulator::SimulatedBench bench;
    BenchPpdevKernel kernel{bench};
};
using PpdevBackends = ::testing::Types<PpdevBenchBackend>;
INSTANTIATE_TYPED_TEST_SUITE_P(Ppdev, AdapterContract, PpdevBackends);

class PpdevAdapterTest : public ::testing::Test {
protected:
    platform::VirtualCounter clock_;
};

TEST_F(PpdevAdapterTest, ProbeSequenceBecomesThesePpdevCalls) {
    FakePpdevSystem system;
    system.eppReads = {{1, 0x55}, {1, 0x55}};
    platform::PpdevPortIo io(system, platform::HostFiles(ScratchRoot().path()));
    ASSERT_TRUE(io.Open({"parport0"}));
    system.calls.clear();

    EXPECT_TRUE(hardware::ProbeAdapterOn(io, clock_, hardware::kLpt1));

    // The data lines are read first, to be put back at the end.
    Calls expected = {"ioctl 3 PPRDATA"};
    // ConfigurePort: the configuration pair and the ECR stay with the kernel.
    const Calls configure = {"ioctl 3 PPWDATA 55", "ioctl 3 PPRDATA"};
    // ResetAdapter without a latch load: only the controller programming.
    const Calls reset = {"ioctl 3 PPRCONTROL",  "ioctl 3 PPSETMODE EPP|ADDR",
                         "write 3 EPP|ADDR 80", "ioctl 3 PPSETMODE EPP",
                         "write 3 EPP 55",      "ioctl 3 PPSETMODE EPP|ADDR",
                         "write 3 EPP|ADDR A0", "ioctl 3 PPSETMODE EPP",
                         "write 3 EPP 1C",      "ioctl 3 PPSETMODE EPP|ADDR",
                         "write 3 EPP|ADDR C1", "ioctl 3 PPSETMODE EPP",
                         "write 3 EPP 55",      "read 3 EPP"};
    expected.insert(expected.end(), configure.begin(), configure.end());
    expected.insert(expected.end(), reset.begin(), reset.end());
    expected.insert(expected.end(), reset.begin(), reset.end());
    // "PCF 8584 Ok" configures the port once more; the data lines are turned
    // forward after the EPP read before a byte goes out.
    expected.push_back("ioctl 3 PPDATADIR 0");
    expected.insert(expected.end(), configure.begin(), configure.end());
    expected.push_back("ioctl 3 PPWDATA 04");
    EXPECT_EQ(system.calls, expected);
}

TEST_F(PpdevAdapterTest, ProbeOverTheBenchFindsTheAdapterWhereItIs) {
    simulator::SimulatedBench bench(clock_);
    BenchPpdevKernel kernel(bench);
    {
        platform::PpdevPortIo io(kernel, platform::HostFiles(ScratchRoot().path()));
        ASSERT_TRUE(io.Open());  // the kernel lists nothing: parport0 and parport1
        EXPECT_TRUE(hardware::ProbeAdapterOn(io, clock_, hardware::kLpt1));
        EXPECT_EQ(bench.LatchLoads(), 0u);
        EXPECT_FALSE(hardware::ProbeAdapterOn(io, clock_, hardware::kLpt2));
        std::string error;
        ASSERT_TRUE(io.TakeIoError(error));
        EXPECT_EQ(error, "EPP address write on /dev/parport1 timed out: no EPP device answered.");

        bench.SetPort(simulator::SimulatedBench::Port::Lpt2);
        EXPECT_TRUE(hardware::ProbeAdapterOn(io, clock_, hardware::kLpt2));
        bench.SetControllerPresent(false);
        EXPECT_FALSE(hardware::ProbeAdapterOn(io, clock_, hardware::kLpt2));
    }
    EXPECT_EQ(kernel.claims, 2);
    EXPECT_EQ(kernel.releases, 2);
    EXPECT_EQ(kernel.closes, 2);
}

TEST_F(PpdevAdapterTest, LatchFollowsI2cTrafficOverTheBench) {
    simulator::SimulatedBench bench(clock_);
    BenchPpdevKernel kernel(bench);
    platform::PpdevPortIo io(kernel, platform::HostFiles(ScratchRoot().path()));
    ASSERT_TRUE(io.Open({"parport0"}));
    hardware::PortAdapter adapter(io, clock_);
    adapter.SetBase(hardware::kLpt1);
    adapter.ConfigurePort();
    ASSERT_EQ(adapter.ResetAdapter(0, 0xFD), hardware::kProbeOk);
    ASSERT_EQ(adapter.I2cWriteByte(0x07, 0xA4, 0xC3), hardware::ByteResult::Done);
    adapter.DelayMs(15);
    EXPECT_EQ(adapter.I2cReadByte(0x07, 0xA4).value, 0xC3);
    // InitController ends on an EPP read, which leaves the kernel's data
    // lines reversed: the latch must still take the byte written next.
    ASSERT_EQ(adapter.InitController(), hardware::kProbeOk);
    adapter.WriteLatch(0x3C);
    EXPECT_EQ(bench.Latch(), 0x3C);
    std::string error;
    EXPECT_FALSE(io.TakeIoError(error)) << error;
}

TEST_F(PpdevAdapterTest, PortCheckFindsTheAdapterThroughPpdev) {
    ScratchRoot root;
    root.AddParport(0, 0x378, "PCSPP,TRISTATE,COMPAT,EPP,ECP");
    root.AddParport(1, 0x278, "PCSPP,TRISTATE,COMPAT,EPP,ECP");
    simulator::SimulatedBench bench(clock_);
    BenchPpdevKernel kernel(bench);
    platform::PortCheckEnvironment environment;
    environment.fileRoot = root.path();
    environment.ppdevSystem = &kernel;
    std::ostringstream out;
    EXPECT_EQ(
        platform::RunPortCheck(
            out,
            [this](platform::PortIo& io, int base) { return hardware::ProbeAdapterOn(io, clock_, base); },
            environment),
        0);
    EXPECT_NE(out.str().find("  /dev/parport0: PCF 8584 Ok\n  /dev/parport1: Not Found\n"), std::string::npos)
        << out.str();
    EXPECT_EQ(kernel.releases, kernel.claims);
    EXPECT_EQ(kernel.closes, 2);
}

}  // namespace
