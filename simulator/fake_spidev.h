// A spidev node on the bench: /dev/spidevB.C and the spidev module's /sys
// parameter behind platform::DeviceSystem, so SpidevAdapter runs its real
// code against the bench's serial socket. It answers the ioctls spidev
// answers (SPI_IOC_RD/WR_MODE and MODE32, BITS_PER_WORD, MAX_SPEED_HZ,
// SPI_IOC_MESSAGE(n)) with the driver's limits: a message whose transmit or
// receive bytes pass bufsiz fails with EMSGSIZE, and SPI_CS_HIGH is refused
// with EINVAL by a controller that cannot hold its select high.
//
// A message drives the socket's chip bit by bit through the socket's latch
// bits (select, clock, data in) and samples its data out before each rising
// clock edge, as a mode 0 controller does; each bit spends its time at the
// speed asked in bench time. The ORG pin is a strap: spidev has no line for it.
//
// A GPIO select (gpioSelect) answers as the kernel does for one: every
// SPI_IOC_WR_MODE has SPI_CS_HIGH added and is taken (drivers/spi/spidev.c,
// spidev_ioctl; spi.c lets SPI_CS_HIGH through for GPIO descriptors), every
// SPI_IOC_RD_MODE has it hidden, and the line's level follows the device
// tree alone (spi.c, spi_set_cs: "Polarity handled by GPIO library", which
// takes spi-cs-high from the device's node), shown under
// /sys/bus/spi/devices/spiB.C/of_node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_system.h"
#include "simulator/bench_adapter.h"
#include "simulator/simulated_bench.h"

namespace simulator {

class FakeSpidev final : public platform::DeviceSystem {
public:
    struct Config {
        int bus = 0;
        int chipSelect = 0;
        int maxSpeedHz = 1'000'000;
        int bufsiz = 4096;
        bool csHighSupported = true;
        // The ORG strap: high for 16-bit Microwire words.
        bool orgHigh = false;
        // A process that may not open the node (EACCES), as without the group.
        bool accessDenied = false;
        // The select is a GPIO (cs-gpios); spi-cs-high in the device's node
        // makes it active high; without a device tree its level is not shown.
        bool gpioSelect = false;
        bool deviceTreeCsHigh = false;
        bool deviceTree = true;
    };

    explicit FakeSpidev(SimulatedBench& bench);
    FakeSpidev(SimulatedBench& bench, Config config);

    std::string Path() const;  // "/dev/spidev0.0"
    // Straps ORG as the user would for the chip chosen.
    void StrapOrg(bool high) { config_.orgHigh = high; }
    // Messages run so far, and bytes clocked by them.
    std::uint64_t Messages() const { return messages_; }
    std::uint64_t BytesClocked() const { return bytesClocked_; }
    // Whether the socket's chip is selected now (between messages it never is).
    bool Selected() const;

    int Open(const std::string& path, int flags) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    int Close(int fd) override;
    int Access(const std::string& path, int mode) override;
    bool ReadText(const std::string& path, std::string& text) override;
    std::vector<std::string> List(const std::string& folder) override;

private:
    int Message(const void* transfers, int count);
    void Select(bool selected);
    void Latch(std::uint8_t latch);
    std::uint8_t ClockByte(std::uint8_t out, int speedHz);
    void SpendNs(std::int64_t ns);
    std::string DeviceNode() const;  // /sys/bus/spi/devices/spiB.C/of_node
    bool SelectActiveHigh() const;

    SimulatedBench& bench_;
    Config config_;
    int openFd_ = -1;
    std::uint32_t mode_ = 0;
    int bitsPerWord_ = 8;
    int speedHz_ = 0;
    std::uint8_t latch_ = 0;
    std::int64_t owedNs_ = 0;
    std::uint64_t messages_ = 0;
    std::uint64_t bytesClocked_ = 0;
};

// The spidev adapter's real code on this fake (--bench-adapter spidev).
extern const BenchAdapterDescriptor kSpidevOnTheBench;

}  // namespace simulator
