// The bench's I2C bus and its slaves: a 24C16-type EEPROM answering A0..AE
// and register devices of 256 registers each. One master at a time drives
// the bus through Address / Write / Read / Stop; the PCF8584 model and the
// demo second master both use it, so the slaves answer whoever talks to them
// the same way.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hardware/chip_parts.h"
#include "simulator/bus_waveform.h"
#include "simulator/i2c_memory.h"
#include "simulator/write_cycle.h"

namespace simulator {

// 24C16: 2048 bytes in eight blocks of 256; the device address carries the
// block in bits 3..1. Writes collect in a 16-byte page buffer and reach the
// array only on STOP, which starts a self-timed write cycle during which the
// chip does not acknowledge its address. Datasheet facts relied on: pages of
// 16 bytes on 24C04..24C16 (8 on 24C01/02), bytes beyond the page roll over
// to its start, tWR up to 5 ms (10 ms on some parts), no acknowledge of the
// device address during tWR (which is what acknowledge polling relies on).
class Eeprom24C16 {
public:
    static constexpr std::size_t kSize = static_cast<std::size_t>(hardware::FindMemoryPart("24C16")->bytes);
    static constexpr std::size_t kPageSize =
        static_cast<std::size_t>(hardware::FindMemoryPart("24C16")->pageSize);

    std::int64_t WriteCycleUs() const { return writeCycleUs_; }
    void SetWriteCycleUs(std::int64_t us) { writeCycleUs_ = us; }

    Eeprom24C16() : memory_(kSize, 0xFF) {}

    static bool Answers(std::uint8_t addressByte) { return (addressByte & 0xF0) == 0xA0; }
    bool Address(std::uint8_t addressByte, std::int64_t nowUs);
    bool Write(std::uint8_t byte);
    std::uint8_t Read();
    void Stop(std::int64_t nowUs);
    void Abandon();  // the master let go without STOP: nothing is written
    bool Busy(std::int64_t nowUs) const { return nowUs < busyUntilUs_; }
    // Fault: the chip acknowledges and runs its write cycles but keeps its
    // old contents (a worn or write-protected part).
    void SetStoreFault(bool fault) { storeFault_ = fault; }

    std::vector<std::uint8_t>& Memory() { return memory_; }

private:
    std::vector<std::uint8_t> memory_;
    std::int64_t writeCycleUs_ = kI2cEepromCycle.slowestUs;
    std::int64_t busyUntilUs_ = 0;
    bool storeFault_ = false;
    std::uint16_t pointer_ = 0;  // 11-bit internal address counter
    std::uint8_t block_ = 0;
    bool reading_ = false;
    bool haveWordAddress_ = false;
    std::uint16_t pageBase_ = 0;
    std::uint8_t pageCursor_ = 0;
    static constexpr unsigned kPageMask = kPageSize - 1;
    static_assert(kPageSize <= 16 && (kPageSize & kPageMask) == 0, "a power of two that pageMask_ holds");
    std::uint16_t pageMask_ = 0;  // bytes of the page buffer written since the word address
    std::array<std::uint8_t, kPageSize> page_{};
};

// A register device: the first byte written after its address sets the
// register pointer; every later byte, written or read, moves it on by one.
struct RegisterDevice {
    std::uint8_t address = 0;  // 8-bit write address
    std::array<std::uint8_t, 256> registers{};
    std::uint8_t pointer = 0;
    bool havePointer = false;
};

class I2cBus {
public:
    I2cBus();

    void SetRegisterDevices(const std::vector<std::uint8_t>& addresses);
    std::vector<std::uint8_t> RegisterDeviceAddresses() const;
    RegisterDevice* FindRegisterDevice(std::uint8_t address);
    const RegisterDevice* FindRegisterDevice(std::uint8_t address) const;

    // START or repeated START followed by `addressByte`; true when a slave
    // acknowledged. A new address ends whatever the previous one began.
    bool Address(std::uint8_t addressByte, std::int64_t nowUs);
    // A byte from the master; true when acknowledged. `counted`: a register
    // write by the program's own controller, counted in RegisterWrites().
    // `nowUs`, here and in the reads: when the byte begins, for the waveform
    // (< 0: right after the previous one).
    bool Write(std::uint8_t byte, bool counted, std::int64_t nowUs = -1);
    // A byte from the addressed slave; 0xFF (released data line) when none
    // drives it. `masterAck`: what the master answers, when it knows already.
    std::uint8_t Read(std::int64_t nowUs = -1, BusWaveform::Ack masterAck = BusWaveform::Ack::UnlessLast);
    // The master clocks a byte in while no slave drives the line (it NACKed
    // the slave's last byte): 0xFF, and nothing moves in any slave.
    std::uint8_t ReadReleased(std::int64_t nowUs = -1,
                              BusWaveform::Ack masterAck = BusWaveform::Ack::UnlessLast);
    void Stop(std::int64_t nowUs);
    // The master lets go without a STOP.
    void Abandon();
    // What the bus carried since the last call, for a test to check a
    // master's sequence: S (START), Sr (repeated START), w (a byte written),
    // r (a byte a slave sent), - (a byte clocked with no slave driving), P
    // (STOP), separated by spaces. Only the latest events are kept.
    std::string TakeEvents();

    // The I2C socket: empty unless a part is put in. While it holds one, the
    // 24C16 is off the bus (both would answer 0x50..), and its contents wait
    // for it; the register devices stay. `base`: the 7-bit address its
    // address pins are strapped to (0x50 with them low).
    void InsertPart(const hardware::ChipPart* part, std::uint8_t base = 0x50);
    I2cMemory* Part() { return part_.get(); }

    Eeprom24C16& Eeprom() { return eeprom_; }
    const Eeprom24C16& Eeprom() const { return eeprom_; }
    bool eepromPresent = true;
    bool slavesNack = false;
    std::uint64_t registerWrites = 0;
    // The SCL rate of the master driving the bus; each master sets its own
    // before it addresses a slave, and the waveform takes its bit times.
    int sclHz = BusWaveform::kDefaultSclHz;

    // The waveform of the lines: a fresh recording from now on, or none (the
    // bus then spends nothing on it). Null while not recording.
    void RecordWaveform(bool on);
    BusWaveform* Waveform() { return waveform_.get(); }
    const BusWaveform* Waveform() const { return waveform_.get(); }

private:
    enum class Target { None, Eeprom, Register, Part };
    Eeprom24C16 eeprom_;
    std::unique_ptr<I2cMemory> part_;
    std::vector<RegisterDevice> devices_;
    Target target_ = Target::None;
    RegisterDevice* device_ = nullptr;
    bool reading_ = false;
    bool held_ = false;  // a START went out and no STOP yet
    std::string events_;
    std::unique_ptr<BusWaveform> waveform_;
    void Note(const char* event);
    bool AddressSlaves(std::uint8_t addressByte, std::int64_t nowUs);
    bool WriteSlave(std::uint8_t byte, bool counted);
    std::uint8_t ReadSlave();
    void Detach();  // the slaves forget the transfer
};

}  // namespace simulator
