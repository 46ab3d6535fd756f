// Linux spidev (/dev/spidevB.C) as the engine's SpiMaster: one
// SPI_IOC_MESSAGE per transfer, mode 0, 8 bits per word, at most the
// module's buffer limit per message (/sys/module/spidev/parameters/bufsiz),
// and chip select active high for Microwire where it can be proven. It
// reaches the kernel only through platform::DeviceSystem, so the bench's fake
// node runs this same code.
//
// A select that is a GPIO (cs-gpios in the controller's device-tree node)
// takes any SPI_CS_HIGH from user space and ignores it: spidev.c adds the bit
// to every mode written and hides it from every mode read back, and spi.c
// sets the GPIO through gpiolib, whose polarity the device tree gives (the
// device node's spi-cs-high). So the adapter tells the two kinds apart by
// the mode read back after asking for SPI_CS_HIGH, reads the level of a GPIO
// select from /sys/bus/spi/devices/spiB.C/of_node/spi-cs-high, and refuses
// a level it cannot prove, saying what to set in the device tree.
//
// spidev has no line for the 93Cxx ORG pin: the user straps it (VCC for
// 16-bit words, GND for bytes), and the transfers use the organisation of
// the chip chosen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hardware/serial_lines.h"
#include "platform/counter.h"
#include "platform/device_system.h"

namespace hardware {

class SpidevAdapter final : public SpiMaster {
public:
    // The clock asked for: every 25xx and 93Cxx of the chip table takes
    // 1 MHz at 5 V; a bus that allows less runs at its own maximum.
    static constexpr int kClockHz = 1'000'000;
    // The module's buffer when its parameter cannot be read (the kernel's default).
    static constexpr std::size_t kDefaultBufsiz = 4096;
    static constexpr const char* kBufsizPath = "/sys/module/spidev/parameters/bufsiz";

    SpidevAdapter(platform::DeviceSystem& system, platform::Counter& counter);
    ~SpidevAdapter() override;
    SpidevAdapter(const SpidevAdapter&) = delete;
    SpidevAdapter& operator=(const SpidevAdapter&) = delete;

    // Opens the node and sets it up (mode 0, 8 bits, the clock); on failure
    // `error` holds one sentence with the fix, and nothing stays open.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // One line: mode, clock, buffer limit, whether chip select can be held high.
    std::string Describe() const;
    // What the user must do with the ORG pin for a 93Cxx of `organisation` bits.
    static std::string OrgStrapAdvice(int organisation);

    int ClockHz() const { return clockHz_; }
    bool SelectHighSupported() const { return csHighSupported_; }
    // The select is a GPIO whose level the device tree sets.
    bool SelectIsGpio() const { return gpioSelect_; }

    std::int64_t NowUs() override;
    void SleepMs(int ms) override;

    bool Transfer(std::span<const std::uint8_t> out, std::vector<std::uint8_t>& in) override;
    std::size_t MaxTransferBytes() const override { return bufsiz_; }
    bool SetSelectActiveHigh(bool high, std::string& error) override;

private:
    bool SetMode(std::uint32_t mode);
    // /sys/bus/spi/devices/spiB.C for /dev/spidevB.C ("" for another name).
    std::string DeviceFolder() const;
    // What the user must set for a GPIO select to go active `high`.
    std::string GpioSelectAdvice(bool high) const;

    platform::DeviceSystem& system_;
    platform::Counter& counter_;
    std::string path_;
    int fd_ = -1;
    std::uint32_t mode_ = 0;
    int maxSpeedHz_ = 0;
    int clockHz_ = 0;
    std::size_t bufsiz_ = kDefaultBufsiz;
    bool csHighSupported_ = false;
    bool gpioSelect_ = false;
    // A GPIO select's level from the device tree: 1 high, 0 low, -1 unknown.
    int gpioActiveHigh_ = -1;
};

}  // namespace hardware
