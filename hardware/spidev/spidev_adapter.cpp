// The spidev adapter; see spidev_adapter.h.
#include "hardware/spidev/spidev_adapter.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>

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
    // back to mode 0.
    csHighSupported_ = SetMode(SPI_MODE_0 | SPI_CS_HIGH);
    if (csHighSupported_ && !SetMode(SPI_MODE_0)) {
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
    line += csHighSupported_ ? "chip select can be held high (93Cxx: strap ORG for the organisation chosen)"
                             : "chip select cannot be held high (no 93Cxx)";
    return line;
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
