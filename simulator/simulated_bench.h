// SimulatedBench: the whole adapter in software, behind the port I/O seam.
// It models, from the register level up, the parallel port (data, status,
// control, ECR modes, EPP cycles, the configuration pair), the output latch,
// the PCF8584 as master and as bus monitor, an I2C bus with a 24C16-type
// EEPROM and register devices, a second bus master, the serial chip socket
// with the DAC, and the faults a technician meets. It is driven only by port
// accesses and the counter: the same accesses give the same answers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/port_io.h"
#include "simulator/serial_chip.h"

namespace simulator {

// One transfer by the second bus master, in bus order.
struct BusEvent {
    enum class Kind { Start, RepeatedStart, Byte, Stop };
    Kind kind = Kind::Byte;
    std::uint8_t byte = 0;  // for Byte: the 8-bit value on the bus (address bytes carry R/W)
    bool acked = true;      // for Byte: whether the receiver acknowledged it
};
using BusTransfer = std::vector<BusEvent>;

// Parses the logic-analyzer decoder text (see the README). Returns false and
// fills `error` when the file cannot be read.
bool ParseCaptureFile(const std::string& path, std::vector<BusTransfer>& transfers, std::string& error);
bool ParseCaptureText(const std::string& text, std::vector<BusTransfer>& transfers);

class SimulatedBench final : public platform::PortIo {
public:
    enum class Port { None, Lpt1, Lpt2 };
    enum class Traffic { None, Demo, Capture };

    struct Config {
        Port port = Port::Lpt1;
        bool controllerPresent = true;   // fault when false: the probe finds nothing
        bool busHeldBusy = false;        // another master holds the bus
        bool slavesNack = false;         // no slave acknowledges
        bool chipNoStore = false;        // the socket chip does not store writes
        bool eepromPresent = true;       // 24C16 answering A0..AE
        // Register devices: 8-bit write addresses, 256 registers each.
        std::vector<std::uint8_t> registerDevices = {0x40, 0x42, 0x70, 0x90};
        std::string fixedSocketChip;     // empty: the socket follows the chip list
        Traffic traffic = Traffic::None;
        std::string captureFile;         // for Traffic::Capture
    };

    SimulatedBench();
    explicit SimulatedBench(Config config);
    ~SimulatedBench() override;

    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    const Config& config() const;

    // Faults and set-up, acting at once.
    void SetPort(Port port);
    void SetControllerPresent(bool present);
    void SetBusHeldBusy(bool busy);
    void SetSlavesNack(bool nack);
    void SetChipNoStore(bool noStore);

    // Adapter state.
    Port AdapterPort() const;
    std::uint8_t Latch() const;
    std::uint8_t Ecr() const;
    std::uint8_t StatusRegister() const;  // the port's status register (bit 3 = serial data)
    const std::vector<std::pair<std::uint8_t, std::uint8_t>>& ConfigWrites() const;  // 0x3F0/0x3F1
    std::uint64_t LatchLoads() const;     // how many times the latch loaded

    // I2C slaves.
    std::vector<std::uint8_t>& Eeprom();  // 2048 bytes, block b at device 0xA0 + 2b
    std::vector<std::uint8_t> RegisterDevices() const;
    std::uint8_t Register(std::uint8_t device, std::uint8_t reg) const;
    void SetRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t value);
    std::uint64_t RegisterWrites() const;  // completed register writes by our master

    // Second bus master.
    void QueueTransfer(const BusTransfer& transfer);
    void SetTraffic(Traffic traffic, const std::string& captureFile = {});
    bool TrafficError(std::string& error) const;
    std::uint64_t TransfersPlayed() const;

    // Serial socket.
    void SetChipListChoice(const std::string& chipListText);  // followed unless a chip is fixed
    void SetFixedSocketChip(const std::string& chipListText);  // empty: follow the chip list again
    SerialChip* SocketChip();
    std::vector<DacChannel> DacChannels() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace simulator
