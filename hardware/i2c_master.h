// An I2C bus master as the engine sees it: whole transfers of messages, not
// bytes or controller registers, so any adapter with an I2C master can run
// the engine's memory and register work.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hardware/bus_adapter.h"

namespace hardware {

// One message: START (or a repeated START), the 7-bit address with the R/W
// bit, then `bytes` written from or read into.
struct I2cMessage {
    std::uint8_t address = 0;  // 7-bit
    bool read = false;
    std::span<std::uint8_t> bytes{};
};

enum class I2cStatus {
    Done,
    NoAck,    // a byte was not acknowledged: see message and byte
    BusBusy,  // another master held the bus; nothing was sent
    // The adapter itself failed, not the chip: its controller stopped
    // answering in the middle of a message, or the link to it (USB) timed
    // out or broke. A chip that is busy refuses its address instead (NoAck).
    TimedOut,
    NotSupported,  // the adapter cannot run this combination of messages
    Gone,          // the adapter was unplugged: nothing will pass until it is opened again
};

struct I2cResult {
    static constexpr int kAddressByte = -1;

    I2cStatus status = I2cStatus::Done;
    int message = -1;  // the message where the transfer ended (NoAck, TimedOut)
    int byte = -1;     // the refused byte in it: kAddressByte, or the index into `bytes`
    bool Ok() const { return status == I2cStatus::Done; }
};

struct I2cCapabilities {
    int maxMessages = 1;             // messages in one Transfer
    int maxMessageBytes = 0;         // bytes in one message
    int maxReadBytes = 0;            // bytes in one read message, where more than in a write (0: as above)
    std::vector<int> speedsHz{};     // the bus clocks it can run
    bool dataAcksSeen = true;        // each data byte's acknowledge is seen, not only the transfer's end
    bool writeThenReadOnly = false;  // two messages only as a write followed by a read
    // A repeated START only before a read: other neighbours are split by
    // STOP and START.
    bool restartBeforeReadOnly = false;

    int ReadBytes() const { return maxReadBytes > 0 ? maxReadBytes : maxMessageBytes; }
};

class I2cMaster : public virtual BusAdapter {
public:
    // Runs `messages` as one transfer: consecutive messages joined by repeated
    // STARTs (but see I2cCapabilities::restartBeforeReadOnly), the last one
    // ended by STOP; every path that sent a START ends with STOP. No byte is
    // clocked beyond a read message's length. A write message
    // with no bytes asks whether the device acknowledges its address (as a
    // memory does once its write cycle is over) and is sent at once, without
    // waiting for a free bus. Reads are acknowledged but their last byte.
    virtual I2cResult Transfer(std::span<const I2cMessage> messages) = 0;
    // As Transfer, but never split into several transactions (with STOPs
    // between) where the adapter takes fewer messages or other shapes than
    // given: NotSupported instead, and Capabilities() then says what it takes.
    virtual I2cResult TransferAsOne(std::span<const I2cMessage> messages) { return Transfer(messages); }
    // Waits a bounded while for the bus to be free; false when another
    // master still holds it.
    virtual bool WaitForFreeBus() = 0;
    // Sets the master up before a run of transfers.
    virtual void Prepare() = 0;
    // Sets the interface and the master up afresh after a failed transfer.
    virtual void Recover() = 0;
    virtual I2cCapabilities Capabilities() const = 0;
    // What the engine calls the adapter in a sentence about its own failure
    // (TimedOut, Gone), with what tells it from another of its kind: "the
    // I2C bus /dev/i2c-1 (i801)", a USB adapter's bus and address.
    virtual std::string AdapterName() const { return "the I2C adapter"; }
};

}  // namespace hardware
