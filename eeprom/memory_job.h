// The write job every face runs: refuse what must be refused before anything
// is touched (a running bus monitor, data that does not fit, a 25xx's block
// protection), back up what the write replaces, write or erase, verify,
// stop between pages when asked, and say what the chip holds. The job
// returns its facts and its sentences; the command line, the chip
// programmer window and the main window only print them. How the bytes
// move (the fast region transfers, the whole part, the window's classic
// sequences) is the caller's JobTransfers.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "eeprom/backup.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/file_coverage.h"
#include "eeprom/session.h"
#include "eeprom/verify_report.h"
#include "hardware/chip_parts.h"

namespace eeprom {

// What a job works on: bytes [offset, offset+size) of the chip. For an I2C
// memory `device` is the 8-bit address of the block at `offset` (blocks of
// 256 bytes follow at device+2, device+4, ...).
struct JobRegion {
    int offset = 0;
    int size = 0;
    int device = 0xA0;
    // A 25xx's block protection is cleared for the write and set again after it.
    bool unprotect = false;
    // A stretch of the chip that is neither the whole chip nor a page: moved
    // by the part transfers from `offset` on (`device` the part's first), a
    // 93Cxx whole with the bytes around the stretch kept.
    bool ranged = false;
};

// A job's progress through its phases ("backing up", "reading", "writing",
// "verifying"), in bytes of the phase; the face draws it (a terminal line,
// a progress bar) and says when to stop.
class JobProgress {
public:
    virtual ~JobProgress() = default;
    virtual void Begin(const std::string& phase, int total) = 0;
    virtual void Update(int done) = 0;
    // The phase is over; what follows takes its place.
    virtual void Finish() {}
    // True once the job should stop: the transfers stop between pages.
    virtual bool Cancelled() const { return false; }
    // Bytes of the phase done so far.
    virtual int Done() const = 0;
};

// The engine's Progress for one stretch of a phase: positions in the
// transfer's units (bytes of a page, words of a serial chip) become bytes of
// the phase, starting at `offset`.
class StretchProgress final : public Progress {
public:
    StretchProgress(JobProgress& line, int offset, int bytes) : line_(line), offset_(offset), bytes_(bytes) {}
    void SetRange(int low, int high) override { range_ = high - low; }
    void SetPosition(int position) override;
    void Message(const std::string& text) override { message_ = text; }
    bool Cancelled() override { return line_.Cancelled(); }
    // The transfer's last message (a time-out), for the error sentence.
    const std::string& LastMessage() const { return message_; }

private:
    JobProgress& line_;
    int offset_;
    int bytes_;
    int range_ = 0;
    std::string message_;
};

// How a job moves the bytes of its region. Each call says why it failed in
// one sentence through `error`.
class JobTransfers {
public:
    virtual ~JobTransfers() = default;
    // The region's bytes into `data`, the line showing `phase`.
    virtual bool Read(std::vector<std::uint8_t>& data, JobProgress& line, std::string& error,
                      const char* phase = "reading") = 0;
    // `data` (the region's size) into the region. Transfers that read the
    // chip back themselves keep what they read for ReadBack.
    virtual bool Write(const std::vector<std::uint8_t>& data, JobProgress& line, std::string& error) = 0;
    // What the write read back itself (the window's serial transfers);
    // nullptr when the job must read the region again to verify.
    virtual const std::vector<std::uint8_t>* ReadBack() const { return nullptr; }
    // True, with the sentence, when the chip would refuse the write before
    // changing anything (a 25xx's block protection): asked before the backup.
    virtual bool Refused(std::string& error) {
        (void)error;
        return false;
    }
    // Keeps what the write replaces as `target`'s backup; `path` names it.
    virtual bool BackUp(const BackupTarget& target, JobProgress& line, QString& path, std::string& error) = 0;
};

// How the face lets the technician change what the job does, for the
// sentences that tell them.
struct JobWords {
    std::string noBackup = "--no-backup";  // writes without a backup
    std::string noVerify = "--no-verify";  // writes without verifying
    std::string unprotect = "--unprotect";
    std::string data = "the data";  // what the job writes, in a refusal of its size
    std::string restore;  // what puts a backup back ("merlix-cli restore --chip 24C02"); empty: not said
};

struct WriteJob {
    const hardware::ChipPart* part = nullptr;  // none for the window's DAC entry: backupTarget given
    std::string chip;                          // the chip's name as the face says it
    JobRegion region;
    int page = -1;                     // one 256-byte page of an I2C memory; -1 none
    std::vector<std::uint8_t> data;    // what the region is to hold
    const FileCover* cover = nullptr;  // a file that leaves bytes out: the chip's own are written back
    bool backup = true;
    BackupTarget backupTarget;  // chip empty: the part's, by BackupTargetOf
    bool verify = true;
    std::string done = "written";  // the result's verb: "erased", "set to 00", "restored"
    JobWords words;
    // Said as the job goes (the backup's file, a backup removed again).
    std::function<void(const std::string&)> note;
};

struct JobResult {
    enum class End { Done, Refused, Failed, Interrupted, Mismatch };
    End end = End::Done;
    // On interrupt: the first `written` bytes of the region hold the new
    // data, the rest their old contents (the transfers stop between pages).
    int written = 0;
    bool verified = false;
    QString backup;                      // where the old contents are; empty when none was kept
    std::vector<std::uint8_t> expected;  // what the region was to hold
    std::vector<std::uint8_t> readBack;  // what the verify read
    VerifyReport report;
    std::string reportText;  // the verify report, with where its offsets count from
    std::string sentence;    // how the job ended, in one sentence
    bool Ok() const { return end == End::Done; }
};

// Refusals that hold for every job on `part` before anything is asked of the
// adapter: a bus monitor using it, or an adapter that cannot reach the part
// (asked only with a part). Empty when the job may start. `job` names it
// ("Write", "Read").
std::string JobRefusal(const Session& session, const hardware::ChipPart* part, const std::string& job);

// The backup a write of `region` of `part` is kept as: the whole chip, or one
// page of an I2C memory at its device.
BackupTarget BackupTargetOf(const hardware::ChipPart& part, const JobRegion& region, int page);

// "the 24C256", "page 1 of the 24C04", "bytes 0x0100..0x01FF of the 24C256".
std::string JobTargetText(const std::string& chip, int chipBytes, const JobRegion& region, int page);
// "24C256: 32768 bytes", with "at 0x0100..0x01FF" for a part of the chip.
std::string JobCountText(const std::string& chip, int chipBytes, const JobRegion& region, int page);

// Runs `job` on `transfers`: refused, backed up, written, verified.
JobResult RunWriteJob(JobTransfers& transfers, const WriteJob& job, JobProgress& line);

// The region's bytes compared with `expected`: the report, its text and the
// sentence a mismatch ends with (empty when equal).
void CompareRegion(const std::string& chip, int chipBytes, const JobRegion& region, int page,
                   JobResult& result);

}  // namespace eeprom
