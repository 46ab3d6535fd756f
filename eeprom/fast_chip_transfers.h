// Transfers at the bus's own speed, beside the classic ones in
// classic_chip_transfers.h and with the same results on the image and the marks:
// sequential reads (one instruction for a whole chip or a 256-byte block),
// page writes, and waits that poll the chip (acknowledge polling on I2C, DO
// on Microwire, RDSR on SPI) instead of fixed sleeps. Every poll gives up at
// kChipWaitLimitMs. The caller chooses: the window uses them when "Fast
// transfers" is on, the command line by default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/image.h"
#include "hardware/i2c_master.h"

namespace hardware {
class SerialLines;
class SpiMaster;
}  // namespace hardware

namespace eeprom {

// Longest wait for a chip's write cycle: twice the slowest datasheet figure
// of the chip table (10 ms), so only a chip that is stuck or absent runs into it.
inline constexpr int kChipWaitLimitMs = 2 * hardware::SlowestWriteCycleUs() / 1000;

// Page sizes of the memories the tool writes, from their datasheets: a page
// write that crosses a page boundary wraps inside the page and overwrites its
// start. I2cPageSize takes "24C01".."24C16" and returns 0 for other names;
// kSafeI2cPageSize fits every 24Cxx, for when the type is not known.
int I2cPageSize(std::string_view type);
inline constexpr int kSafeI2cPageSize = hardware::SmallestPageSize(hardware::ChipFamily::I2c);
// AT25C010..040: 8 bytes; AT25C080/160: 32; 0 for a chip that is not SPI.
int SpiPageSize(const ChipParams& chip);

// As ReadSerialChip: unless no chip answers (false, kNoChipMessage), clears
// the image and marks, reads the whole chip in force with one READ, leaves
// the serial lines idle high.
bool ReadChipFast(hardware::SerialLines& lines, const ChipParams& chip, Image& image, Image& marks,
                  Progress& progress);

// As WriteSerialChip (false, kNoChipMessage, when no chip answers): writes
// the chip from `image` (Microwire a word at a
// time with ready polling, SPI a page at a time with RDSR polling), reads it
// back with a fast read and marks red every byte that differs; `image` ends
// as it was. A chip that stays busy past kChipWaitLimitMs ends the writing
// there; the verify then shows what did not reach the chip.
// `readBack`, when given, receives what the verify read. When `progress` is
// cancelled, the write stops after the word or page in flight, without the
// read-back (marks and `readBack` untouched).
bool WriteChipFast(hardware::SerialLines& lines, const ChipParams& chip, Image& image, Image& marks,
                   Progress& progress, Image* readBack = nullptr);

// When an SPI master refuses a transfer (the device went away): the
// transfer ends there, false.
inline constexpr const char* kSpiFailedMessage =
    "The SPI adapter refused a transfer; the chip was not read or written in full";

// The same whole-chip transfers over an SPI master (spidev), with the same
// results, messages and cancel behaviour. A read longer than the master's
// transfer limit is split into several READ instructions; a 93Cxx needs the
// select held high, and a master that cannot says why through `progress`
// (false, nothing changed). The lines are left deselected.
bool ReadChipFast(hardware::SpiMaster& spi, const ChipParams& chip, Image& image, Image& marks,
                  Progress& progress);
bool WriteChipFast(hardware::SpiMaster& spi, const ChipParams& chip, Image& image, Image& marks,
                   Progress& progress, Image* readBack = nullptr);

// As ReadI2cPage: image page `page` from device `dev` in one sequential read
// (the word address 0 written, then the block read), its marks cleared. An
// adapter whose messages are shorter than the block gets one random read per
// message's worth, and one that takes a single message per transfer the word
// address and the read as two transfers. A
// failed block is retried after the master's Recover, and gives up as the
// classic read does, with kI2cTimeoutMessage; the image keeps what it had then.
// `count` bytes from word address 0, as for ReadI2cPage (a 24C01 holds 128).
bool ReadI2cBlockFast(hardware::I2cMaster& i2c, int page, int dev, Image& image, Image& marks,
                      Progress& progress, int count = kPageSize);

// As WriteI2cPage: image page `page` to device `dev & 0xFE` in page writes of
// `pageSize` bytes (never across a page boundary), each followed by
// acknowledge polling. A page that is not acknowledged is retried after the
// master's Recover as the classic write retries a byte; a chip that does not answer
// within kChipWaitLimitMs after a page gives up at once. Both give up with
// kI2cTimeoutMessage. Marks are not touched. When `progress` is cancelled the
// write stops after the page in flight (true).
// `count` bytes from word address 0, as for WriteI2cPage.
bool WriteI2cPagesFast(hardware::I2cMaster& i2c, int page, int dev, int pageSize, const Image& image,
                       Progress& progress, int count = kPageSize);

// A job's watch over the adapter's own failures, told apart from the chip's.
// A memory in its write cycle refuses its address (NoAck: i2c-dev's ENXIO,
// a USB adapter's refused OUT), and the retries of the I2C loops are there to
// wait that out. TimedOut is the adapter's: a PCF8584 whose byte never
// completed, a USB adapter whose transfer timed out or failed, i2c-dev's
// ETIMEDOUT ("an operation took too much time, and was aborted before it
// completed", Documentation/i2c/fault-codes.rst: an adapter's own limit, or
// a clock held too long). kAdapterFailLimit of those in a row, or an adapter
// that is gone, will not be cured by retries that each wait out a timeout
// again (a second on USB: 256 of them look like a hang). The job ends at once.
inline constexpr int kAdapterFailLimit = 3;
class AdapterWatch {
public:
    // Notes a transfer's result; true when it ends the job.
    bool Ends(const hardware::I2cResult& result);
    // The last result noted was the adapter's failure (TimedOut or Gone).
    bool AdapterFailed() const;
    hardware::I2cStatus Last() const { return last_; }

private:
    hardware::I2cStatus last_ = hardware::I2cStatus::Done;
    int inRow_ = 0;
};
// The start of a sentence on the adapter's failure: the adapter's own name
// (I2cMaster::AdapterName) and "was unplugged", or "... stopped answering (its transfers timed out)".
std::string AdapterFailureText(const hardware::I2cMaster& i2c, hardware::I2cStatus status);

// Acknowledge polling: the first acknowledge of the 7-bit `address` says the
// write cycle is over; false when none came within `timeoutMs`, or at once
// when `watch` (given) sees the adapter fail.
bool PollAck(hardware::I2cMaster& i2c, std::uint8_t address, int timeoutMs, AdapterWatch* watch = nullptr);

// The Microwire ready poll: CS raised, DO sampled until the chip shows ready
// or `timeoutMs` pass, CS dropped; true when it showed ready. The classic
// write runs it too, before its verify read.
bool WaitMicrowireReady(hardware::SerialLines& lines, int timeoutMs);

}  // namespace eeprom
