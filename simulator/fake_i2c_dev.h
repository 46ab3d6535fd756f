// A fake /dev/i2c-N at the device-system seam, answered by the bench's own
// I2C bus (the 24C16 and the register devices), so the i2c-dev adapter's real
// code runs on this machine.
//
// It keeps the kernel's rules: I2C_FUNCS; I2C_RDWR with at most 42 messages
// of at most 8192 bytes (EINVAL beyond them, or with no message); ENXIO for
// an address nobody acknowledges (a memory in its write cycle among them),
// EIO for a refused data byte, EAGAIN while the bench's bus-busy fault holds
// the bus; I2C_SLAVE and I2C_SLAVE_FORCE, and I2C_SMBUS as the kernel
// emulates it on plain I2C (quick, byte, byte data, word data, I2C block,
// the old I2C block call among them).
// In two-message mode it answers like a USB-HID bridge: one message, or a
// write followed by a read, anything else EOPNOTSUPP; in one-message mode
// every transfer of more than one message is refused so.
//
// Bench time: each transfer spends its START, nine bit times per byte (the
// address included), a bit time per repeated START and its STOP at the
// configured clock.
//
// With a driver's row (platform/i2c_drivers.h) it answers as that driver
// does, each rule from the driver's source named in the row: its functions,
// its shapes of transfer (EOPNOTSUPP beyond them), its longest read and
// write (the row's errno beyond them, before anything reaches the bus; a
// CP2112's write length cut to 8 bits, so a 258-byte write sends 2 bytes and
// succeeds), its empty-message rule, and the errno of a missing acknowledge
// (none at all on the CH341's, whose reads then return 0xFF). SMBus calls the
// driver lacks are EOPNOTSUPP, as i2c-piix4's piix4_access answers them.
//
// The /sys and /dev listings show the one bus: /sys/class/i2c-dev/i2c-N/name
// (and its device-tree clock, four big-endian bytes) and /dev/i2c-N.
#pragma once

#include <linux/i2c.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/device_system.h"
#include "platform/i2c_drivers.h"
#include "simulator/bench_adapter.h"
#include "simulator/simulated_bench.h"

namespace simulator {

class FakeI2cDev final : public platform::DeviceSystem {
public:
    struct Config {
        int busNumber = 1;
        std::string name = "";  // "" for the driver's sample name, else "Bench I2C adapter"
        int clockHz = 100'000;
        // Like a USB-HID bridge: one message, or a write then a read.
        bool twoMessagesOnly = false;
        // A bridge that takes one message per transfer.
        bool oneMessageOnly = false;
        // A PC's SMBus controller: no I2C_RDWR (EOPNOTSUPP), I2C_SMBUS only.
        bool smbusOnly = false;
        // A driver that refuses messages without bytes (EOPNOTSUPP).
        bool noZeroLength = false;
        // The clock in the device tree (.../device/of_node/clock-frequency),
        // as a Pi's bus has it; a bridge's bus does not.
        bool clockInDeviceTree = true;
        // The node is root's alone: open and access fail with EACCES.
        bool denied = false;
        // Addresses a kernel driver is bound to: I2C_SLAVE refuses them with
        // EBUSY, I2C_SLAVE_FORCE takes them (drivers/i2c/i2c-dev.c,
        // i2cdev_ioctl and i2cdev_check_addr).
        std::vector<int> driverHeld{};
        // The kernel driver whose rules the bus keeps; null for i2c-dev's alone.
        const platform::I2cDriverRules* driver = nullptr;
    };

    // `bench` must outlive the fake.
    explicit FakeI2cDev(SimulatedBench& bench) : FakeI2cDev(bench, Config{}) {}
    FakeI2cDev(SimulatedBench& bench, Config config);

    // "/dev/i2c-1"
    std::string Path() const;
    const Config& config() const { return config_; }
    // I2C_RDWR calls answered so far, refused ones included.
    int Calls() const { return calls_; }
    // File descriptors still open.
    int OpenCount() const { return static_cast<int>(open_.size()); }

    int Open(const std::string& path, int flags) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    int Close(int fd) override;
    int Access(const std::string& path, int mode) override;
    bool ReadText(const std::string& path, std::string& text) override;
    std::vector<std::string> List(const std::string& folder) override;

private:
    struct File {
        int slave = -1;  // the I2C_SLAVE address, -1 before one is set
    };
    std::string SysFolder() const;
    unsigned long Functions() const;
    // The messages on the bench's bus: 0, or the errno the kernel gives.
    int Run(std::span<i2c_msg> messages);
    // The driver's refusal of a transfer before the bus: 0 or its errno.
    int DriverRefusal(std::span<const i2c_msg> messages) const;
    int Smbus(File& file, void* arg);
    void SpendBits(long bits);
    int ClockHz() const { return config_.clockHz > 0 ? config_.clockHz : 100'000; }

    SimulatedBench& bench_;
    Config config_;
    std::map<int, File> open_;
    int nextFd_ = 3;
    int calls_ = 0;
    std::int64_t spendRemainder_ = 0;  // bit times not yet whole microseconds, times the clock
};

// The i2c-dev adapter's real code on this fake (--bench-adapter i2c-dev[:two-message][,400k]).
extern const BenchAdapterDescriptor kI2cDevOnTheBench;

}  // namespace simulator
