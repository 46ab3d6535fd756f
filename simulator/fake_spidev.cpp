// The bench's spidev node; see fake_spidev.h.
#include "simulator/fake_spidev.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "simulator/latch_edges.h"

namespace simulator {
namespace {

constexpr int kFd = 41;  // any number the process would not have open already
constexpr const char* kBufsizPath = "/sys/module/spidev/parameters/bufsiz";

std::uint8_t Bit(int bit, bool high) { return high ? static_cast<std::uint8_t>(1u << bit) : 0; }

int Fail(int error) {
    errno = error;
    return -1;
}

}  // namespace

FakeSpidev::FakeSpidev(SimulatedBench& bench) : FakeSpidev(bench, Config{}) {}

FakeSpidev::FakeSpidev(SimulatedBench& bench, Config config)
    : bench_(bench), config_(config), speedHz_(config.maxSpeedHz) {}

std::string FakeSpidev::Path() const {
    return "/dev/spidev" + std::to_string(config_.bus) + "." + std::to_string(config_.chipSelect);
}

int FakeSpidev::Open(const std::string& path, int flags) {
    (void)flags;
    if (path != Path()) return Fail(ENOENT);
    if (config_.accessDenied) return Fail(EACCES);
    openFd_ = kFd;
    return openFd_;
}

int FakeSpidev::Close(int fd) {
    if (fd != openFd_ || fd < 0) return Fail(EBADF);
    openFd_ = -1;
    return 0;
}

std::string FakeSpidev::DeviceNode() const {
    return "/sys/bus/spi/devices/spi" + std::to_string(config_.bus) + "." +
           std::to_string(config_.chipSelect) + "/of_node";
}

bool FakeSpidev::SelectActiveHigh() const {
    return config_.gpioSelect ? config_.deviceTree && config_.deviceTreeCsHigh : (mode_ & SPI_CS_HIGH) != 0;
}

int FakeSpidev::Access(const std::string& path, int mode) {
    if (path == kBufsizPath) return (mode & W_OK) ? Fail(EACCES) : 0;
    if (config_.deviceTree && path == DeviceNode()) return 0;
    if (config_.deviceTree && config_.deviceTreeCsHigh && path == DeviceNode() + "/spi-cs-high") return 0;
    if (config_.deviceTree && config_.gpioSelect && path == DeviceNode() + "/../cs-gpios") return 0;
    if (path != Path()) return Fail(ENOENT);
    return config_.accessDenied && mode != F_OK ? Fail(EACCES) : 0;
}

bool FakeSpidev::ReadText(const std::string& path, std::string& text) {
    if (path != kBufsizPath) return false;
    text = std::to_string(config_.bufsiz);
    return true;
}

std::vector<std::string> FakeSpidev::List(const std::string& folder) {
    const std::string node = Path().substr(5);  // "spidev0.0"
    if (folder == "/dev" || folder == "/sys/class/spidev") return {node};
    return {};
}

int FakeSpidev::Ioctl(int fd, unsigned long request, void* arg) {
    if (fd != openFd_ || fd < 0) return Fail(EBADF);
    if (arg == nullptr) return Fail(EFAULT);
    if (_IOC_TYPE(request) == SPI_IOC_MAGIC && _IOC_NR(request) == 0 && _IOC_DIR(request) == _IOC_WRITE) {
        const unsigned size = _IOC_SIZE(request);
        if (size == 0 || size % sizeof(spi_ioc_transfer) != 0) return Fail(EINVAL);
        return Message(arg, static_cast<int>(size / sizeof(spi_ioc_transfer)));
    }
    switch (request) {
        case SPI_IOC_RD_MODE:
        case SPI_IOC_RD_MODE32: {
            const std::uint32_t mode = config_.gpioSelect ? mode_ & ~std::uint32_t{SPI_CS_HIGH} : mode_;
            if (request == SPI_IOC_RD_MODE) {
                *static_cast<std::uint8_t*>(arg) = static_cast<std::uint8_t>(mode);
            } else {
                *static_cast<std::uint32_t*>(arg) = mode;
            }
            return 0;
        }
        case SPI_IOC_WR_MODE:
        case SPI_IOC_WR_MODE32: {
            const std::uint32_t mode = request == SPI_IOC_WR_MODE ? *static_cast<std::uint8_t*>(arg)
                                                                  : *static_cast<std::uint32_t*>(arg);
            // The controller modelled shifts in mode 0 only; the select's
            // polarity is the one other bit it takes, where it can.
            if ((mode & ~std::uint32_t{SPI_CS_HIGH}) != SPI_MODE_0) return Fail(EINVAL);
            if ((mode & SPI_CS_HIGH) && !config_.csHighSupported && !config_.gpioSelect) return Fail(EINVAL);
            mode_ = config_.gpioSelect ? mode | SPI_CS_HIGH : mode;
            Select(false);  // setup leaves the select at its new idle level
            return 0;
        }
        case SPI_IOC_RD_LSB_FIRST:
            *static_cast<std::uint8_t*>(arg) = 0;
            return 0;
        case SPI_IOC_WR_LSB_FIRST:
            return *static_cast<std::uint8_t*>(arg) == 0 ? 0 : Fail(EINVAL);
        case SPI_IOC_RD_BITS_PER_WORD:
            *static_cast<std::uint8_t*>(arg) = static_cast<std::uint8_t>(bitsPerWord_);
            return 0;
        case SPI_IOC_WR_BITS_PER_WORD: {
            const int bits = *static_cast<std::uint8_t*>(arg);
            if (bits != 0 && bits != 8) return Fail(EINVAL);
            bitsPerWord_ = 8;
            return 0;
        }
        case SPI_IOC_RD_MAX_SPEED_HZ:
            *static_cast<std::uint32_t*>(arg) = static_cast<std::uint32_t>(speedHz_);
            return 0;
        case SPI_IOC_WR_MAX_SPEED_HZ: {
            const std::uint32_t hz = *static_cast<std::uint32_t*>(arg);
            if (hz == 0) return Fail(EINVAL);
            speedHz_ =
                static_cast<int>(std::min<std::uint32_t>(hz, static_cast<std::uint32_t>(config_.maxSpeedHz)));
            return 0;
        }
        default:
            return Fail(ENOTTY);
    }
}

int FakeSpidev::Message(const void* transfers, int count) {
    const auto* xfers = static_cast<const spi_ioc_transfer*>(transfers);
    // As the driver: the bytes sent and the bytes received each fit its buffer.
    std::uint64_t txTotal = 0;
    std::uint64_t rxTotal = 0;
    for (int k = 0; k < count; ++k) {
        const spi_ioc_transfer& x = xfers[k];
        if (x.bits_per_word != 0 && x.bits_per_word != 8) return Fail(EINVAL);
        if (x.tx_buf != 0) txTotal += x.len;
        if (x.rx_buf != 0) rxTotal += x.len;
    }
    const auto limit = static_cast<std::uint64_t>(config_.bufsiz);
    if (txTotal > limit || rxTotal > limit) return Fail(EMSGSIZE);
    ++messages_;
    int total = 0;
    Select(true);
    for (int k = 0; k < count; ++k) {
        const spi_ioc_transfer& x = xfers[k];
        const auto* tx = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(x.tx_buf));
        auto* rx = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(x.rx_buf));
        const int hz =
            x.speed_hz != 0 ? std::min(static_cast<int>(x.speed_hz), config_.maxSpeedHz) : speedHz_;
        for (std::uint32_t i = 0; i < x.len; ++i) {
            const std::uint8_t in = ClockByte(tx ? tx[i] : 0, std::max(hz, 1));
            if (rx) rx[i] = in;
        }
        bytesClocked_ += x.len;
        total += static_cast<int>(x.len);
        SpendNs(static_cast<std::int64_t>(x.delay_usecs) * 1000);
        // cs_change between transfers releases the select for a moment; on
        // the last one it would keep the chip selected, which nothing here asks.
        if (x.cs_change && k + 1 < count) {
            Select(false);
            Select(true);
        }
    }
    Select(false);
    return total;
}

