// The i2c-dev adapter: I2C_RDWR transfers shaped to what the bus takes.
#include "hardware/i2c_dev/i2c_dev_adapter.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "hardware/chip_parts.h"

namespace hardware {
namespace {

constexpr char kDevPrefix[] = "/dev/i2c-";

I2cStatus StatusOfErrno(int error) {
    switch (error) {
        case ENXIO:
        case ENODEV:  // i2c-stub's answer for an address with no chip (i2c-stub.c, stub_xfer)
        case EREMOTEIO:
        case EIO:
            return I2cStatus::NoAck;
        case EAGAIN:
        case EBUSY:
            return I2cStatus::BusBusy;
        case ETIMEDOUT:
            return I2cStatus::TimedOut;
        default:
            return I2cStatus::NotSupported;
    }
}

bool IsAddressPoll(std::span<const I2cMessage> messages) {
    return messages.size() == 1 && !messages[0].read && messages[0].bytes.empty();
}

bool IsWriteThenRead(std::span<const I2cMessage> messages) {
    return messages.size() == 2 && !messages[0].read && messages[1].read;
}

std::string OpenErrorSentence(const std::string& path, int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "There is no I2C bus at " + path +
                   "; load the i2c-dev module (sudo modprobe i2c-dev) and pick a bus that merlix-cli ports "
                   "lists.";
        case EACCES:
        case EPERM:
            return "You may not open " + path +
                   "; add yourself to group i2c (sudo usermod -aG i2c $USER, then log in again), or give the "
                   "group access with a udev rule (KERNEL==\"i2c-[0-9]*\", GROUP=\"i2c\", MODE=\"0660\").";
        case EBUSY:
            return path + " is busy; close the program that holds it and try again.";
        default:
            return "Could not open " + path + " (" + std::strerror(error) +
                   "); pick a bus that merlix-cli ports lists.";
    }
}

// The SMBus calls an adapter offers, for Describe().
std::string SmbusList(unsigned long functions) {
    struct Named {
        unsigned long bits;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {I2C_FUNC_SMBUS_QUICK, "quick"},           {I2C_FUNC_SMBUS_BYTE, "byte"},
        {I2C_FUNC_SMBUS_BYTE_DATA, "byte data"},   {I2C_FUNC_SMBUS_WORD_DATA, "word data"},
        {I2C_FUNC_SMBUS_BLOCK_DATA, "block data"}, {I2C_FUNC_SMBUS_I2C_BLOCK, "I2C block"},
    };
    std::string list;
    for (const Named& n : kNames) {
        if ((functions & n.bits) != n.bits) continue;
        list += list.empty() ? "" : ", ";
        list += n.name;
    }
    return list;
}

// The longest message an SMBus-only adapter carries: an I2C block both ways,
// else a byte of data after the command.
int SmbusLongest(unsigned long functions) {
    if ((functions & I2C_FUNC_SMBUS_I2C_BLOCK) == I2C_FUNC_SMBUS_I2C_BLOCK) return I2C_SMBUS_BLOCK_MAX;
    return (functions & I2C_FUNC_SMBUS_BYTE_DATA) == I2C_FUNC_SMBUS_BYTE_DATA ? 1 : 0;
}

}  // namespace

