#include "simulator/microwire_chip.h"

#include <utility>

#include "hardware/chip_parts.h"

namespace simulator {
namespace {

// The 93Cxx opcodes of the chip table; after `special` the top two address
// bits pick EWEN, EWDS, ERAL or WRAL.
constexpr const hardware::ChipCommands& kOp = hardware::kMicrowireCommands;

}  // namespace

MicrowireChip::MicrowireChip(std::string name, int capacityBytes, int addressBitsX8)
    : StorageChip(std::move(name), capacityBytes, kMicrowireCycle), addressBitsX8_(addressBitsX8) {}

void MicrowireChip::OnLatch(std::uint8_t latch, std::int64_t nowUs) {
    const LatchEdges lines = lines_.Load(latch);
    if (!lines.High(kSocketSelect)) {
        phase_ = Phase::Deselected;  // any unfinished instruction is dropped
        dataOut_ = true;
        return;
    }
    // A level, not an edge: a chip put in while CS is already high waits for
    // a start bit as well.
    if (phase_ == Phase::Deselected) phase_ = Phase::WaitStart;
    orgHigh_ = lines.High(kSocketOrg);
    if (lines.Rose(kSocketClock)) OnClock(lines.High(kSocketData), nowUs);
}

void MicrowireChip::OnClock(bool bit, std::int64_t nowUs) {
    switch (phase_) {
        case Phase::WaitStart:
            // Leading zeros are ignored; a busy chip takes no instruction.
            if (bit && !Busy(nowUs)) {
                phase_ = Phase::Opcode;
                x16_ = orgHigh_;  // the organisation holds for the whole instruction
                opcode_ = 0;
                bitsLeft_ = 2;
            }
            break;
        case Phase::Opcode:
            opcode_ = (opcode_ << 1) | (bit ? 1 : 0);
            if (--bitsLeft_ == 0) {
                phase_ = Phase::Address;
                address_ = 0;
                bitsLeft_ = AddressBits();
            }
            break;
        case Phase::Address:
            address_ = (address_ << 1) | (bit ? 1 : 0);
            if (--bitsLeft_ == 0) AddressComplete(nowUs);
            break;
        case Phase::Data:
            data_ = (data_ << 1) | (bit ? 1u : 0u);
            if (--bitsLeft_ == 0) DataComplete(nowUs);
            break;
        case Phase::Reading:
            // Each rising edge puts out the next bit, on into the next word.
            if (++readBit_ == WordBits()) {
                readBit_ = 0;
                address_ = (address_ + 1) % Words();
            }
            dataOut_ = (ReadWord(address_) >> (WordBits() - 1 - readBit_)) & 1;
            break;
        case Phase::Deselected:
        case Phase::Done:
            break;
    }
}

void MicrowireChip::AddressComplete(std::int64_t nowUs) {
    const int special = (address_ >> (AddressBits() - 2)) & 3;
    phase_ = Phase::Done;
    switch (opcode_) {
        case kOp.read:
            address_ %= Words();
            phase_ = Phase::Reading;
            readBit_ = -1;
            dataOut_ = false;  // the dummy 0 ahead of the data
            break;
        case kOp.write:
            phase_ = Phase::Data;
            data_ = 0;
            bitsLeft_ = WordBits();
            break;
        case kOp.erase:
            if (BeginProgramming(nowUs)) StoreWord(address_ % Words(), 0xFFFF);
            break;
        case kOp.special:
            if (special == kOp.writeEnable) {
                SetWriteEnabled(true);
            } else if (special == 0) {
                SetWriteEnabled(false);
            } else if (special == kOp.eraseAll) {
                if (BeginProgramming(nowUs)) {
                    for (int w = 0; w < Words(); ++w) StoreWord(w, 0xFFFF);
                }
            } else if (special == kOp.writeAll) {
                phase_ = Phase::Data;
                data_ = 0;
                bitsLeft_ = WordBits();
            }
            break;
        default:
            break;
    }
}

void MicrowireChip::DataComplete(std::int64_t nowUs) {
    phase_ = Phase::Done;
    if (!BeginProgramming(nowUs)) return;
    if (opcode_ == kOp.write) {
        StoreWord(address_ % Words(), data_);
    } else {  // WRAL
        for (int w = 0; w < Words(); ++w) StoreWord(w, data_);
    }
}

bool MicrowireChip::BeginProgramming(std::int64_t nowUs) {
    if (!WriteEnabled() || Busy(nowUs)) return false;
    StartWriteCycle(nowUs);
    return true;
}

std::uint32_t MicrowireChip::ReadWord(int address) const {
    if (!x16_) return Byte(address);
    // Words sit high byte first, the way the program lays them out in its image.
    return (static_cast<std::uint32_t>(Byte(address * 2)) << 8) | Byte(address * 2 + 1);
}

void MicrowireChip::StoreWord(int address, std::uint32_t value) {
    if (!x16_) {
        Store(address, static_cast<std::uint8_t>(value));
        return;
    }
    Store(address * 2, static_cast<std::uint8_t>(value >> 8));
    Store(address * 2 + 1, static_cast<std::uint8_t>(value));
}

bool MicrowireChip::DataOut(std::int64_t nowUs) const {
    switch (phase_) {
        case Phase::Reading:
            return dataOut_;
        case Phase::WaitStart:
            return !Busy(nowUs);  // ready/busy after CS re-rises
        default:
            return true;  // not driven: the line floats high
    }
}

}  // namespace simulator
