// The classic chip transfers, without a window: one byte per transaction and
// fixed waits, the window's default. Whole-chip reads and writes of the
// Microwire and SPI memories through the bit-banged lines, and the page loops
// of the I2C memories with their retries. They act on the chip parameters
// they are given and report through a Progress, which the window binds to its
// progress bar and message box and tests replace.
#pragma once

#include <string>

#include "eeprom/chip_table.h"
#include "eeprom/image.h"

namespace hardware {
class PortAdapter;
class SerialLines;
}  // namespace hardware

namespace eeprom {

inline constexpr const char* kI2cTimeoutMessage = "Time Out \n Error I2c\n or check Page";
inline constexpr const char* kAddressErrorMessage = "Address ERROR!! A0-AF";
inline constexpr const char* kNoChipMessage = "No chip answered in the socket";

// Shared by the classic and the fast transfers: the progress bar's resting
// range, and the retries of the I2C loops (a read gives up at its 257th
// failure, a write at its 256th).
inline constexpr int kProgressMax = 255;
inline constexpr int kReadFailLimit = 256;
inline constexpr int kWriteFailLimit = 256;

// The port and the controller set up afresh, as after every failed I2C attempt.
void ResetController(hardware::PortAdapter& adapter);

// What a transfer tells the user while it runs. The window repaints its bar
// at each SetPosition, because the whole transfer blocks its thread.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void SetRange(int low, int high) { (void)low, (void)high; }
    virtual void SetPosition(int position) { (void)position; }
    virtual void Message(const std::string& text) { (void)text; }
    // True once the caller wants the transfer to stop. The fast writes ask
    // between pages (words on Microwire), finish the one in flight and stop.
    virtual bool Cancelled() { return false; }
};

// The I2C memories live at device addresses A0..AF (bit 0 is R/W).
constexpr bool IsEepromDeviceAddress(int dev) { return dev >= 0xA0 && dev <= 0xAF; }

// Reads the whole chip in force into `image` from offset 0 (x16 words high
// byte first), then leaves the serial lines idle high. Families other than 93
// and 25 move nothing. With capacity 0 a Microwire chip gets one read at
// the chip's cursor whose result is dropped: that is how a write starts from
// a known line state. The cursor ends past the last unit read (0 when none).
void ReadSerialEeprom(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Progress& progress);

// Writes the chip in force from `image`, reads it back and marks red every
// byte that differs; `image` ends as it was. The chip's bytes lose their
// earlier red marks first, so the marks are this write's verify alone.
// `readBack`, when given, receives what the verify read (for its report).
void WriteSerialEeprom(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                       Progress& progress, Image* readBack = nullptr);

// "Read eeprom" / "Write eeprom" for a serial chip entry: the read starts from
// a cleared image and cleared marks; the write first settles the lines with
// an empty read. Before either, a memory chip in force must answer in the
// socket (the write's settling read is that check for a Microwire chip);
// when none does, both say kNoChipMessage, change neither image nor marks
// nor chip, and return false.
// The check both kinds of whole-chip transfer make first: true when the
// memory chip in force answers in the socket (or the entry moves nothing);
// otherwise says kNoChipMessage, leaves the lines idle and returns false.
// The check keeps the classic frames' slow edges on every adapter: a Microwire
// READ of address 0, or RDSR.
bool SerialChipAnswers(hardware::SerialLines& lines, const ChipParams& chip, Progress& progress);

// Select, clock, data and ORG high: the lines' rest state after a transfer.
void LinesIdleHigh(hardware::SerialLines& lines);

// Lowers the red verify marks of the chip's own bytes before a new write is
// verified; other marks stay.
void ClearVerifyMarks(const ChipParams& chip, Image& marks);

bool ReadSerialChip(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                    Progress& progress);
bool WriteSerialChip(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                     Progress& progress, Image* readBack = nullptr);

// Reads the 256 bytes of image page `page` (0..7) from I2C device `dev`,
// clearing their marks. A byte is retried after a port and controller reset
// until its 257th failure, which shows kI2cTimeoutMessage and ends the page
// (bytes already read stay). Returns false when the page did not complete or
// `page` is out of range.
// `count` bytes from word address 0 (the command line reads the 128 bytes of
// a 24C01 this way); the window reads whole pages.
bool ReadI2cPage(hardware::PortAdapter& adapter, int page, int dev, Image& image, Image& marks,
                 Progress& progress, int count = kPageSize);

// Writes image page `page` to I2C device `dev & 0xFE`; a byte gives up at its
// 256th failure. Marks are not touched.
// `count` as for ReadI2cPage: a 24C01 given 256 bytes would wrap its
// addresses and overwrite its first half.
bool WriteI2cPage(hardware::PortAdapter& adapter, int page, int dev, const Image& image, Progress& progress,
                  int count = kPageSize);

}  // namespace eeprom
