// The fake /dev/i2c-N: the kernel's i2c-dev calls answered by the bench's bus.
#include "simulator/fake_i2c_dev.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>

namespace simulator {
namespace {

constexpr int kMaxMessages = 42;        // I2C_RDWR_IOCTL_MAX_MSGS
constexpr int kMaxMessageBytes = 8192;  // the longest message i2c-dev copies

// The I2C_FUNCS bit of an SMBus call.
unsigned long SmbusFunction(int size, bool read) {
    switch (size) {
        case I2C_SMBUS_QUICK:
            return I2C_FUNC_SMBUS_QUICK;
        case I2C_SMBUS_BYTE:
            return read ? I2C_FUNC_SMBUS_READ_BYTE : I2C_FUNC_SMBUS_WRITE_BYTE;
        case I2C_SMBUS_BYTE_DATA:
            return read ? I2C_FUNC_SMBUS_READ_BYTE_DATA : I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
        case I2C_SMBUS_WORD_DATA:
            return read ? I2C_FUNC_SMBUS_READ_WORD_DATA : I2C_FUNC_SMBUS_WRITE_WORD_DATA;
        case I2C_SMBUS_I2C_BLOCK_DATA:
            return read ? I2C_FUNC_SMBUS_READ_I2C_BLOCK : I2C_FUNC_SMBUS_WRITE_I2C_BLOCK;
        default:
            return 0;
    }
}

int Fail(int error) {
    errno = error;
    return -1;
}

}  // namespace

FakeI2cDev::FakeI2cDev(SimulatedBench& bench, Config config) : bench_(bench), config_(std::move(config)) {}

std::string FakeI2cDev::Path() const { return "/dev/i2c-" + std::to_string(config_.busNumber); }

std::string FakeI2cDev::SysFolder() const {
    return "/sys/class/i2c-dev/i2c-" + std::to_string(config_.busNumber);
}

int FakeI2cDev::Open(const std::string& path, int /*flags*/) {
    if (path != Path()) return Fail(ENOENT);
    if (config_.denied) return Fail(EACCES);
    const int fd = nextFd_++;
    open_[fd] = File{};
    return fd;
}

int FakeI2cDev::Close(int fd) {
    if (open_.erase(fd) == 0) return Fail(EBADF);
    return 0;
}

int FakeI2cDev::Access(const std::string& path, int /*mode*/) {
    if (path == Path()) return config_.denied ? Fail(EACCES) : 0;
    if (path == SysFolder() || path == SysFolder() + "/name") return 0;
    return Fail(ENOENT);
}

bool FakeI2cDev::ReadText(const std::string& path, std::string& text) {
    if (path == SysFolder() + "/name") {
        text = !config_.name.empty()       ? config_.name
               : config_.driver != nullptr ? config_.driver->sampleName
                                           : "Bench I2C adapter";
        return true;
    }
    if (path == SysFolder() + "/device/of_node/clock-frequency" && config_.clockInDeviceTree) {
        const auto hz = static_cast<std::uint32_t>(config_.clockHz);
        text = {static_cast<char>(hz >> 24), static_cast<char>(hz >> 16), static_cast<char>(hz >> 8),
                static_cast<char>(hz)};
        return true;
    }
    return false;
}

std::vector<std::string> FakeI2cDev::List(const std::string& folder) {
    const std::string node = "i2c-" + std::to_string(config_.busNumber);
    if (folder == "/sys/class/i2c-dev" || folder == "/dev") return {node};
    return {};
}

unsigned long FakeI2cDev::Functions() const {
    if (config_.driver != nullptr) return config_.driver->functions;
    unsigned long functions = (config_.smbusOnly ? 0 : I2C_FUNC_I2C) | I2C_FUNC_SMBUS_BYTE |
                              I2C_FUNC_SMBUS_BYTE_DATA | I2C_FUNC_SMBUS_WORD_DATA | I2C_FUNC_SMBUS_I2C_BLOCK;
    if (!config_.noZeroLength) functions |= I2C_FUNC_SMBUS_QUICK;
    return functions;
}

int FakeI2cDev::Ioctl(int fd, unsigned long request, void* arg) {
    auto file = open_.find(fd);
    if (file == open_.end()) return Fail(EBADF);
    switch (request) {
        case I2C_FUNCS:
            *static_cast<unsigned long*>(arg) = Functions();
            return 0;
        case I2C_SLAVE:
        case I2C_SLAVE_FORCE: {
            // The address is the argument itself, as the kernel takes it.
            const auto address = reinterpret_cast<std::uintptr_t>(arg);
            if (address > 0x7F) return Fail(EINVAL);
            const auto& held = config_.driverHeld;
            if (request == I2C_SLAVE &&
                std::find(held.begin(), held.end(), static_cast<int>(address)) != held.end())
                return Fail(EBUSY);
            file->second.slave = static_cast<int>(address);
            return 0;
        }
        case I2C_RDWR: {
            ++calls_;
            const auto* data = static_cast<const i2c_rdwr_ioctl_data*>(arg);
            if (data == nullptr || data->msgs == nullptr || data->nmsgs == 0 || data->nmsgs > kMaxMessages)
                return Fail(EINVAL);
            if (config_.smbusOnly || !(Functions() & I2C_FUNC_I2C)) return Fail(EOPNOTSUPP);
            const std::span<i2c_msg> messages{data->msgs, data->nmsgs};
            for (const i2c_msg& m : messages) {
                if (m.len > kMaxMessageBytes) return Fail(EINVAL);
            }
            const int error = Run(messages);
            return error != 0 ? Fail(error) : static_cast<int>(data->nmsgs);
        }
        case I2C_SMBUS:
            ++calls_;
            return Smbus(file->second, arg);
        default:
            return Fail(ENOTTY);
    }
}

int FakeI2cDev::DriverRefusal(std::span<const i2c_msg> messages) const {
    const platform::I2cDriverRules* d = config_.driver;
    if (d == nullptr || !(d->functions & I2C_FUNC_I2C)) return 0;
    const bool writeThenRead = messages.size() == 2 && !(messages[0].flags & I2C_M_RD) &&
                               (messages[1].flags & I2C_M_RD) && messages[0].addr == messages[1].addr;
    if (static_cast<int>(messages.size()) > d->maxMessages) return EOPNOTSUPP;
    if (d->writeThenReadOnly && messages.size() == 2 && !writeThenRead) return EOPNOTSUPP;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const i2c_msg& m = messages[k];
        const bool read = (m.flags & I2C_M_RD) != 0;
        if (m.len == 0 && (read ? d->zeroLengthReadRefused : d->zeroLengthWriteRefused))
            return d->zeroLengthErrno;
        // hid-cp2112.c cuts a write's length only when it goes alone
        // (cp2112_i2c_write_req); before a read it stays an int
        // (cp2112_i2c_write_read_req), so a long one is refused.
        const int length = !read && messages.size() == 1 && d->writeLengthIn8Bits ? m.len & 0xFF : m.len;
        const int limit = read                      ? d->maxReadBytes
                          : k + 1 < messages.size() ? d->maxWriteBeforeRead
                                                    : d->maxWriteBytes;
        if (length > limit) return d->tooLongErrno;
    }
    return 0;
}

