// An I2C bus that Linux gives as /dev/i2c-N (a USB-to-I2C bridge, a Pi's
// controller, a PC's SMBus or a monitor's DDC lines), driven through the
// kernel's I2C_RDWR transfers within the kernel's limits: 42 messages per
// call, 8192 bytes per message.
//
// What the adapter can do comes from I2C_FUNCS and from its answers: a bridge
// that runs only one message per transfer, or only a write followed by a
// read, refuses other shapes with EOPNOTSUPP. The first refusal is remembered
// in Capabilities(), and that transfer and every later one are run as the
// bridge takes them (the messages split by STOP and START, which a memory or
// a register device answers the same way); more messages than one call takes
// go in several calls. A bridge that cannot send a message without bytes is
// polled with a one-byte read instead. Errors map
// onto I2cStatus: ENXIO, EREMOTEIO and EIO "no acknowledge", EAGAIN and EBUSY
// "bus busy" (arbitration lost), ETIMEDOUT "timed out", EOPNOTSUPP "not
// supported". The kernel does not say which byte was refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hardware/i2c_master.h"
#include "platform/counter.h"
#include "platform/device_system.h"

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
    // The bus clock where the device tree gives it (a Pi's bus), else 0.
    int ClockHz() const { return clockHz_; }
    // The I2C_FUNCS mask (0 before Open).
    unsigned long Functions() const { return functions_; }
    // One line: the device, its name, and what it can do as learnt so far.
    std::string Describe() const;

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
    // After EOPNOTSUPP: true when the refusal taught a narrower shape.
    bool LearnFromRefusal(std::span<const I2cMessage> piece);
    I2cResult Failed(I2cStatus status, int message) const;
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
    int clockHz_ = 0;  // from the device tree; 0 when not known
};

// "/dev/i2c-3" -> 3; -1 for a path that is not an i2c-dev node.
int I2cDevBusNumber(const std::string& path);

}  // namespace hardware
