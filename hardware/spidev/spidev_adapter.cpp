// The spidev adapter; see spidev_adapter.h.
#include "hardware/spidev/spidev_adapter.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace hardware {
namespace {

std::string Reason(int error) { return std::strerror(error); }

// The sentence for a node that would not open, with what fixes it.
std::string OpenError(const std::string& path, int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return "There is no SPI device " + path +
                   ": enable the SPI bus (on a Raspberry Pi dtparam=spi=on in config.txt, elsewhere a "
                   "device-tree overlay) and load the spidev module (modprobe spidev).";
        case EACCES:
        case EPERM:
            return "No permission to open " + path + ": add yourself to the group that owns it (ls -l " +
                   path + ", often spi) or give it one with a udev rule, then log in again.";
        case EBUSY:
            return path + " is in use by another program: close it and try again.";
        default:
            return "Cannot open " + path + ": " + Reason(error) + ".";
    }
}

}  // namespace

SpidevAdapter::SpidevAdapter(platform::DeviceSystem& system, platform::Counter& counter)
    : system_(system), counter_(counter) {}

SpidevAdapter::~SpidevAdapter() { Close(); }

bool SpidevAdapter::Open(const std::string& path, std::string& error) {
    Close();
    const int fd = system_.Open(path, O_RDWR);
    if (fd < 0) {
        error = OpenError(path, errno);
        return false;
    }
    fd_ = fd;
    path_ = path;
    std::uint32_t mode = 0;
    std::uint8_t bits = 8;
    std::uint32_t maxSpeed = 0;
    const bool isSpi = system_.Ioctl(fd_, SPI_IOC_RD_MODE32, &mode) == 0;
    if (!isSpi || !SetMode(SPI_MODE_0) || system_.Ioctl(fd_, SPI_IOC_WR_BITS_PER_WORD, &bits) != 0 ||
        system_.Ioctl(fd_, SPI_IOC_RD_MAX_SPEED_HZ, &maxSpeed) != 0) {
        const int cause = errno;
        error = isSpi
                    ? path + " refuses SPI mode 0 with 8-bit words (" + Reason(cause) +
                          "): its controller cannot drive these memories."
                    : path + " is not an spidev device (" + Reason(cause) + "): name a /dev/spidevB.C node.";
        Close();
        return false;
    }
    maxSpeedHz_ = static_cast<int>(std::min<std::uint32_t>(maxSpeed, std::numeric_limits<int>::max()));
    clockHz_ = maxSpeedHz_ > 0 ? std::min(kClockHz, maxSpeedHz_) : kClockHz;
    std::string text;
    bufsiz_ = kDefaultBufsiz;
    if (system_.ReadText(kBufsizPath, text)) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(text.c_str(), &end, 10);
        if (end != text.c_str() && *end == '\0' && value > 0) bufsiz_ = value;
    }
    // Whether the controller holds its select high: asked once here, then
    // back to mode 0. A GPIO select takes the bit and hides it when read
    // back (spidev.c, spidev_ioctl); its level is the device tree's.
    const bool accepted = SetMode(SPI_MODE_0 | SPI_CS_HIGH);
    std::uint32_t readBack = 0;
    const bool readable = accepted && system_.Ioctl(fd_, SPI_IOC_RD_MODE32, &readBack) == 0;
    gpioSelect_ = readable && !(readBack & SPI_CS_HIGH);
    gpioActiveHigh_ = -1;
    const std::string folder = DeviceFolder();
    if (gpioSelect_ && !folder.empty() && system_.Access(folder + "/of_node", F_OK) == 0)
        gpioActiveHigh_ = system_.Access(folder + "/of_node/spi-cs-high", F_OK) == 0 ? 1 : 0;
    csHighSupported_ = gpioSelect_ ? gpioActiveHigh_ == 1 : readable;
    if (accepted && !SetMode(SPI_MODE_0)) {
        error = path + " would not leave the active-high select (" + Reason(errno) + ").";
        Close();
        return false;
    }
    return true;
}

void SpidevAdapter::Close() {
    if (fd_ >= 0) (void)system_.Close(fd_);
    fd_ = -1;
    mode_ = 0;
}

bool SpidevAdapter::SetMode(std::uint32_t mode) {
    if (system_.Ioctl(fd_, SPI_IOC_WR_MODE32, &mode) != 0) return false;
    mode_ = mode;
    return true;
}

