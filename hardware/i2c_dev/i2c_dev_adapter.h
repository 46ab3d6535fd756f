// An I2C bus that Linux gives as /dev/i2c-N (a USB-to-I2C bridge, a Pi's
// controller, a PC's SMBus or a monitor's DDC lines), driven through the
// kernel's I2C_RDWR transfers within the kernel's limits (42 messages per
// call, 8192 bytes per message) and within its driver's.
//
// The bus's name in /sys says which driver runs it; for the drivers of
// platform/i2c_drivers.h the adapter knows the longest read and write, the
// shapes of transfer and the errno of a missing acknowledge, and never hands
// the driver a message it would refuse or cut (hid-cp2112 cuts a write's
// length to 8 bits). Another driver's limits are learnt from its answers:
// EINVAL or EOPNOTSUPP for a transfer with a long message first halves the
// longest read, and the read is run again in pieces (each continuing where
// the last stopped, as a memory's sequential read does); a long write that is
// refused halves the longest write, is not sent again by the adapter, and
// the caller's next try fits. Only a refusal of short messages teaches a
// narrower shape: a bridge that runs one message per transfer, or only a
// write followed by a read, has that transfer and every later one split by
// STOP and START (which a memory or a register device answers the same way);
// more messages than one call takes go in several calls. A bridge that
// cannot send a message without bytes is polled with a one-byte read
// instead. Errors map onto I2cStatus: ENXIO, ENODEV (i2c-stub), EREMOTEIO
// and EIO "no acknowledge" (and a CP2112's ETIMEDOUT, which is how it
// reports one),
// EAGAIN and EBUSY "bus busy" (arbitration lost), ETIMEDOUT "timed out",
// EOPNOTSUPP and EINVAL "not supported". The kernel does not say which byte
// was refused. On a driver that reports no missing acknowledge at all (the
// CH341's), an address poll waits out the slowest write cycle instead.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "hardware/i2c_master.h"
#include "platform/counter.h"
#include "platform/device_system.h"
#include "platform/i2c_drivers.h"

namespace hardware {

class I2cDevAdapter final : public I2cMaster {
public:
    // The kernel's limits on one I2C_RDWR call (I2C_RDWR_IOCTL_MAX_MSGS and
    // the longest message i2c-dev copies).
    static constexpr int kMaxMessages = 42;
    static constexpr int kMaxMessageBytes = 8192;

    // Both must outlive the adapter.
    I2cDevAdapter(platform::DeviceSystem& system, platform::Counter& counter);
    ~I2cDevAdapter() override;
    I2cDevAdapter(const I2cDevAdapter&) = delete;
    I2cDevAdapter& operator=(const I2cDevAdapter&) = delete;

    // Opens `path` ("/dev/i2c-1") and asks the adapter what it can do. On
    // failure nothing stays open and `error` is one sentence with the fix.
    // An adapter without plain I2C transfers (a PC's SMBus controller) opens
    // too: its transfers are the shapes SMBus calls carry (an address poll,
    // a command then a read or a write of up to 32 bytes), Describe() says
    // so, and any other shape answers NotSupported.
    bool Open(const std::string& path, std::string& error);
    // Closes the device; safe to call again.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // The adapter's name from /sys/class/i2c-dev/i2c-N/name ("" when unknown).
    const std::string& Name() const { return name_; }
    std::string AdapterName() const override {
        return "the I2C bus " + path_ + (name_.empty() ? "" : " (" + name_ + ")");
    }
    // The bus clock where the device tree gives it (a Pi's bus), else 0.
    int ClockHz() const { return clockHz_; }
    // The I2C_FUNCS mask (0 before Open).
    unsigned long Functions() const { return functions_; }
    // One line: the device, its name, and what it can do as learnt so far.
    std::string Describe() const;
    // The driver's row when its name is one Merlix knows, else null.
    const platform::I2cDriverRules* Driver() const { return driver_; }

    std::int64_t NowUs() override;
    void SleepMs(int ms) override;

    I2cResult Transfer(std::span<const I2cMessage> messages) override;
    I2cResult TransferAsOne(std::span<const I2cMessage> messages) override;
    // The kernel driver owns arbitration: a busy bus shows as EAGAIN.
    bool WaitForFreeBus() override { return true; }
    void Prepare() override {}
    void Recover() override {}
    I2cCapabilities Capabilities() const override;

private:
    // One I2C_RDWR call: the status of its errno, or Done.
    I2cStatus Call(std::span<const I2cMessage> messages);
    // How many of `rest` the next call carries, as the bus takes them.
    std::size_t NextPiece(std::span<const I2cMessage> rest) const;
    // Runs a piece whose last message is a read longer than the driver
    // takes: that read in pieces, each continuing where the last stopped.
    I2cStatus CallInPieces(std::span<const I2cMessage> piece);
    // After EINVAL or EOPNOTSUPP: true when the refusal taught a shorter
    // read or a narrower shape to run the piece again in.
    bool LearnFromRefusal(std::span<const I2cMessage> piece);
    // True when every write of the piece fits the driver's limits.
    bool WritesFit(std::span<const I2cMessage> piece) const;
    I2cResult Failed(I2cStatus status, int message) const;
    // A CP2112 reports a missing acknowledge as ETIMEDOUT.
    bool TimeoutIsNack() const { return driver_ != nullptr && driver_->addressNackErrno == ETIMEDOUT; }
    bool NackUnreported() const { return driver_ != nullptr && driver_->addressNackErrno == 0; }
    // On an adapter without plain I2C: the shapes SMBus calls carry.
    I2cResult TransferBySmbus(std::span<const I2cMessage> messages);

    platform::DeviceSystem& system_;
    platform::Counter& counter_;
    std::string path_;
    std::string name_;
    int fd_ = -1;
    unsigned long functions_ = 0;
    int maxMessages_ = kMaxMessages;  // lowered to 2 or 1 by the bridge's answers
    bool writeThenReadOnly_ = false;
    bool zeroLengthRefused_ = false;  // address polls go as one-byte reads
    int lastErrno_ = 0;
    const platform::I2cDriverRules* driver_ = nullptr;
    int maxRead_ = kMaxMessageBytes;
    int maxWrite_ = kMaxMessageBytes;
    int maxWriteBeforeRead_ = kMaxMessageBytes;
    bool limitsLearnt_ = false;
    int clockHz_ = 0;  // from the device tree; 0 when not known
};

// "/dev/i2c-3" -> 3; -1 for a path that is not an i2c-dev node.
int I2cDevBusNumber(const std::string& path);

}  // namespace hardware
