// The command line's transfers on the engine's fast sequences (sequential reads, page writes
// and ready polling); the window keeps the classic ones unless the user asks for these.
#include "cli/transfers.h"

#include <algorithm>
#include <cstring>

#include "eeprom/chip_transfers.h"
#include "eeprom/fast_transfers.h"
#include "eeprom/image.h"
#include "eeprom/part_session.h"
#include "eeprom/session_transfers.h"

namespace cli {

namespace {

using eeprom::kPageSize;

// The I2C memories go block by block: a block is one device address.
template <typename Step>
bool ForEachBlock(const Region& region, ProgressLine& line, Step step) {
    for (int at = 0; at < region.size; at += kPageSize) {
        const int count = std::min(kPageSize, region.size - at);
        const int page = (region.offset + at) / kPageSize;
        const int device = region.device + 2 * (at / kPageSize);
        StretchProgress progress(line, at, count);
        progress.SetRange(0, count);
        // A cancelled transfer stops between pages: what it did is on the line.
        if (!step(page, device, count, progress) || line.Cancelled()) return false;
    }
    line.Update(region.size);
    return true;
}

std::string TimeOut(const char* what) {
    return std::string("the chip did not answer while ") + what +
           " (bus time-out); check the adapter, the chip and --device";
}

// A larger part moves whole through the part transfers; the engine's own
// sentence is the error.
template <typename Transfer>
bool PartStep(const Region& region, ProgressLine& line, std::string& error, Transfer transfer) {
    StretchProgress progress(line, 0, region.size);
    if (!transfer(progress)) {
        error = progress.LastMessage().empty() ? std::string(eeprom::kNoChipMessage) : progress.LastMessage();
        return false;
    }
    if (line.Cancelled()) return false;
    line.Update(region.size);
    return true;
}

// The larger parts, and a stretch of any part but a 93Cxx (whose transfers
// move the whole chip), go through the part transfers.
bool ByPart(const Chip& chip, const Region& region) {
    return chip.large || (region.ranged && !eeprom::MovedWhole(*chip.part));
}

}  // namespace

bool ReadRegion(eeprom::Session& session, const Chip& chip, const Region& region,
                std::vector<std::uint8_t>& data, ProgressLine& line, std::string& error, const char* phase) {
    line.Begin(phase, region.size);
    data.clear();
    if (ByPart(chip, region)) {
        eeprom::Image image{chip.bytes};
        const eeprom::PartWrite range{region.offset, region.size};
        if (!PartStep(region, line, error, [&](eeprom::Progress& p) {
                return eeprom::ReadPartFast(eeprom::PartBusFor(session, *chip.part, region.device),
                                            *chip.part, image, p, range);
            }))
            return false;
        data.assign(image.begin() + region.offset, image.begin() + region.offset + region.size);
        return true;
    }
    if (chip.I2c()) {
        const bool ok = ForEachBlock(region, line, [&](int page, int device, int count, StretchProgress& p) {
            if (eeprom::ReadI2cBlockFast(*session.i2c, page, device, session.image, session.marks, p, count))
                return true;
            error = TimeOut("reading");
            return false;
        });
        if (!ok) return false;
    } else {
        StretchProgress progress(line, 0, region.size);
        if (!eeprom::ReadSerialChipFast(session, session.chip, session.image, session.marks, progress)) {
            error = eeprom::kNoChipMessage;
            return false;
        }
        line.Update(region.size);
    }
    const auto from = session.image.begin() + region.offset;
    data.assign(from, from + region.size);
    return true;
}

bool WriteRefused(eeprom::Session& session, const Chip& chip, const Region& region, std::string& error) {
    if (!chip.large) return false;
    ProgressLine silent(false);
    StretchProgress progress(silent, 0, region.size);
    if (!eeprom::PartWriteRefused(eeprom::PartBusFor(session, *chip.part, region.device), *chip.part,
                                  {region.offset, region.size, region.unprotect}, progress))
        return false;
    error = progress.LastMessage();
    return true;
}

bool WriteRegion(eeprom::Session& session, const Chip& chip, const Region& region,
                 const std::vector<std::uint8_t>& data, ProgressLine& line, std::string& error) {
    if (region.ranged && eeprom::MovedWhole(*chip.part)) {
        // The chip is written whole from the session's image: what lies
        // around the stretch is read first and written back as it was.
        line.Begin("reading", region.size);
        StretchProgress progress(line, 0, region.size);
        if (!eeprom::ReadSerialChipFast(session, session.chip, session.image, session.marks, progress)) {
            error = eeprom::kNoChipMessage;
            return false;
        }
        line.Finish();
    }
    line.Begin("writing", region.size);
    if (ByPart(chip, region)) {
        eeprom::Image image{chip.bytes};
        std::copy_n(data.begin(), std::min<std::size_t>(data.size(), static_cast<std::size_t>(region.size)),
                    image.begin() + region.offset);
        const eeprom::PartWrite write{region.offset, region.size, region.unprotect};
        return PartStep(region, line, error, [&](eeprom::Progress& p) {
            return eeprom::WritePartFast(eeprom::PartBusFor(session, *chip.part, region.device), *chip.part,
                                         image, p, write);
        });
    }
    std::copy(data.begin(),
              data.begin() + std::min<std::size_t>(data.size(), static_cast<std::size_t>(region.size)),
              session.image.begin() + region.offset);
    if (chip.I2c()) {
        return ForEachBlock(region, line, [&](int page, int device, int count, StretchProgress& p) {
            const int pageSize = chip.pageSize > 0 ? chip.pageSize : eeprom::kSafeI2cPageSize;
            if (eeprom::WriteI2cPagesFast(*session.i2c, page, device, pageSize, session.image, p, count))
                return true;
            error = TimeOut("writing");
            return false;
        });
    }
    StretchProgress progress(line, 0, region.size);
    if (!eeprom::WriteSerialChipFast(session, session.chip, session.image, session.marks, progress)) {
        error = eeprom::kNoChipMessage;
        return false;
    }
    if (line.Cancelled()) return false;
    line.Update(region.size);
    return true;
}

}  // namespace cli