int FakeI2cDev::Run(std::span<i2c_msg> messages) {
    if (const int refusal = DriverRefusal(messages)) return refusal;
    const platform::I2cDriverRules* driver = config_.driver;
    const bool writeThenRead =
        messages.size() == 2 && !(messages[0].flags & I2C_M_RD) && (messages[1].flags & I2C_M_RD);
    if (config_.twoMessagesOnly && messages.size() > 1 && !writeThenRead) return EOPNOTSUPP;
    if (config_.oneMessageOnly && messages.size() > 1) return EOPNOTSUPP;
    for (const i2c_msg& m : messages) {
        if (m.flags & ~static_cast<unsigned>(I2C_M_RD)) return EOPNOTSUPP;
        if (m.len == 0 && config_.noZeroLength) return EOPNOTSUPP;
    }
    I2cBus& bus = bench_.Bus();
    bus.sclHz = ClockHz();
    SpendBits(1);                             // START
    if (bench_.BusHeldBusy()) return EAGAIN;  // arbitration lost to the other master
    // The errno of a missing acknowledge; 0 where the driver never looks.
    const int addressNack = driver != nullptr ? driver->addressNackErrno : ENXIO;
    const int dataNack = driver != nullptr ? driver->dataNackErrno : EIO;
    int error = 0;
    for (std::size_t k = 0; k < messages.size() && error == 0; ++k) {
        const i2c_msg& m = messages[k];
        const bool read = (m.flags & I2C_M_RD) != 0;
        // hid-cp2112.c: cp2112_i2c_write_req(..., u8 data_length) sends len & 0xFF bytes.
        const int length = !read && messages.size() == 1 && driver != nullptr && driver->writeLengthIn8Bits
                               ? m.len & 0xFF
                               : m.len;
        if (k > 0) SpendBits(1);  // repeated START
        SpendBits(9);
        const bool acked =
            bus.Address(static_cast<std::uint8_t>(m.addr << 1 | (read ? 1 : 0)), bench_.NowUs());
        if (!acked && addressNack != 0) {
            error = addressNack;
            break;
        }
        for (int b = 0; b < length; ++b) {
            SpendBits(9);
            if (read) {
                m.buf[b] = acked ? bus.Read() : 0xFF;  // nobody drives SDA: the pull-up's ones
            } else if (acked && !bus.Write(m.buf[b], true) && dataNack != 0) {
                error = dataNack;
                break;
            }
        }
    }
    SpendBits(1);  // STOP
    bus.Stop(bench_.NowUs());
    return error;
}

