#include "simulator/spi_chip.h"

#include <algorithm>
#include <utility>

#include "hardware/chip_parts.h"

namespace simulator {
namespace {

// The 25xx instruction set and status register, from the chip table.
constexpr const hardware::ChipCommands& kSpi = hardware::kSpiCommands;

}  // namespace

SpiChip::SpiChip(std::string name, int capacityBytes, int addressBytes, bool a8InOpcode, int pageBytes,
                 int cycleMaxUs)
    : StorageChip(std::move(name), capacityBytes,
                  cycleMaxUs > 0 ? WriteCycleRange{kSpiCycle.fromUs, cycleMaxUs, cycleMaxUs} : kSpiCycle),
      addressBytes_(addressBytes),
      a8InOpcode_(a8InOpcode),
      pageBytes_(std::min(pageBytes, kMaxPage)) {}

void SpiChip::Settle(std::int64_t nowUs) {
    if (cycleRunning_ && !Busy(nowUs)) {
        cycleRunning_ = false;
        SetWriteEnabled(false);
    }
}

std::uint8_t SpiChip::Status(std::int64_t nowUs) {
    Settle(nowUs);
    return static_cast<std::uint8_t>(protect_ | (WriteEnabled() ? kSpi.writeEnabledBit : 0) |
                                     (cycleRunning_ ? kSpi.busyBit : 0));
}

void SpiChip::SetKeptStatus(std::uint8_t bits) { protect_ = bits & kSpi.writableStatus; }

void SpiChip::OnLatch(std::uint8_t latch, std::int64_t nowUs) {
    Settle(nowUs);
    const LatchEdges lines = lines_.Load(latch);
    if (lines.Rose(kSocketSelect)) EndInstruction(nowUs);
    if (lines.High(kSocketSelect)) {
        phase_ = Phase::Deselected;
        dataOut_ = true;
        return;
    }
    if (lines.Fell(kSocketSelect) || phase_ == Phase::Deselected) {
        phase_ = Phase::Opcode;
        shift_ = 0;
        bits_ = 0;
    }
    if (lines.Rose(kSocketClock)) OnRise(lines.High(kSocketData));
    if (lines.Fell(kSocketClock)) OnFall(nowUs);
}

void SpiChip::OnRise(bool bit) {
    const int b = bit ? 1 : 0;
    switch (phase_) {
        case Phase::Opcode:
            shift_ = (shift_ << 1) | b;
            if (++bits_ == 8) Decode(shift_);
            break;
        case Phase::Address:
            address_ = (address_ << 1) | b;
            if (--bitsLeft_ > 0) break;
            address_ %= Capacity();
            if (reading_) {
                phase_ = Phase::ReadOut;
                outBit_ = 0;
            } else {
                phase_ = Phase::WriteData;
                page_.fill(-1);
                written_ = 0;
                shift_ = 0;
                bits_ = 0;
            }
            break;
        case Phase::WriteData:
            shift_ = (shift_ << 1) | b;
            if (++bits_ == 8) {
                // Bytes beyond the page wrap round to its start.
                page_[static_cast<std::size_t>((address_ + written_) % pageBytes_)] = shift_;
                ++written_;
                shift_ = 0;
                bits_ = 0;
            }
            break;
        case Phase::StatusIn:
            shift_ = (shift_ << 1) | b;
            if (++bits_ == 8) {
                statusIn_ = static_cast<std::uint8_t>(shift_);
                statusComplete_ = true;
                phase_ = Phase::Ignore;
            }
            break;
        default:
            break;
    }
}

void SpiChip::OnFall(std::int64_t nowUs) {
    if (phase_ != Phase::ReadOut && phase_ != Phase::StatusOut) return;
    if (outBit_ == 0) {
        if (phase_ == Phase::StatusOut) {
            outByte_ = Status(nowUs);
        } else {
            outByte_ = Byte(address_);
            address_ = (address_ + 1) % Capacity();  // a read runs on through the array
        }
    }
    dataOut_ = (outByte_ >> (7 - outBit_)) & 1;
    outBit_ = (outBit_ + 1) % 8;
}

void SpiChip::Decode(int opcode) {
    phase_ = Phase::Ignore;
    const int op = opcode & 0x07;
    if ((opcode & 0xF0) != 0) return;
    if (cycleRunning_ && op != kSpi.readStatus) return;
    switch (op) {
        case kSpi.writeEnable:
            SetWriteEnabled(true);
            break;
        case kSpi.writeDisable:
            SetWriteEnabled(false);
            break;
        case kSpi.readStatus:
            phase_ = Phase::StatusOut;
            outBit_ = 0;
            break;
        case kSpi.writeStatus:
            phase_ = Phase::StatusIn;
            shift_ = 0;
            bits_ = 0;
            statusComplete_ = false;
            break;
        case kSpi.read:
        case kSpi.write:
            phase_ = Phase::Address;
            reading_ = op == kSpi.read;
            address_ = a8InOpcode_ ? ((opcode >> 3) & 1) : 0;
            bitsLeft_ = addressBytes_ * 8;
            break;
        default:
            break;
    }
}

void SpiChip::EndInstruction(std::int64_t nowUs) {
    const bool wholeWrite = phase_ == Phase::WriteData && bits_ == 0 && written_ > 0;
    const bool statusWrite = phase_ == Phase::Ignore && statusComplete_;
    statusComplete_ = false;
    if (!(wholeWrite || statusWrite) || !WriteEnabled() || cycleRunning_) return;
    cycleRunning_ = true;
    StartWriteCycle(nowUs);
    if (statusWrite) {
        protect_ = statusIn_ & kSpi.writableStatus;
        return;
    }
    const int pageStart = address_ - address_ % pageBytes_;
    for (int k = 0; k < pageBytes_; ++k) {
        const int value = page_[static_cast<std::size_t>(k)];
        if (value >= 0 && !Protected(pageStart + k)) Store(pageStart + k, static_cast<std::uint8_t>(value));
    }
}

bool SpiChip::Protected(int address) const {
    // BP1:BP0 = 01 guards the top quarter, 10 the top half, 11 everything.
    const int level = (protect_ >> 2) & 3;
    if (level == 0) return false;
    const int from = level == 3 ? 0 : Capacity() - Capacity() / (level == 1 ? 4 : 2);
    return address >= from;
}

bool SpiChip::DataOut(std::int64_t) const {
    if (phase_ == Phase::ReadOut || phase_ == Phase::StatusOut) return dataOut_;
    return true;  // SO is not driven: the line floats high
}

}  // namespace simulator
