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

#include "hardware/decoder_text.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/i2c_bus.h"
#include "simulator/serial_chip.h"

namespace simulator {

// One transfer by the second bus master, in bus order.
using hardware::BusEvent;
using hardware::BusTransfer;

// Parses the logic-analyzer decoder text: one event per line, with or without
// a decoder label ("i2c-1: "): "Start", "Start repeat", "Address write: 50",
// "Address read: 50" (7-bit addresses; the bytes become 0xA0 / 0xA1), "Data
// write: 10", "Data read: FF", "ACK", "NACK", "Stop"; other lines are
// ignored. A transfer ends at Stop, or at a Start with no Stop before it.
// `transfers` is replaced. ParseCaptureText returns false when the text holds
// no bus event; ParseCaptureFile also when the file cannot be read (it is
// missing, unreadable, not a regular file, or larger than 64 MiB), and then
// says why in `error`. Where the lines carry sample ranges
// ("1234-5678 i2c-1: Start"), `starts` (when given) gets each transfer's
// first sample; otherwise it is left empty.
bool ParseCaptureFile(const std::string& path, std::vector<BusTransfer>& transfers, std::string& error,
                      std::vector<std::uint64_t>* starts = nullptr);
bool ParseCaptureText(const std::string& text, std::vector<BusTransfer>& transfers,
                      std::vector<std::uint64_t>* starts = nullptr);

// The bench powers up as real hardware does: the port in standard mode
// (ECR 0x00), so EPP cycles reach the controller only after the program has
// selected EPP mode (ResetAdapter does), and the PCF8584 in its reset state.
// Time is the counter the bench is built with (its own clock, which the
// program driving it shares); the bench asks it only when
// something timed is under way (an EEPROM write cycle, a latch load, the
// demo traffic every few hundred ms), and at most once per 256 idle status
// reads, so that the monitor's passes of 100000 reads stay fast. On the
// virtual counter each port access also moves time on by 1 us, about what an
// access to a real port takes (charged in bulk for the idle reads); on the
// steady counter bench time moves at least that fast. A bus byte takes its
// nine bit times at the SCL rate in S2; every memory runs its own write cycle
// time, drawn once from its family's datasheet range by `seed` (pcf8584_model.h,
// write_cycle.h, and the datasheet facts beside each chip model).
//
// The second master's transfers (QueueTransfer, the demo, a capture file)
// reach the bus only while the monitor's controller set-up is in force
// (own address 0x00, S1 = 0xC1, the state InitController leaves); until then
// they wait. A transfer that is due begins at the next S1 read, whoever
// makes it (our own WaitBusFree then finds the bus busy), and is played at
// the pace the program reads S1 and S0, so none is lost. When the set-up comes back after 50 ms of counter
// time without it (a monitor stopped and started again), or on RestartTraffic(), a capture plays again from
// its beginning; the short breaks between poll passes and around the send console's transfers do not count.
// Queued and captured transfers are recordings of another bus and leave the bench's slaves alone; the demo's
// transfers really read and write the EEPROM and the register devices.
class SimulatedBench final : public platform::PortIo {
public:
    enum class Port { None, Lpt1, Lpt2 };
    enum class Traffic { None, Demo, Capture };

    struct Config {
        Port port = Port::Lpt1;
        bool controllerPresent = true;  // fault when false: the probe finds nothing
        // Fault: a controller that misses its first set-up after power-on, so
        // the first probe after each power-up reads back wrong (the window's
        // "Not Found" then "PCF 8584 Ok" within one "Reset PCF ").
        bool controllerSlowStart = false;
        bool busHeldBusy = false;   // another master holds the bus
        bool slavesNack = false;    // no slave acknowledges
        bool chipNoStore = false;   // no memory stores writes: the 24C16 and the socket chip
        bool slowParts = false;     // every memory at its family's slowest write cycle
        std::uint64_t seed = 1;     // draws each memory's write cycle time
        bool eepromPresent = true;  // 24C16 answering A0..AE
        // Register devices: 8-bit write addresses, 256 registers each.
        std::vector<std::uint8_t> registerDevices = {0x40, 0x42, 0x70, 0x90};
        std::string fixedSocketChip;  // empty: the socket follows the chip list
        Traffic traffic = Traffic::None;
        std::string captureFile;  // for Traffic::Capture
        // The sample rate of the capture's sample ranges: each transfer then
        // begins at its first sample over the rate, counted from the
        // monitor's start. 0: one after another, as soon as the bus is free.
        std::int64_t captureRateHz = 0;
    };

