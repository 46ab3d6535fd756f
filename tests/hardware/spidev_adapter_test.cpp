// The spidev adapter on the bench's fake node: what it says when the node
// cannot be used, what it reports of a node it opened, and the node's own
// limits as the driver gives them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/spi/spidev.h>

#include <cerrno>
#include <string>
#include <vector>

#include "hardware/spidev/spidev_adapter.h"
#include "platform/counter.h"
#include "simulator/fake_spidev.h"
#include "simulator/simulated_bench.h"

namespace {

using simulator::FakeSpidev;

struct Node {
    explicit Node(FakeSpidev::Config config = {}) : fake(bench, config) {}
    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
    FakeSpidev fake;
    hardware::SpidevAdapter adapter{fake, clock};
};

TEST(SpidevAdapter, SaysWhyANodeCannotBeUsedAndWhatFixesIt) {
    FakeSpidev::Config denied;
    denied.accessDenied = true;
    struct Case {
        FakeSpidev::Config config;
        std::string path;
        std::string says;
    } cases[] = {
        {{}, "/dev/spidev1.0", "enable the SPI bus"},
        {denied, "/dev/spidev0.0", "add yourself to the group"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Node node(c.config);
        std::string error;
        EXPECT_FALSE(node.adapter.Open(c.path, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_FALSE(node.adapter.IsOpen());
        std::vector<std::uint8_t> in;
        EXPECT_FALSE(node.adapter.Transfer(std::vector<std::uint8_t>{0x05, 0}, in));
    }
}

TEST(SpidevAdapter, DescribesTheBusItOpened) {
    FakeSpidev::Config slow;
    slow.maxSpeedHz = 500'000;
    slow.bufsiz = 64;
    slow.csHighSupported = false;
    struct Case {
        FakeSpidev::Config config;
        std::string line;
    } cases[] = {
        {{},
         "spidev /dev/spidev0.0: SPI mode 0, 8-bit words, 1000 kHz (bus maximum 1000 kHz), 4096 bytes per "
         "message, chip select can be held high (93Cxx: strap ORG for the organisation chosen)"},
        {slow, "spidev /dev/spidev0.0: SPI mode 0, 8-bit words, 500 kHz (bus maximum 500 kHz), 64 bytes per "
               "message, chip select cannot be held high (no 93Cxx)"},
    };
    for (const Case& c : cases) {
        Node node(c.config);
        std::string error;
        ASSERT_TRUE(node.adapter.Open(node.fake.Path(), error)) << error;
        EXPECT_EQ(node.adapter.Describe(), c.line);
        EXPECT_EQ(node.adapter.MaxTransferBytes(), static_cast<std::size_t>(c.config.bufsiz));
        EXPECT_EQ(node.adapter.SetSelectActiveHigh(true, error), c.config.csHighSupported);
        // A message takes its bits' time at the clock in force.
        const std::int64_t start = node.bench.NowUs();
        std::vector<std::uint8_t> in;
        ASSERT_TRUE(node.adapter.Transfer(std::vector<std::uint8_t>(32), in));
        EXPECT_NEAR(static_cast<double>(node.bench.NowUs() - start), 256e6 / node.adapter.ClockHz(), 8.0);
    }
}

TEST(SpidevAdapter, TheNodeKeepsTheDriversLimits) {
    Node node;
    const int fd = node.fake.Open(node.fake.Path(), O_RDWR);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> out(4097);
    spi_ioc_transfer transfer{};
    transfer.tx_buf = reinterpret_cast<std::uintptr_t>(out.data());
    transfer.len = static_cast<std::uint32_t>(out.size());
    errno = 0;
    EXPECT_EQ(node.fake.Ioctl(fd, SPI_IOC_MESSAGE(1), &transfer), -1);
    EXPECT_EQ(errno, EMSGSIZE);
    transfer.len = 4096;
    EXPECT_EQ(node.fake.Ioctl(fd, SPI_IOC_MESSAGE(1), &transfer), 4096);
    EXPECT_EQ(node.fake.Close(fd), 0);
}

}  // namespace