int FakeI2cDev::Smbus(File& file, void* arg) {
    auto* call = static_cast<i2c_smbus_ioctl_data*>(arg);
    if (call == nullptr) return Fail(EINVAL);
    const bool read = call->read_write == I2C_SMBUS_READ;
    // Only quick and a byte written without data need no data block.
    const bool noData = call->size == I2C_SMBUS_QUICK || (call->size == I2C_SMBUS_BYTE && !read);
    if (!noData && call->data == nullptr) return Fail(EINVAL);
    const auto address = static_cast<__u16>(file.slave < 0 ? 0 : file.slave);
    std::uint8_t out[2 + I2C_SMBUS_BLOCK_MAX] = {call->command};
    std::uint8_t in[I2C_SMBUS_BLOCK_MAX] = {};
    i2c_msg messages[2] = {{address, 0, 1, out}, {address, I2C_M_RD, 0, in}};
    int count = read ? 2 : 1;
    // The old I2C block call (i2c-tools' libi2c still uses it for a write, and
    // for a read of 32 bytes) is taken as the I2C block call, a read of it
    // always 32 bytes long (drivers/i2c/i2c-dev.c, i2cdev_ioctl_smbus).
    std::uint32_t size = call->size;
    if (size == I2C_SMBUS_I2C_BLOCK_BROKEN) {
        size = I2C_SMBUS_I2C_BLOCK_DATA;
        if (read) call->data->block[0] = I2C_SMBUS_BLOCK_MAX;
    }
    switch (size) {
        case I2C_SMBUS_QUICK:
            messages[0] = {address, static_cast<__u16>(read ? I2C_M_RD : 0), 0, out};
            count = 1;
            break;
        case I2C_SMBUS_BYTE:
            // A read is one byte from the device, a write the command alone.
            if (read) messages[0] = {address, I2C_M_RD, 1, in};
            count = 1;
            break;
        case I2C_SMBUS_BYTE_DATA:
            messages[read ? 1 : 0].len = read ? 1 : 2;
            out[1] = call->data->byte;
            break;
        case I2C_SMBUS_WORD_DATA:
            messages[read ? 1 : 0].len = read ? 2 : 3;
            out[1] = static_cast<std::uint8_t>(call->data->word);
            out[2] = static_cast<std::uint8_t>(call->data->word >> 8);
            break;
        case I2C_SMBUS_I2C_BLOCK_DATA: {
            const int length = call->data->block[0];
            if (length < 1 || length > I2C_SMBUS_BLOCK_MAX) return Fail(EINVAL);
            if (read) {
                messages[1].len = static_cast<__u16>(length);
            } else {
                messages[0].len = static_cast<__u16>(1 + length);
                for (int i = 0; i < length; ++i) out[1 + i] = call->data->block[1 + i];
            }
            break;
        }
        default:
            return Fail(EOPNOTSUPP);
    }
    if (config_.driver != nullptr && !(config_.driver->functions & I2C_FUNC_I2C) &&
        !(config_.driver->functions & SmbusFunction(call->size, read)))
        return Fail(EOPNOTSUPP);
    const int error = Run({messages, static_cast<std::size_t>(count)});
    if (error != 0) return Fail(error);
    if (!read || size == I2C_SMBUS_QUICK) return 0;
    if (size == I2C_SMBUS_BYTE || size == I2C_SMBUS_BYTE_DATA) call->data->byte = in[0];
    if (size == I2C_SMBUS_WORD_DATA) call->data->word = static_cast<__u16>(in[0] | in[1] << 8);
    if (size == I2C_SMBUS_I2C_BLOCK_DATA) {
        for (int i = 0; i < call->data->block[0]; ++i) call->data->block[1 + i] = in[i];
    }
    return 0;
}

void FakeI2cDev::SpendBits(long bits) {
    const std::int64_t total = static_cast<std::int64_t>(bits) * 1'000'000 + spendRemainder_;
    const std::int64_t hz = ClockHz();
    spendRemainder_ = total % hz;
    bench_.Spend(total / hz);
}

}  // namespace simulator