    // The bench keeps time by `counter`, which must outlive it.
    explicit SimulatedBench(platform::Counter& counter);
    SimulatedBench(platform::Counter& counter, Config config);
    ~SimulatedBench() override;

    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    const Config& config() const;

    // Faults and set-up, acting at once.
    void SetPort(Port port);
    void SetControllerPresent(bool present);  // putting it back powers it up
    void SetControllerSlowStart(bool slow);   // takes effect at the next power-up
    void SetBusHeldBusy(bool busy);
    void SetSlavesNack(bool nack);
    void SetChipNoStore(bool noStore);
    // Parts as slow as the datasheet allows (longest write cycles).
    void SetSlowParts(bool slow);
    bool SlowParts() const;
    // Every memory's write cycle forced to `us` (a stuck chip, for tests);
    // 0 gives each chip its drawn or slowest time back.
    void ForceWriteCycleUs(std::int64_t us);
    // The write cycle the 24C16 and the socket chip run now (0: no memory).
    std::int64_t EepromWriteCycleUs() const;
    std::int64_t SocketWriteCycleUs() const;

    // Adapter state.
    Port AdapterPort() const;
    std::uint8_t Latch() const;
    std::uint8_t Ecr() const;
    std::uint8_t StatusRegister() const;  // the port's status register (bit 3 = serial data)
    // Writes to the configuration pair, as (register index last written to
    // 0x3F0, value written to 0x3F1); the most recent 4096 are kept.
    const std::vector<std::pair<std::uint8_t, std::uint8_t>>& ConfigWrites() const;
    std::uint64_t LatchLoads() const;  // how many times the latch loaded
    // The lines that were high (`high`) and low (`low`) in the latch at any
    // moment since the previous call, the latch as it stands included; the
    // call starts a new interval. A watcher that looks every 100 ms sees a
    // 1 ms device-reset pulse or a serial frame this way.
    void TakeLatchActivity(std::uint8_t& high, std::uint8_t& low);

    // I2C slaves.
    std::vector<std::uint8_t>& Eeprom();  // 2048 bytes, block b at device 0xA0 + 2b
    void SetEepromPresent(bool present);
    std::vector<std::uint8_t> RegisterDevices() const;
    std::uint8_t Register(std::uint8_t device, std::uint8_t reg) const;
    void SetRegister(std::uint8_t device, std::uint8_t reg, std::uint8_t value);
    std::uint64_t RegisterWrites() const;  // completed register writes by our master

    // Second bus master.
    void QueueTransfer(const BusTransfer& transfer);
    void SetTraffic(Traffic traffic, const std::string& captureFile = {});
    bool TrafficError(std::string& error) const;
    std::uint64_t TransfersPlayed() const;  // transfers played to their end
    // The second master plays a capture file and has played all of it (it
    // plays again only when the monitor starts afresh).
    bool CapturePlayedOut() const;
    // Plays the capture again from its beginning (as a monitor start does).
    void RestartTraffic();
    bool MonitorSetupInForce() const;

    // Serial socket.
    void SetChipListChoice(const std::string& chipListText);   // followed unless a chip is fixed
    void SetFixedSocketChip(const std::string& chipListText);  // empty: follow the chip list again
    // Puts a ready-made chip model in the socket (tests, other tools); it stays
    // until the next SetChipListChoice or SetFixedSocketChip.
    void InsertSocketChip(std::unique_ptr<SerialChip> chip);
    SerialChip* SocketChip();
    std::vector<DacChannel> DacChannels() const;

    // The sockets by part name (the chip table's names, any case): an I2C
    // part goes into the I2C socket (the 24C16 is off the bus while it is
    // in), a 25xx or 93Cxx into the serial socket, kept there as a fixed
    // chip. "" empties the I2C socket. False, with one sentence, for a name
    // that is no memory part. `i2cBase`: the 7-bit address an I2C part's
    // address pins are strapped to.
    bool PutPart(const std::string& name, std::string& error, std::uint8_t i2cBase = 0x50);
    // The part in the I2C socket, or null; its bytes (the whole part).
    I2cMemory* I2cPart();
    // The bytes of the memory a part name would be in: the I2C socket's or
    // the serial socket's; null when that socket holds no such part.
    std::vector<std::uint8_t>* PartMemory(const std::string& name);

    // For the fakes of the other adapters at the system boundary (i2c-dev,
    // spidev, a USB adapter): they drive the bench's own bus and socket
    // directly, in bench time, instead of through the parallel adapter.
    I2cBus& Bus();
    bool BusHeldBusy() const;  // the bus-busy fault: another master holds the bus
    std::int64_t NowUs();      // bench time
    // The adapter's own work (bit times, a USB round trip) moves bench time on.
    void Spend(std::int64_t us);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace simulator
