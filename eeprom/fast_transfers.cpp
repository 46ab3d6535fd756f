// The fast transfer loops: whole chips and 256-byte blocks in as few
// instructions as their protocols allow, each write waited for by polling the
// chip, every poll bounded.
#include "eeprom/fast_transfers.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "hardware/port_adapter.h"

namespace eeprom {
namespace {

struct I2cMemory {
    std::string_view type;
    int pageSize;
};
constexpr std::array<I2cMemory, 5> kI2cMemories{{
    {"24C01", 8},
    {"24C02", 8},
    {"24C04", 16},
    {"24C08", 16},
    {"24C16", 16},
}};

// What a serial chip moves: `units` words or bytes, `bytes` image bytes.
struct SerialShape {
    bool microwire = false;
    bool spi = false;
    int organisation = 8;
    int units = 0;
    int bytes = 0;
};

SerialShape ShapeOf(const ChipParams& chip) {
    SerialShape shape;
    shape.spi = chip.family == kFamilySpi;
    shape.microwire = chip.family == kFamilyMicrowire && (chip.organisation == 8 || chip.organisation == 16);
    if (!shape.spi && !shape.microwire) return shape;
    shape.organisation = shape.microwire ? chip.organisation : 8;
    const int bytesPerUnit = shape.organisation / 8;
    // Units that would not fit the image are left out, as the specified loops do.
    shape.units = std::clamp(chip.capacity, 0, kImageSize / bytesPerUnit);
    shape.bytes = shape.units * bytesPerUnit;
    return shape;
}

void LinesIdleHigh(hardware::PortAdapter& adapter) {
    for (int line = hardware::kLineOrg; line <= hardware::kLineClock; ++line) adapter.SetLatchBit(line);
    adapter.WriteLatch(adapter.Latch());
}

void ReadWholeChip(hardware::PortAdapter& adapter, const ChipParams& chip, ImageArray& image,
                   Progress& progress) {
    const SerialShape shape = ShapeOf(chip);
    progress.SetRange(0, chip.capacity);
    const auto done = [&progress](int units) { progress.SetPosition(units); };
    if (shape.microwire) {
        adapter.MicrowireReadAll(chip.addressBits, shape.organisation, shape.units, image.data(), done);
    } else if (shape.spi) {
        adapter.SpiReadAll(chip.addressBits, shape.units, image.data(), done);
    }
    progress.SetRange(0, kProgressMax);
    progress.SetPosition(0);
    LinesIdleHigh(adapter);
}

// Writes until the chip stops answering; false when it stayed busy.
bool WriteWholeChip(hardware::PortAdapter& adapter, const ChipParams& chip, const ImageArray& image,
                    Progress& progress) {
    const SerialShape shape = ShapeOf(chip);
    const int n = chip.addressBits;
    bool ready = true;
    if (shape.microwire) {
        // EWEN holds until EWDS or power-down: once for the chip, and the
        // chip is left write-protected again at the end.
        adapter.MicrowireEnableWrites(n, shape.organisation, true);
        for (int i = 0; i < shape.units && ready && !progress.Cancelled(); ++i) {
            const auto at = static_cast<std::size_t>(i * shape.organisation / 8);
            const int data = shape.organisation == 16 ? image[at] * 256 + image[at + 1] : image[at];
            adapter.MicrowireWriteFrame(i, n, shape.organisation, data);
            ready = adapter.MicrowireWaitReady(kChipWaitLimitMs);
            progress.SetPosition(i + 1);
        }
        if (ready) adapter.MicrowireEnableWrites(n, shape.organisation, false);
    } else if (shape.spi) {
        const int page = SpiPageSize(chip);
        for (int start = 0; start < shape.bytes && ready && !progress.Cancelled(); start += page) {
            const int count = std::min(page, shape.bytes - start);
            adapter.SpiWritePage(start, n, image.data() + start, count);
            ready = adapter.SpiWaitReady(kChipWaitLimitMs);
            progress.SetPosition(start + count);
        }
    }
    return ready;
}

}  // namespace

int I2cPageSize(std::string_view type) {
    for (const I2cMemory& memory : kI2cMemories) {
        if (memory.type == type) return memory.pageSize;
    }
    return 0;
}

int SpiPageSize(const ChipParams& chip) {
    if (chip.family != kFamilySpi) return 0;
    return chip.capacity > 512 ? 32 : 8;
}

bool ReadChipFast(hardware::PortAdapter& adapter, const ChipParams& chip, ImageArray& image,
                  ImageArray& marks, Progress& progress) {
    if (!SerialChipAnswers(adapter, chip, progress)) return false;
    marks.fill(kMarkNone);
    image.fill(0);
    ReadWholeChip(adapter, chip, image, progress);
    return true;
}

bool WriteChipFast(hardware::PortAdapter& adapter, const ChipParams& chip, ImageArray& image,
                   ImageArray& marks, Progress& progress, ImageArray* readBack) {
    if (!SerialChipAnswers(adapter, chip, progress)) return false;
    ClearVerifyMarks(chip, marks);
    progress.SetRange(0, chip.capacity);
    (void)WriteWholeChip(adapter, chip, image, progress);
    if (progress.Cancelled()) return true;  // the caller asked to stop: no read-back
    // Verify as the specified write does: read back over the image, mark what
    // differs, put the user's image back. A write that stopped early shows
    // here, red, rather than in a message that could be taken for success.
    const ImageArray written = image;
    ReadWholeChip(adapter, chip, image, progress);
    for (std::size_t k = 0; k < image.size(); ++k) {
        if (image[k] != written[k]) marks[k] = kMarkMismatch;
    }
    if (readBack) *readBack = image;
    image = written;
    return true;
}

bool ReadI2cBlockFast(hardware::PortAdapter& adapter, int page, int dev, ImageArray& image, ImageArray& marks,
                      Progress& progress, int count) {
    if (page < 0 || page >= kPageCount || count <= 0 || count > kPageSize) return false;
    std::array<std::uint8_t, kPageSize> block{};
    adapter.ResetAdapter(0, adapter.Latch());
    int fails = 0;
    while (!adapter.I2cReadBlock(static_cast<std::uint8_t>(dev), 0, block.data(), count)) {
        ResetController(adapter);
        if (++fails > kReadFailLimit) {
            progress.Message(kI2cTimeoutMessage);
            ResetController(adapter);
            progress.SetPosition(0);
            return false;
        }
    }
    const auto base = static_cast<std::ptrdiff_t>(page) * kPageSize;
    std::copy_n(block.begin(), count, image.begin() + base);
    std::fill_n(marks.begin() + base, count, kMarkNone);
    progress.SetPosition(0);
    return true;
}

bool WriteI2cPagesFast(hardware::PortAdapter& adapter, int page, int dev, int pageSize,
                       const ImageArray& image, Progress& progress, int count) {
    if (page < 0 || page >= kPageCount || pageSize <= 0 || count <= 0 || count > kPageSize) return false;
    const auto slave = static_cast<std::uint8_t>(dev & 0xFE);
    const auto base = static_cast<std::size_t>(page) * kPageSize;
    int fails = 0;
    int offset = 0;
    bool ok = true;
    while (ok && offset < count && !progress.Cancelled()) {
        // Up to the end of the chip's page, never across it: the chip would
        // wrap and overwrite the page's start.
        const int chunk = std::min(pageSize - offset % pageSize, count - offset);
        if (!adapter.I2cWriteBlock(slave, static_cast<std::uint8_t>(offset), image.data() + base + offset,
                                   chunk)) {
            ResetController(adapter);
            ok = ++fails < kWriteFailLimit;
            continue;
        }
        fails = 0;
        offset += chunk;
        progress.SetPosition(offset);
        ok = adapter.I2cPollAck(slave, kChipWaitLimitMs);
    }
    progress.SetPosition(0);
    if (ok) return true;
    progress.Message(kI2cTimeoutMessage);
    ResetController(adapter);
    return false;
}

}  // namespace eeprom
