#include "eeprom/classic_chip_transfers.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "eeprom/fast_chip_transfers.h"
#include "hardware/port_adapter.h"
#include "hardware/serial_lines.h"

namespace eeprom {
namespace {

using hardware::LineStep;

// The memories' own write cycle is covered by these waits after each attempt.
constexpr int kI2cReadPauseMs = 15;
constexpr int kI2cWritePauseMs = 10;

// The classic Microwire READ of one address on the serial lines, one full load
// per line change as PortAdapter::MicrowireRead makes it: ORG for the
// organisation, the start bit after one clock while deselected, READ, the
// address, then the word. With `check`, the data line is also sampled at
// the dummy bit after the address, where a chip drives it low and an empty
// socket or a missing adapter leaves it high; true when it read low.
bool ReadOneAddress(hardware::SerialLines& lines, int address, int n, int organisation, bool check) {
    std::vector<LineStep> steps;
    if (organisation == 8 || organisation == 16)
        steps.push_back(LineStep::Set(hardware::kOrgLine, organisation == 16, true));
    steps.push_back(LineStep::Set(hardware::kDataLine, false, true));
    steps.push_back(LineStep::Set(hardware::kClockLine, false, true));
    steps.push_back(LineStep::Set(hardware::kClockLine, true, true));
    steps.push_back(LineStep::Set(hardware::kClockLine, false, true));
    steps.push_back(LineStep::Set(hardware::kDataLine, true, true));
    steps.push_back(LineStep::Set(hardware::kSelectLine, true, true));
    steps.push_back(LineStep::Set(hardware::kClockLine, true, true));  // clocks in the start bit
    hardware::AddSlowBit(steps, 1);
    hardware::AddSlowBit(steps, 0);
    for (int b = n; b >= 0; --b) hardware::AddSlowBit(steps, (address >> b) & 1);
    if (check) steps.push_back(LineStep::Sample());
    hardware::AddSlowBit(steps, 0);  // over the dummy 0
    for (int i = 0; i < organisation; ++i) {
        steps.push_back(LineStep::Set(hardware::kClockLine, false, true));
        steps.push_back(LineStep::Sample());
        steps.push_back(LineStep::Set(hardware::kClockLine, true, true));
    }
    steps.push_back(LineStep::Set(hardware::kSelectLine, false, true));
    const std::vector<std::uint8_t> samples = lines.Run(steps);
    return check && !samples.empty() && samples.front() == 0;
}

// RDSR with the classic frames' edges: the AT25's status register (bit 0 busy,
// bit 1 write enabled).
std::uint8_t ReadSpiStatus(hardware::SerialLines& lines) {
    constexpr int kRdsr = hardware::kSpiCommands.readStatus;
    std::vector<LineStep> steps{LineStep::Set(hardware::kClockLine, false, true),
                                LineStep::Set(hardware::kSelectLine, false, true)};
    for (int b = 7; b >= 0; --b) hardware::AddSlowBit(steps, (kRdsr >> b) & 1);
    for (int i = 0; i < 8; ++i) {
        steps.push_back(LineStep::Set(hardware::kClockLine, false, true));
        steps.push_back(LineStep::Sample());
        if (i < 7) steps.push_back(LineStep::Set(hardware::kClockLine, true, true));
    }
    steps.push_back(LineStep::Set(hardware::kSelectLine, true, true));
    int value = 0;
    for (std::uint8_t bit : lines.Run(steps)) value = (value << 1) | bit;
    return static_cast<std::uint8_t>(value);
}

// Whether the unit loops run over the chip: SPI, or Microwire of 8 or 16 bits.
bool HasUnits(const ChipParams& chip) {
    return chip.family == ChipFamily::Spi ||
           (chip.family == ChipFamily::Microwire && (chip.organisation == 8 || chip.organisation == 16));
}

// Runs unit(i, x16) for every unit i of the serial chip `chip`; a unit is a
// byte, or a 16-bit word (two image bytes, high byte first). Units that would
// not fit an image of `imageBytes` are left out, and other families or
// organisations have none.
template <typename Unit>
void ForEachUnit(const ChipParams& chip, int imageBytes, Unit unit) {
    if (!HasUnits(chip)) return;
    const bool x16 = chip.family == ChipFamily::Microwire && chip.organisation == 16;
    for (int cursor = 0; cursor < chip.capacity; ++cursor) {
        if ((x16 ? 2L * cursor + 1 : cursor) >= imageBytes) break;
        unit(cursor, x16);
    }
}

std::uint8_t& At(Image& image, int index) { return image[static_cast<std::size_t>(index)]; }

// How many bytes of an image of `imageBytes` the chip in force covers (0: it
// has no unit to transfer).
int ChipBytes(const ChipParams& chip, int imageBytes = kImageSize) {
    int end = 0;
    ForEachUnit(chip, imageBytes, [&](int i, bool x16) { end = x16 ? 2 * i + 2 : i + 1; });
    return end;
}

// ReadSerialEeprom, whose empty Microwire read (capacity 0) also tells in
// `answered` whether a chip drove the dummy bit.
void ReadSerial(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Progress& progress,
                bool* answered) {
    progress.SetRange(0, chip.capacity);
    const int n = chip.addressBits;
    if (chip.family == ChipFamily::Microwire && chip.capacity <= 0) {
        const bool chipAnswered =
            ReadOneAddress(adapter, chip.cursor, n, chip.organisation, answered != nullptr);
        if (answered) *answered = chipAnswered;
    }
    if (HasUnits(chip)) chip.cursor = 0;
    ForEachUnit(chip, image.Size(), [&](int i, bool x16) {
        chip.cursor = i + 1;
        if (chip.family == ChipFamily::Spi) {
            At(image, i) = adapter.SpiReadByte(i, n);
            progress.SetPosition(i);
        } else if (!x16) {
            At(image, i) = static_cast<std::uint8_t>(adapter.MicrowireRead(i, n, 8));
            progress.SetPosition(i);
        } else {
            const int word = adapter.MicrowireRead(i, n, 16);
            At(image, 2 * i) = static_cast<std::uint8_t>(word >> 8);
            At(image, 2 * i + 1) = static_cast<std::uint8_t>(word);
            progress.SetPosition(i + 1);
        }
    });
    progress.SetRange(0, kProgressMax);
    progress.SetPosition(0);
    LinesIdleHigh(adapter);
}

// Whether a memory chip answers in the socket before anything is reported
// from it: with no adapter the port's status reads all ones, and with an
// empty socket the data line floats high, so every read would show a blank
// FF chip and every all-FF write would verify. A Microwire READ drives a dummy
// 0 after its address; an idle AT25's status register has its busy bit (0)
// clear, so it never reads FF.
bool SpiChipAnswers(hardware::SerialLines& lines) { return ReadSpiStatus(lines) != 0xFF; }

// Says that no chip answered, with the lines left idle; false for the caller to return.
bool NoChip(hardware::SerialLines& lines, Progress& progress) {
    LinesIdleHigh(lines);
    progress.Message(kNoChipMessage);
    return false;
}

}  // namespace

void ResetController(hardware::PortAdapter& adapter) { adapter.Recover(); }

void LinesIdleHigh(hardware::SerialLines& lines) {
    const LineStep idle = LineStep::Drive(hardware::kAllLines, hardware::kAllLines, true);
    (void)lines.Run({&idle, 1});
}

void ReadSerialEeprom(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Progress& progress) {
    ReadSerial(adapter, chip, image, progress, nullptr);
}

void WriteSerialEeprom(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                       Progress& progress, Image* readBack) {
    ClearVerifyMarks(chip, marks);
    progress.SetRange(0, chip.capacity);
    const int n = chip.addressBits;
    if (HasUnits(chip)) chip.cursor = 0;
    ForEachUnit(chip, image.Size(), [&](int i, bool x16) {
        chip.cursor = i + 1;
        if (chip.family == ChipFamily::Spi) {
            adapter.SpiWriteByte(i, n, At(image, i));
            progress.SetPosition(i);
        } else if (!x16) {
            adapter.MicrowireWrite(i, n, 8, At(image, i));
            progress.SetPosition(i);
        } else {
            adapter.MicrowireWrite(i, n, 16, At(image, 2 * i) * 256 + At(image, 2 * i + 1));
            progress.SetPosition(i + 1);
        }
    });
    progress.SetRange(0, kProgressMax);
    progress.SetPosition(0);

    // Verify: read the chip back over the image, mark what differs, then put
    // the user's image back so a failed write never replaces it. A Microwire
    // chip may still be in the last word's write cycle (up to 10 ms, more
    // than the 5 ms waited): until it shows ready it would read as zeros and
    // a good chip would be marked red.
    if (chip.family == ChipFamily::Microwire) (void)WaitMicrowireReady(adapter, kChipWaitLimitMs);
    const Image written = image;
    ReadSerialEeprom(adapter, chip, image, progress);
    for (std::size_t k = 0; k < std::min(image.size(), marks.size()); ++k) {
        if (image[k] != written[k]) marks[k] = kMarkMismatch;
    }
    if (readBack) *readBack = image;
    image = written;
    LinesIdleHigh(adapter);
}

bool SerialChipAnswers(hardware::SerialLines& lines, const ChipParams& chip, Progress& progress) {
    if (ChipBytes(chip) <= 0) return true;
    const bool answered = chip.family == ChipFamily::Spi
                              ? SpiChipAnswers(lines)
                              : ReadOneAddress(lines, 0, chip.addressBits, chip.organisation, true);
    return answered || NoChip(lines, progress);
}

void ClearVerifyMarks(const ChipParams& chip, Image& marks) {
    for (int k = 0; k < ChipBytes(chip, marks.Size()); ++k) {
        if (At(marks, k) == kMarkMismatch) At(marks, k) = kMarkNone;
    }
}

bool ReadSerialChip(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                    Progress& progress) {
    if (!SerialChipAnswers(adapter, chip, progress)) return false;
    marks.fill(0);
    image.fill(0);
    ReadSerialEeprom(adapter, chip, image, progress);
    return true;
}

bool WriteSerialChip(hardware::PortAdapter& adapter, ChipParams& chip, Image& image, Image& marks,
                     Progress& progress, Image* readBack) {
    // The settling read: one Microwire read at the cursor, nothing kept.
    ChipParams settle = chip;
    settle.capacity = 0;
    bool answered = true;
    ReadSerial(adapter, settle, image, progress, &answered);
    chip.cursor = settle.cursor;
    if (ChipBytes(chip) > 0) {
        if (chip.family == ChipFamily::Spi) answered = SpiChipAnswers(adapter);
        if (!answered) return NoChip(adapter, progress);
    }
    WriteSerialEeprom(adapter, chip, image, marks, progress, readBack);
    return true;
}

bool ReadI2cPage(hardware::PortAdapter& adapter, int page, int dev, Image& image, Image& marks,
                 Progress& progress, int count) {
    if (!HoldsPageBytes(image, page, count) || !HoldsPageBytes(marks, page, count)) return false;
    const int base = page * kPageSize;
    const auto slave = static_cast<std::uint8_t>(dev);
    adapter.ResetAdapter(0, adapter.Latch());
    int i = 0;
    int fails = 0;
    bool complete = true;
    while (i < count) {
        const hardware::ByteRead read = adapter.I2cReadByte(static_cast<std::uint8_t>(i), slave);
        if (read.Ok()) {
            image[static_cast<std::size_t>(base + i)] = read.value;
            progress.SetPosition(i);
            marks[static_cast<std::size_t>(base + i)] = kMarkNone;
            ++i;
            fails = 0;
        } else {
            ++fails;
            ResetController(adapter);
            if (fails > kReadFailLimit) {
                progress.Message(kI2cTimeoutMessage);
                complete = false;
                i = count;
                ResetController(adapter);
            }
        }
        adapter.DelayMs(kI2cReadPauseMs);
    }
    progress.SetPosition(0);
    return complete;
}

bool WriteI2cPage(hardware::PortAdapter& adapter, int page, int dev, const Image& image, Progress& progress,
                  int count) {
    if (!HoldsPageBytes(image, page, count)) return false;
    const int base = page * kPageSize;
    const auto slave = static_cast<std::uint8_t>(dev & 0xFE);
    int i = 0;
    int fails = 0;
    bool complete = true;
    while (i < count) {
        const hardware::ByteResult r = adapter.I2cWriteByte(static_cast<std::uint8_t>(i), slave,
                                                            image[static_cast<std::size_t>(base + i)]);
        if (r == hardware::ByteResult::Done) {
            fails = 0;
            ++i;
        } else {
            ++fails;
            ResetController(adapter);
            if (fails >= kWriteFailLimit) {
                progress.Message(kI2cTimeoutMessage);
                ResetController(adapter);
                complete = false;
                i = count;
            }
        }
        adapter.DelayMs(kI2cWritePauseMs);
        progress.SetPosition(i);
    }
    progress.SetPosition(0);
    return complete;
}

}  // namespace eeprom