int I2cDevBusNumber(const std::string& path) {
    const std::string prefix = kDevPrefix;
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return -1;
    int number = 0;
    for (std::size_t i = prefix.size(); i < path.size(); ++i) {
        const char c = path[i];
        if (c < '0' || c > '9' || number > 99'999) return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

I2cDevAdapter::I2cDevAdapter(platform::DeviceSystem& system, platform::Counter& counter)
    : system_(system), counter_(counter) {}

I2cDevAdapter::~I2cDevAdapter() { Close(); }

bool I2cDevAdapter::Open(const std::string& path, std::string& error) {
    Close();
    const int fd = system_.Open(path, O_RDWR);
    if (fd < 0) {
        error = OpenErrorSentence(path, errno);
        return false;
    }
    unsigned long functions = 0;
    if (system_.Ioctl(fd, I2C_FUNCS, &functions) < 0) {
        const int cause = errno;
        system_.Close(fd);
        error = path + " is not an I2C bus (it does not answer I2C_FUNCS: " + std::strerror(cause) +
                "); pick a bus that merlix-cli ports lists.";
        return false;
    }
    fd_ = fd;
    path_ = path;
    functions_ = functions;
    maxMessages_ = kMaxMessages;
    writeThenReadOnly_ = false;
    zeroLengthRefused_ = false;
    name_.clear();
    clockHz_ = 0;
    driver_ = nullptr;
    maxRead_ = maxWrite_ = maxWriteBeforeRead_ = kMaxMessageBytes;
    limitsLearnt_ = false;
    const int bus = I2cDevBusNumber(path);
    if (bus < 0) return true;
    const std::string folder = "/sys/class/i2c-dev/i2c-" + std::to_string(bus);
    if (!system_.ReadText(folder + "/name", name_)) name_.clear();
    driver_ = platform::FindI2cDriver(name_);
    if (driver_ != nullptr && (functions_ & I2C_FUNC_I2C)) {
        maxMessages_ = std::min(driver_->maxMessages, kMaxMessages);
        writeThenReadOnly_ = driver_->writeThenReadOnly;
        maxRead_ = std::min(driver_->maxReadBytes, kMaxMessageBytes);
        maxWrite_ = std::min(driver_->maxWriteBytes, kMaxMessageBytes);
        maxWriteBeforeRead_ = std::min(driver_->maxWriteBeforeRead, kMaxMessageBytes);
        zeroLengthRefused_ = driver_->zeroLengthWriteRefused;
    }
    // A device-tree bus (a Pi's, a board's) has its clock in its node, as
    // four big-endian bytes; a PC's or a USB bridge's does not say.
    std::string clock;
    if (system_.ReadText(folder + "/device/of_node/clock-frequency", clock) && clock.size() == 4) {
        std::uint32_t hz = 0;
        for (const char c : clock) hz = hz << 8 | static_cast<std::uint8_t>(c);
        if (hz >= 1'000 && hz <= 5'000'000) clockHz_ = static_cast<int>(hz);
    }
    return true;
}

void I2cDevAdapter::Close() {
    if (fd_ >= 0) system_.Close(fd_);
    fd_ = -1;
}

std::string I2cDevAdapter::Describe() const {
    if (fd_ < 0) return "i2c-dev: no bus open";
    std::string line = path_;
    if (!name_.empty()) line += " (" + name_ + ")";
    const std::string smbus = SmbusList(functions_);
    if (!(functions_ & I2C_FUNC_I2C)) {
        line += ": no plain I2C transfers, SMBus only";
        if (!smbus.empty()) line += " (" + smbus + ")";
        const int longest = SmbusLongest(functions_);
        if (longest == 0) return line + ", nothing Merlix can read or write there";
        return line + ", so a command then a read or a write of up to " + std::to_string(longest) +
               (longest == 1 ? " byte" : " bytes") + " per transfer";
    }
    line += ": I2C transfers";
    if (clockHz_ > 0) line += " at " + std::to_string(clockHz_ / 1000) + " kHz";
    if (maxMessages_ == 1) {
        line += " of one message";
    } else if (writeThenReadOnly_) {
        line += " of one message or a write then a read";
    } else {
        line += " of up to " + std::to_string(maxMessages_) + " messages";
    }
    if (maxRead_ == maxWrite_) {
        line += ", " + std::to_string(maxRead_) + " bytes each";
    } else {
        line += ", reads of up to " + std::to_string(maxRead_) + " bytes and writes of up to " +
                std::to_string(maxWrite_);
    }
    if (driver_ != nullptr) line += std::string(" (the limits of ") + driver_->driver + ")";
    if (limitsLearnt_) line += " (learnt from its refusals)";
    if (zeroLengthRefused_) line += ", polled with one-byte reads";
    line += ", the refused byte not reported";
    if (NackUnreported())
        line += "; its driver does not report a missing acknowledge, so an absent chip "
                "reads as 0xFF and each write cycle is waited out";
    if (!smbus.empty()) line += "; SMBus " + smbus;
    return line;
}

std::int64_t I2cDevAdapter::NowUs() { return CounterNowUs(counter_); }

void I2cDevAdapter::SleepMs(int ms) { counter_.SleepMs(ms); }

I2cCapabilities I2cDevAdapter::Capabilities() const {
    I2cCapabilities caps;
    caps.dataAcksSeen = false;
    // The kernel's driver sets the clock; known only where the device tree says.
    if (clockHz_ > 0) caps.speedsHz = {clockHz_};
    if (!(functions_ & I2C_FUNC_I2C)) {
        // SMBus calls: a write, or a write of the command then a read.
        caps.maxMessageBytes = SmbusLongest(functions_);
        caps.maxMessages = caps.maxMessageBytes > 0 ? 2 : 0;
        caps.writeThenReadOnly = true;
        return caps;
    }
    caps.maxMessages = maxMessages_;
    caps.maxMessageBytes = maxWrite_;
    caps.maxReadBytes = maxRead_;
    caps.writeThenReadOnly = writeThenReadOnly_ || maxMessages_ == 1;
    return caps;
}

std::size_t I2cDevAdapter::NextPiece(std::span<const I2cMessage> rest) const {
    if (writeThenReadOnly_ || maxMessages_ <= 2) {
        const bool pair =
            maxMessages_ >= 2 && IsWriteThenRead(rest.first(std::min<std::size_t>(rest.size(), 2)));
        return pair ? 2 : 1;
    }
    return std::min(rest.size(), static_cast<std::size_t>(maxMessages_));
}

bool I2cDevAdapter::LearnFromRefusal(std::span<const I2cMessage> piece) {
    if (lastErrno_ != EINVAL && lastErrno_ != EOPNOTSUPP) return false;
    // A long message is likelier refused for its length than for the
    // transfer's shape: halve the longest read and run it again in pieces;
    // a write is not sent again here (a driver may have cut and sent it).
    const auto longest = std::max_element(
        piece.begin(), piece.end(),
        [](const I2cMessage& a, const I2cMessage& b) { return a.bytes.size() < b.bytes.size(); });
    // A read longer than the limit went in pieces of the limit.
    const int length =
        std::min(static_cast<int>(longest->bytes.size()), longest->read ? maxRead_ : maxWrite_);
    if (length > I2C_SMBUS_BLOCK_MAX) {
        limitsLearnt_ = true;
        if (longest->read) {
            maxRead_ = std::min(maxRead_, length / 2);
            return true;
        }
        maxWrite_ = std::min(maxWrite_, length / 2);
        return false;
    }
    if (lastErrno_ != EOPNOTSUPP) return false;
    if (piece.size() > 1) {
        if (IsWriteThenRead(piece) || writeThenReadOnly_) {
            maxMessages_ = 1;
        } else {
            maxMessages_ = 2;
            writeThenReadOnly_ = true;
        }
        return true;
    }
    if (IsAddressPoll(piece) && !zeroLengthRefused_) {
        zeroLengthRefused_ = true;
        return true;
    }
    return false;
}

bool I2cDevAdapter::WritesFit(std::span<const I2cMessage> piece) const {
    for (std::size_t k = 0; k < piece.size(); ++k) {
        if (piece[k].read) continue;
        const bool beforeRead = k + 1 < piece.size() && piece[k + 1].read;
        const int limit = beforeRead ? std::min(maxWrite_, maxWriteBeforeRead_) : maxWrite_;
        if (static_cast<int>(piece[k].bytes.size()) > limit) return false;
    }
    return true;
}

I2cStatus I2cDevAdapter::CallInPieces(std::span<const I2cMessage> piece) {
    const I2cMessage& read = piece.back();
    const std::size_t step = static_cast<std::size_t>(std::max(maxRead_, 1));
    std::vector<I2cMessage> first(piece.begin(), piece.end());
    first.back().bytes = read.bytes.first(step);
    I2cStatus status = Call(first);
    for (std::size_t at = step; at < read.bytes.size() && status == I2cStatus::Done; at += step) {
        const I2cMessage more{read.address, true,
                              read.bytes.subspan(at, std::min(step, read.bytes.size() - at))};
        status = Call({&more, 1});
    }
    return status;
}

I2cStatus I2cDevAdapter::Call(std::span<const I2cMessage> messages) {
    std::vector<i2c_msg> kernel(messages.size());
    for (std::size_t k = 0; k < messages.size(); ++k) {
        kernel[k].addr = messages[k].address;
        kernel[k].flags = messages[k].read ? I2C_M_RD : 0;
        kernel[k].len = static_cast<__u16>(messages[k].bytes.size());
        kernel[k].buf = messages[k].bytes.data();
    }
    i2c_rdwr_ioctl_data data{kernel.data(), static_cast<__u32>(kernel.size())};
    if (system_.Ioctl(fd_, I2C_RDWR, &data) >= 0) return I2cStatus::Done;
    lastErrno_ = errno;
    if (lastErrno_ == ETIMEDOUT && TimeoutIsNack()) return I2cStatus::NoAck;
    return StatusOfErrno(lastErrno_);
}

I2cResult I2cDevAdapter::Transfer(std::span<const I2cMessage> messages) {
    if (messages.empty()) return {};
    if (fd_ < 0) return {I2cStatus::NotSupported, 0, I2cResult::kAddressByte};
    for (std::size_t k = 0; k < messages.size(); ++k) {
        if (messages[k].bytes.size() > static_cast<std::size_t>(kMaxMessageBytes))
            return {I2cStatus::NotSupported, static_cast<int>(k), I2cResult::kAddressByte};
    }
    if (!(functions_ & I2C_FUNC_I2C)) return TransferBySmbus(messages);
    std::uint8_t pollByte = 0;
    for (std::size_t k = 0; k < messages.size();) {
        const std::size_t count = NextPiece(messages.subspan(k));
        std::span<const I2cMessage> piece = messages.subspan(k, count);
        I2cMessage poll{};
        if (zeroLengthRefused_ && IsAddressPoll(piece)) {
            // A one-byte read asks for the same acknowledge of the address.
            poll = {piece[0].address, true, {&pollByte, 1}};
            piece = {&poll, 1};
        }
        // Never a message the driver would refuse or cut.
        if (!WritesFit(piece)) return {I2cStatus::NotSupported, static_cast<int>(k), I2cResult::kAddressByte};
        const bool longRead = static_cast<int>(piece.back().bytes.size()) > maxRead_;
        for (const I2cMessage& m : piece.first(piece.size() - 1)) {
            if (m.read && static_cast<int>(m.bytes.size()) > maxRead_)
                return {I2cStatus::NotSupported, static_cast<int>(k), I2cResult::kAddressByte};
        }
        if (NackUnreported() && IsAddressPoll(piece)) {
            // Nothing tells a busy or absent chip from a ready one: give
            // the slowest write cycle its time before the caller goes on.
            counter_.SleepMs((SlowestWriteCycleUs() + 999) / 1000);
        }
        const I2cStatus status = piece.back().read && longRead ? CallInPieces(piece) : Call(piece);
        if (status == I2cStatus::Done) {
            k += count;
            continue;
        }
        // A refused length or shape: the same piece again as learnt.
        if (LearnFromRefusal(piece)) continue;
        return Failed(status, count == 1 ? static_cast<int>(k) : -1);
    }
    return {};
}

I2cResult I2cDevAdapter::TransferAsOne(std::span<const I2cMessage> messages) {
    // One message, and the shapes SMBus calls carry, are never split.
    if (messages.size() <= 1 || fd_ < 0 || !(functions_ & I2C_FUNC_I2C)) return Transfer(messages);
    const I2cResult refused{I2cStatus::NotSupported, 0, I2cResult::kAddressByte};
    if (NextPiece(messages) < messages.size()) return refused;
    for (const I2cMessage& m : messages) {
        if (m.bytes.size() > static_cast<std::size_t>(kMaxMessageBytes)) return refused;
    }
    const I2cStatus status = Call(messages);
    if (status == I2cStatus::Done) return {};
    if (lastErrno_ == EOPNOTSUPP) (void)LearnFromRefusal(messages);
    return Failed(status, -1);
}

I2cResult I2cDevAdapter::Failed(I2cStatus status, int message) const {
    // The kernel does not say which message of several, nor which byte, was
    // refused; ENXIO is the address.
    const int byte =
        status == I2cStatus::NoAck && (lastErrno_ == ENXIO || lastErrno_ == ENODEV || TimeoutIsNack())
            ? I2cResult::kAddressByte
            : -1;
    return {status, message, byte};
}

I2cResult I2cDevAdapter::TransferBySmbus(std::span<const I2cMessage> messages) {
    const I2cMessage& first = messages[0];
    const std::size_t length = first.bytes.size();
    const auto has = [this](unsigned long bits) { return (functions_ & bits) == bits; };
    i2c_smbus_data data{};
    i2c_smbus_ioctl_data call{I2C_SMBUS_WRITE, 0, 0, &data};
    std::span<std::uint8_t> into;  // where a read's bytes go
    if (messages.size() == 1 && IsAddressPoll(messages) && has(I2C_FUNC_SMBUS_QUICK)) {
        call.size = I2C_SMBUS_QUICK;
        call.data = nullptr;
    } else if (messages.size() == 1 && IsAddressPoll(messages) && has(I2C_FUNC_SMBUS_READ_BYTE)) {
        call = {I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data};  // the same acknowledge, as i2cdetect -r asks
    } else if (messages.size() == 1 && first.read && length == 1 && has(I2C_FUNC_SMBUS_READ_BYTE)) {
        call = {I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data};
        into = first.bytes;
    } else if (messages.size() == 1 && !first.read && length == 1 && has(I2C_FUNC_SMBUS_WRITE_BYTE)) {
        call = {I2C_SMBUS_WRITE, first.bytes[0], I2C_SMBUS_BYTE, nullptr};
    } else if (messages.size() == 1 && !first.read && length == 2 && has(I2C_FUNC_SMBUS_WRITE_BYTE_DATA)) {
        call = {I2C_SMBUS_WRITE, first.bytes[0], I2C_SMBUS_BYTE_DATA, &data};
        data.byte = first.bytes[1];
    } else if (messages.size() == 1 && !first.read && length >= 2 && length <= 1 + I2C_SMBUS_BLOCK_MAX &&
               has(I2C_FUNC_SMBUS_WRITE_I2C_BLOCK)) {
        call = {I2C_SMBUS_WRITE, first.bytes[0], I2C_SMBUS_I2C_BLOCK_DATA, &data};
        data.block[0] = static_cast<__u8>(length - 1);
        std::copy(first.bytes.begin() + 1, first.bytes.end(), data.block + 1);
    } else if (IsWriteThenRead(messages) && length == 1 && messages[1].address == first.address) {
        into = messages[1].bytes;
        if (into.size() == 1 && has(I2C_FUNC_SMBUS_READ_BYTE_DATA)) {
            call = {I2C_SMBUS_READ, first.bytes[0], I2C_SMBUS_BYTE_DATA, &data};
        } else if (into.size() == 2 && has(I2C_FUNC_SMBUS_READ_WORD_DATA)) {
            // The same bytes on the wire as a two-byte block read, and the
            // one a PC's SMBus controller without block reads has.
            call = {I2C_SMBUS_READ, first.bytes[0], I2C_SMBUS_WORD_DATA, &data};
        } else if (!into.empty() && into.size() <= I2C_SMBUS_BLOCK_MAX &&
                   has(I2C_FUNC_SMBUS_READ_I2C_BLOCK)) {
            call = {I2C_SMBUS_READ, first.bytes[0], I2C_SMBUS_I2C_BLOCK_DATA, &data};
            data.block[0] = static_cast<__u8>(into.size());
        } else {
            return {I2cStatus::NotSupported, 0, I2cResult::kAddressByte};
        }
    } else {
        return {I2cStatus::NotSupported, 0, I2cResult::kAddressByte};
    }
    // The address goes with the file; a device that a kernel driver has
    // claimed (EBUSY) is left to that driver.
    if (system_.Ioctl(fd_, I2C_SLAVE, reinterpret_cast<void*>(static_cast<std::uintptr_t>(first.address))) <
        0)
        return {I2cStatus::NotSupported, 0, I2cResult::kAddressByte};
    if (system_.Ioctl(fd_, I2C_SMBUS, &call) < 0) {
        lastErrno_ = errno;
        return Failed(StatusOfErrno(lastErrno_), messages.size() == 1 ? 0 : -1);
    }
    if (call.size == I2C_SMBUS_I2C_BLOCK_DATA) {
        std::copy_n(data.block + 1, into.size(), into.begin());
    } else if (call.size == I2C_SMBUS_WORD_DATA) {
        into[0] = static_cast<std::uint8_t>(data.word);
        into[1] = static_cast<std::uint8_t>(data.word >> 8);
    } else if (!into.empty()) {
        into[0] = data.byte;
    }
    return {};
}

}  // namespace hardware
