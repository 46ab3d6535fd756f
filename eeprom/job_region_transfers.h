// The fast transfers of a job's region, as the command line and the gang move
// a chip: the whole chip, one 256-byte block of an I2C memory, or a stretch
// (sequential reads, page writes and ready polling, eeprom/fast_chip_transfers.h),
// and for the parts beyond the window's list the part transfers
// (eeprom/whole_part_transfers.h).
#pragma once

#include "eeprom/memory_job.h"

namespace eeprom {

class RegionTransfers final : public JobTransfers {
public:
    RegionTransfers(Session& session, const hardware::ChipPart& part, const JobRegion& region)
        : session_(session), part_(part), region_(region) {}

    // A time-out is "the chip did not answer while reading (bus time-out); ...".
    bool Read(std::vector<std::uint8_t>& data, JobProgress& line, std::string& error,
              const char* phase = "reading") override;
    bool Write(const std::vector<std::uint8_t>& data, JobProgress& line, std::string& error) override;
    bool Refused(std::string& error) override;
    // The whole part (a larger part) or what the write replaces (the chip
    // in force, whole or one page), read silently.
    bool BackUp(const BackupTarget& target, JobProgress& line, QString& path, std::string& error) override;

private:
    Session& session_;
    const hardware::ChipPart& part_;
    JobRegion region_;
};

// The whole part at once, as the chip programmer window moves it
// (eeprom/part_session.h): `writePhase` names its write ("writing",
// "erasing"); a 25xx's block protection is never cleared.
class WholePartTransfers final : public JobTransfers {
public:
    WholePartTransfers(Session& session, const hardware::ChipPart& part, int device, std::string writePhase)
        : session_(session), part_(part), writePhase_(std::move(writePhase)), device_(device) {}

    bool Refused(std::string& error) override;
    // The whole part read as "backing up", and saved.
    bool BackUp(const BackupTarget& target, JobProgress& line, QString& path, std::string& error) override;
    bool Read(std::vector<std::uint8_t>& data, JobProgress& line, std::string& error,
              const char* phase) override;
    bool Write(const std::vector<std::uint8_t>& data, JobProgress& line, std::string& error) override;

private:
    Session& session_;
    const hardware::ChipPart& part_;
    std::string writePhase_;
    int device_;
};

}  // namespace eeprom