void FakeSpidev::Select(bool selected) {
    const bool activeHigh = SelectActiveHigh();
    // Clock low (mode 0), data in low, ORG as strapped.
    Latch(static_cast<std::uint8_t>(Bit(kSocketSelect, selected == activeHigh) |
                                    Bit(kSocketOrg, config_.orgHigh)));
}

bool FakeSpidev::Selected() const {
    const bool selectHigh = (latch_ >> kSocketSelect) & 1u;
    return selectHigh == SelectActiveHigh();
}

void FakeSpidev::Latch(std::uint8_t latch) {
    latch_ = latch;
    if (SerialChip* chip = bench_.SocketChip()) chip->OnLatch(latch, bench_.NowUs());
}

std::uint8_t FakeSpidev::ClockByte(std::uint8_t out, int speedHz) {
    const std::int64_t halfBitNs = 500'000'000LL / speedHz;
    std::uint8_t in = 0;
    for (int b = 7; b >= 0; --b) {
        const bool bit = (out >> b) & 1u;
        std::uint8_t low =
            static_cast<std::uint8_t>(latch_ & ~(Bit(kSocketClock, true) | Bit(kSocketData, true)));
        low = static_cast<std::uint8_t>(low | Bit(kSocketData, bit));
        Latch(low);
        SpendNs(halfBitNs);
        // A mode 0 controller samples at the rising edge: what the chip put
        // out before it.
        const SerialChip* chip = bench_.SocketChip();
        const bool sampled = chip == nullptr || chip->DataOut(bench_.NowUs());
        in = static_cast<std::uint8_t>((in << 1) | (sampled ? 1 : 0));
        Latch(static_cast<std::uint8_t>(low | Bit(kSocketClock, true)));
        SpendNs(halfBitNs);
    }
    // The clock idles low between bytes.
    Latch(static_cast<std::uint8_t>(latch_ & ~Bit(kSocketClock, true)));
    return in;
}

void FakeSpidev::SpendNs(std::int64_t ns) {
    owedNs_ += ns;
    if (owedNs_ < 1000) return;
    bench_.Spend(owedNs_ / 1000);
    owedNs_ %= 1000;
}

}  // namespace simulator
