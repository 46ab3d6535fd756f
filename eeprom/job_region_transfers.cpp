// The fast transfers of a job's region; see job_region_transfers.h.
#include "eeprom/job_region_transfers.h"

#include <QDateTime>

#include <algorithm>

#include "eeprom/adapter_chip_transfers.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/image.h"
#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"

namespace eeprom {

namespace {

// The I2C memories go block by block: a block is one device address.
template <typename Step>
bool ForEachBlock(const JobRegion& region, JobProgress& line, Step step) {
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
bool PartStep(const JobRegion& region, JobProgress& line, std::string& error, Transfer transfer) {
    StretchProgress progress(line, 0, region.size);
    if (!transfer(progress)) {
        error = progress.LastMessage().empty() ? std::string(kNoChipMessage) : progress.LastMessage();
        return false;
    }
    if (line.Cancelled()) return false;
    line.Update(region.size);
    return true;
}

// The larger parts, and a stretch of any part but a 93Cxx (whose transfers
// move the whole chip), go through the part transfers.
bool ByPart(const hardware::ChipPart& part, const JobRegion& region) {
    return MovedByPartTransfers(part) || (region.ranged && !MovedWhole(part));
}

// The progress of a read nobody watches.
class SilentLine final : public JobProgress {
public:
    void Begin(const std::string&, int) override {}
    void Update(int) override {}
    int Done() const override { return 0; }
};

}  // namespace

bool RegionTransfers::Read(std::vector<std::uint8_t>& data, JobProgress& line, std::string& error,
                           const char* phase) {
    const JobRegion& region = region_;
    line.Begin(phase, region.size);
    data.clear();
    if (ByPart(part_, region)) {
        Image image{part_.bytes};
        const PartWrite range{region.offset, region.size};
        if (!PartStep(region, line, error, [&](Progress& p) {
                return ReadPartFast(PartBusFor(session_, part_, region.device), part_, image, p, range);
            }))
            return false;
        data.assign(image.begin() + region.offset, image.begin() + region.offset + region.size);
        return true;
    }
    if (OnI2cBus(part_)) {
        const bool ok = ForEachBlock(region, line, [&](int page, int device, int count, StretchProgress& p) {
            if (ReadI2cBlockFast(*session_.i2c, page, device, session_.image, session_.marks, p, count))
                return true;
            error = TimeOut("reading");
            return false;
        });
        if (!ok) return false;
    } else {
        StretchProgress progress(line, 0, region.size);
        if (!ReadSerialChipFast(session_, session_.chip, session_.image, session_.marks, progress)) {
            error = kNoChipMessage;
            return false;
        }
        line.Update(region.size);
    }
    const auto from = session_.image.begin() + region.offset;
    data.assign(from, from + region.size);
    return true;
}

bool RegionTransfers::Refused(std::string& error) {
    if (!MovedByPartTransfers(part_)) return false;
    SilentLine silent;
    StretchProgress progress(silent, 0, region_.size);
    if (!PartWriteRefused(PartBusFor(session_, part_, region_.device), part_,
                          {region_.offset, region_.size, region_.unprotect}, progress))
        return false;
    error = progress.LastMessage();
    return true;
}

bool RegionTransfers::Write(const std::vector<std::uint8_t>& data, JobProgress& line, std::string& error) {
    const JobRegion& region = region_;
    if (region.ranged && MovedWhole(part_)) {
        // The chip is written whole from the session's image: what lies
        // around the stretch is read first and written back as it was.
        line.Begin("reading", region.size);
        StretchProgress progress(line, 0, region.size);
        if (!ReadSerialChipFast(session_, session_.chip, session_.image, session_.marks, progress)) {
            error = kNoChipMessage;
            return false;
        }
        line.Finish();
    }
    line.Begin("writing", region.size);
    const auto size = static_cast<std::size_t>(region.size);
    if (ByPart(part_, region)) {
        Image image{part_.bytes};
        std::copy_n(data.begin(), std::min(data.size(), size), image.begin() + region.offset);
        const PartWrite write{region.offset, region.size, region.unprotect};
        return PartStep(region, line, error, [&](Progress& p) {
            return WritePartFast(PartBusFor(session_, part_, region.device), part_, image, p, write);
        });
    }
    std::copy(data.begin(), data.begin() + std::min(data.size(), size),
              session_.image.begin() + region.offset);
    if (OnI2cBus(part_)) {
        return ForEachBlock(region, line, [&](int page, int device, int count, StretchProgress& p) {
            const int pageSize = part_.pageSize > 0 ? part_.pageSize : kSafeI2cPageSize;
            if (WriteI2cPagesFast(*session_.i2c, page, device, pageSize, session_.image, p, count))
                return true;
            error = TimeOut("writing");
            return false;
        });
    }
    StretchProgress progress(line, 0, region.size);
    if (!WriteSerialChipFast(session_, session_.chip, session_.image, session_.marks, progress)) {
        error = kNoChipMessage;
        return false;
    }
    if (line.Cancelled()) return false;
    line.Update(region.size);
    return true;
}

bool RegionTransfers::BackUp(const BackupTarget& target, JobProgress& line, QString& path,
                             std::string& error) {
    (void)line;
    SilentLine silent;
    if (MovedByPartTransfers(part_)) {
        std::vector<std::uint8_t> data;
        RegionTransfers whole(session_, part_, {0, part_.bytes, region_.device});
        if (!whole.Read(data, silent, error)) return false;
        return SaveBackup(BackupFolder(), target, data.data(), static_cast<int>(data.size()),
                          QDateTime::currentDateTime(), path, error);
    }
    StretchProgress quiet(silent, 0, 0);
    return BackUpBeforeWrite(FastBackupReads(session_, session_.chip), session_.chip, target, BackupFolder(),
                             quiet, path, error);
}

namespace {

// The transfer's own sentence, or that no chip answered.
std::string Why(const StretchProgress& progress) {
    return progress.LastMessage().empty() ? std::string(kNoChipMessage) : progress.LastMessage();
}

}  // namespace

bool WholePartTransfers::Read(std::vector<std::uint8_t>& data, JobProgress& line, std::string& error,
                              const char* phase) {
    line.Begin(phase, part_.bytes);
    Image image{part_.bytes};
    StretchProgress progress(line, 0, part_.bytes);
    const bool read = ReadWholePart(session_, part_, image, progress, device_);
    data.assign(image.begin(), image.end());
    if (!read) error = Why(progress);
    return read && !line.Cancelled();
}

bool WholePartTransfers::Write(const std::vector<std::uint8_t>& data, JobProgress& line, std::string& error) {
    line.Begin(writePhase_, part_.bytes);
    Image image{part_.bytes, 0xFF};
    std::copy_n(data.begin(), std::min(data.size(), static_cast<std::size_t>(part_.bytes)), image.begin());
    StretchProgress progress(line, 0, part_.bytes);
    const bool written = WriteWholePart(session_, part_, image, progress, device_);
    if (!written) error = Why(progress);
    return written && !line.Cancelled();
}

bool WholePartTransfers::Refused(std::string& error) {
    if (!HasBlockProtection(part_)) return false;
    return RegionTransfers(session_, part_, {0, part_.bytes, device_}).Refused(error);
}

bool WholePartTransfers::BackUp(const BackupTarget& target, JobProgress& line, QString& path,
                                std::string& error) {
    std::vector<std::uint8_t> data;
    if (!Read(data, line, error, "backing up")) return false;
    return SaveBackup(BackupFolder(), target, data.data(), static_cast<int>(data.size()),
                      QDateTime::currentDateTime(), path, error);
}

}  // namespace eeprom