std::string SpidevAdapter::Describe() const {
    std::string line = "spidev " + path_ + ": SPI mode 0, 8-bit words, " + std::to_string(clockHz_ / 1000) +
                       " kHz (bus maximum " + std::to_string(maxSpeedHz_ / 1000) + " kHz), " +
                       std::to_string(bufsiz_) + " bytes per message, ";
    if (gpioSelect_) {
        line += gpioActiveHigh_ == 1 ? "chip select a GPIO set active high by the device tree (spi-cs-high): "
                                       "93Cxx only, strap ORG for the organisation chosen"
                : gpioActiveHigh_ == 0 ? "chip select a GPIO set active low by the device tree: 25xx only; " +
                                             GpioSelectAdvice(true)
                                       : "chip select a GPIO whose level this system does not show";
        return line;
    }
    line += csHighSupported_ ? "chip select can be held high (93Cxx: strap ORG for the organisation chosen)"
                             : "chip select cannot be held high (no 93Cxx)";
    return line;
}

std::string SpidevAdapter::DeviceFolder() const {
    const std::string prefix = "/dev/spidev";
    if (path_.rfind(prefix, 0) != 0) return "";
    const std::string busAndSelect = path_.substr(prefix.size());
    if (busAndSelect.empty() || busAndSelect.find('/') != std::string::npos) return "";
    return "/sys/bus/spi/devices/spi" + busAndSelect;
}

std::string SpidevAdapter::GpioSelectAdvice(bool high) const {
    const std::string node = "spidev@" + path_.substr(path_.rfind('.') + 1);
    return high ? "a 93Cxx needs spi-cs-high in the device-tree node of " + node +
                      " (a dtoverlay that adds it), then a reboot"
                : "a 25xx needs an active-low select: remove spi-cs-high from the device-tree node of " +
                      node + ", then reboot";
}

std::string SpidevAdapter::OrgStrapAdvice(int organisation) {
    return organisation == 16 ? "spidev cannot drive ORG: strap the 93Cxx ORG pin to VCC for 16-bit words."
                              : "spidev cannot drive ORG: strap the 93Cxx ORG pin to GND for 8-bit words.";
}

std::int64_t SpidevAdapter::NowUs() { return CounterNowUs(counter_); }

void SpidevAdapter::SleepMs(int ms) { counter_.SleepMs(ms); }

bool SpidevAdapter::Transfer(std::span<const std::uint8_t> out, std::vector<std::uint8_t>& in) {
    in.assign(out.size(), 0);
    if (fd_ < 0 || out.size() > bufsiz_) return false;
    if (out.empty()) return true;
    spi_ioc_transfer transfer{};
    transfer.tx_buf = reinterpret_cast<std::uintptr_t>(out.data());
    transfer.rx_buf = reinterpret_cast<std::uintptr_t>(in.data());
    transfer.len = static_cast<std::uint32_t>(out.size());
    transfer.speed_hz = static_cast<std::uint32_t>(clockHz_);
    transfer.bits_per_word = 8;
    return system_.Ioctl(fd_, SPI_IOC_MESSAGE(1), &transfer) >= 0;
}

bool SpidevAdapter::SetSelectActiveHigh(bool high, std::string& error) {
    if (fd_ >= 0 && gpioSelect_) {
        // The mode bit does nothing here; only the device tree's level counts.
        if (gpioActiveHigh_ == (high ? 1 : 0)) return true;
        if (gpioActiveHigh_ < 0 && !high) return true;
        error = path_ + "'s chip select is a GPIO whose level the device tree sets" +
                (gpioActiveHigh_ < 0 ? " and this system does not show: " : ": ") + GpioSelectAdvice(high) +
                ".";
        return false;
    }
    const std::uint32_t wanted = high ? (mode_ | SPI_CS_HIGH) : (mode_ & ~std::uint32_t{SPI_CS_HIGH});
    if (fd_ >= 0 && (wanted == mode_ || SetMode(wanted))) return true;
    if (fd_ < 0) {
        error = "The SPI device is not open.";
    } else if (high) {
        error = path_ +
                " cannot hold chip select high, which a 93Cxx (Microwire) chip needs: use a controller "
                "whose select is a GPIO (cs-gpios in the device tree) or another adapter for this chip.";
    } else {
        error = path_ + " would not return to an active-low select (" + Reason(errno) + ").";
    }
    return false;
}

}  // namespace hardware
