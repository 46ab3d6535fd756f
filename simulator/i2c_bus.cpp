// The bench's I2C slaves, byte by byte as the bus carries them.
#include "simulator/i2c_bus.h"

#include <algorithm>

namespace simulator {

bool Eeprom24C16::Address(std::uint8_t addressByte, std::int64_t nowUs) {
    // A repeated START ends a write before its STOP: the page buffer is
    // dropped, only the word address (for the random read) survives.
    pageMask_ = 0;
    if (Busy(nowUs)) return false;
    reading_ = (addressByte & 0x01) != 0;
    if (!reading_) {
        block_ = static_cast<std::uint8_t>((addressByte >> 1) & 0x07);
        haveWordAddress_ = false;
    }
    return true;
}

bool Eeprom24C16::Write(std::uint8_t byte) {
    if (reading_) return false;
    if (!haveWordAddress_) {
        pointer_ = static_cast<std::uint16_t>(block_ * 256 + byte);
        pageBase_ = static_cast<std::uint16_t>(pointer_ & ~kPageMask);
        pageCursor_ = static_cast<std::uint8_t>(pointer_ & kPageMask);
        haveWordAddress_ = true;
        return true;
    }
    page_[pageCursor_] = byte;
    pageMask_ = static_cast<std::uint16_t>(pageMask_ | (1u << pageCursor_));
    pageCursor_ = static_cast<std::uint8_t>((pageCursor_ + 1) & kPageMask);  // wraps inside the page
    return true;
}

std::uint8_t Eeprom24C16::Read() {
    const std::uint8_t value = memory_[pointer_];
    pointer_ = static_cast<std::uint16_t>((pointer_ + 1) % kSize);
    return value;
}

void Eeprom24C16::Stop(std::int64_t nowUs) {
    if (pageMask_ != 0) {
        for (unsigned i = 0; i < 16 && !storeFault_; ++i) {
            if (pageMask_ & (1u << i)) memory_[pageBase_ + i] = page_[i];
        }
        pointer_ = static_cast<std::uint16_t>(pageBase_ + pageCursor_);
        busyUntilUs_ = nowUs + writeCycleUs_;
    }
    pageMask_ = 0;
    haveWordAddress_ = false;
    reading_ = false;
}

void Eeprom24C16::Abandon() {
    pageMask_ = 0;
    haveWordAddress_ = false;
    reading_ = false;
}

I2cBus::I2cBus() = default;

void I2cBus::InsertPart(const hardware::ChipPart* part) {
    Abandon();
    part_ = part != nullptr && part->family == hardware::ChipFamily::I2c ? std::make_unique<I2cMemory>(*part)
                                                                         : nullptr;
}

void I2cBus::SetRegisterDevices(const std::vector<std::uint8_t>& addresses) {
    Abandon();
    std::vector<RegisterDevice> devices;
    for (std::uint8_t a : addresses) {
        const std::uint8_t address = static_cast<std::uint8_t>(a & 0xFE);
        auto same = [address](const RegisterDevice& d) { return d.address == address; };
        if (std::any_of(devices.begin(), devices.end(), same)) continue;
        // A device kept across the change keeps its registers.
        auto old = std::find_if(devices_.begin(), devices_.end(), same);
        RegisterDevice device = old != devices_.end() ? *old : RegisterDevice{};
        device.address = address;
        devices.push_back(device);
    }
    devices_ = std::move(devices);
}

std::vector<std::uint8_t> I2cBus::RegisterDeviceAddresses() const {
    std::vector<std::uint8_t> out;
    for (const RegisterDevice& d : devices_) out.push_back(d.address);
    return out;
}

RegisterDevice* I2cBus::FindRegisterDevice(std::uint8_t address) {
    for (RegisterDevice& d : devices_) {
        if (d.address == (address & 0xFE)) return &d;
    }
    return nullptr;
}

const RegisterDevice* I2cBus::FindRegisterDevice(std::uint8_t address) const {
    return const_cast<I2cBus*>(this)->FindRegisterDevice(address);
}

void I2cBus::Note(const char* event) {
    constexpr std::size_t kKept = 4096;
    if (events_.size() > kKept) events_.erase(0, events_.find(' ', events_.size() - kKept / 2));
    events_ += ' ';
    events_ += event;
}

std::string I2cBus::TakeEvents() {
    std::string events = events_.empty() ? events_ : events_.substr(1);
    events_.clear();
    return events;
}

void I2cBus::RecordWaveform(bool on) { waveform_ = on ? std::make_unique<BusWaveform>() : nullptr; }

bool I2cBus::Address(std::uint8_t addressByte, std::int64_t nowUs) {
    const bool repeated = held_;
    Note(repeated ? "Sr" : "S");
    const bool acked = AddressSlaves(addressByte, nowUs);
    if (waveform_) {
        waveform_->Start(repeated, nowUs, sclHz);
        waveform_->Byte(addressByte, acked ? BusWaveform::Ack::Low : BusWaveform::Ack::High, -1, sclHz);
    }
    return acked;
}

bool I2cBus::AddressSlaves(std::uint8_t addressByte, std::int64_t nowUs) {
    Detach();
    held_ = true;
    reading_ = (addressByte & 0x01) != 0;
    if (slavesNack) return false;
    if (part_ && part_->Answers(addressByte)) {
        if (!part_->Address(addressByte, nowUs)) return false;
        target_ = Target::Part;
        return true;
    }
    if (eepromPresent && !part_ && Eeprom24C16::Answers(addressByte)) {
        if (!eeprom_.Address(addressByte, nowUs)) return false;
        target_ = Target::Eeprom;
        return true;
    }
    if (RegisterDevice* device = FindRegisterDevice(addressByte)) {
        device_ = device;
        if (!reading_) device->havePointer = false;
        target_ = Target::Register;
        return true;
    }
    return false;
}

bool I2cBus::Write(std::uint8_t byte, bool counted, std::int64_t nowUs) {
    Note("w");
    const bool acked = WriteSlave(byte, counted);
    if (waveform_ && held_)
        waveform_->Byte(byte, acked ? BusWaveform::Ack::Low : BusWaveform::Ack::High, nowUs, sclHz);
    return acked;
}

bool I2cBus::WriteSlave(std::uint8_t byte, bool counted) {
    if (slavesNack || reading_) return false;
    switch (target_) {
        case Target::Eeprom:
            return eeprom_.Write(byte);
        case Target::Part:
            return part_->Write(byte);
        case Target::Register:
            if (!device_->havePointer) {
                device_->pointer = byte;
                device_->havePointer = true;
            } else {
                device_->registers[device_->pointer++] = byte;
                if (counted) ++registerWrites;
            }
            return true;
        case Target::None:
            break;
    }
    return false;
}

std::uint8_t I2cBus::ReadReleased(std::int64_t nowUs, BusWaveform::Ack masterAck) {
    Note("-");
    if (waveform_ && held_) waveform_->Byte(0xFF, masterAck, nowUs, sclHz);
    return 0xFF;
}

std::uint8_t I2cBus::Read(std::int64_t nowUs, BusWaveform::Ack masterAck) {
    if (!reading_ || target_ == Target::None) return ReadReleased(nowUs, masterAck);
    Note("r");
    const std::uint8_t value = ReadSlave();
    if (waveform_ && held_) waveform_->Byte(value, masterAck, nowUs, sclHz);
    return value;
}

std::uint8_t I2cBus::ReadSlave() {
    switch (target_) {
        case Target::Eeprom:
            return eeprom_.Read();
        case Target::Part:
            return part_->Read();
        case Target::Register:
            return device_->registers[device_->pointer++];
        case Target::None:
            break;
    }
    return 0xFF;
}

void I2cBus::Stop(std::int64_t nowUs) {
    Note("P");
    if (waveform_ && held_) waveform_->Stop(nowUs, sclHz);
    held_ = false;
    if (target_ == Target::Eeprom) eeprom_.Stop(nowUs);
    if (target_ == Target::Part) part_->Stop(nowUs);
    target_ = Target::None;
    device_ = nullptr;
}

void I2cBus::Abandon() {
    if (waveform_ && held_) waveform_->Release(-1);
    Detach();
}

void I2cBus::Detach() {
    held_ = false;
    if (target_ == Target::Eeprom) eeprom_.Abandon();
    if (target_ == Target::Part) part_->Abandon();
    target_ = Target::None;
    device_ = nullptr;
}

}  // namespace simulator
