// The write job every face runs; see memory_job.h.
#include "eeprom/memory_job.h"

#include <QFile>

#include "eeprom/hex_text.h"
#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"

namespace eeprom {

void StretchProgress::SetPosition(int position) {
    if (range_ <= 0) return;
    line_.Update(offset_ + static_cast<int>(static_cast<long long>(position) * bytes_ / range_));
}

std::string JobRefusal(const Session& session, const hardware::ChipPart* part, const std::string& job) {
    if (session.monitorOn)
        return job + " waits: the bus monitor in the main window is using the adapter; stop it first";
    return part ? session.CannotReach(part->family) : std::string();
}

BackupTarget BackupTargetOf(const hardware::ChipPart& part, const JobRegion& region, int page) {
    BackupTarget target{PartBackupName(part), -1, -1};
    if (OnI2cBus(part)) {
        target.page = page;
        target.device = region.device;
    }
    return target;
}

namespace {

std::string RegionText(int chipBytes, const JobRegion& region) {
    return ChipAddressText(region.offset, chipBytes) + ".." +
           ChipAddressText(region.offset + region.size - 1, chipBytes);
}

std::string SystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

std::string JobTargetText(const std::string& chip, int chipBytes, const JobRegion& region, int page) {
    if (page >= 0) return "page " + std::to_string(page) + " of the " + chip;
    if (region.ranged) return "bytes " + RegionText(chipBytes, region) + " of the " + chip;
    return "the " + chip;
}

std::string JobCountText(const std::string& chip, int chipBytes, const JobRegion& region, int page) {
    std::string text = chip + ": " + std::to_string(region.size) + " bytes";
    if (page >= 0 || region.ranged) text += " at " + RegionText(chipBytes, region);
    return text;
}

void CompareRegion(const std::string& chip, int chipBytes, const JobRegion& region, int page,
                   JobResult& result) {
    (void)chip;
    result.report = BuildVerifyReport(result.expected, result.readBack);
    result.reportText.clear();
    result.sentence.clear();
    if (result.report.count == 0) return;
    result.reportText = FormatVerifyReport(result.report);
    const std::string start = ChipAddressText(region.offset, chipBytes);
    if (page >= 0)
        result.reportText += "(Offsets count from " + start + ", the start of the page.)\n";
    else if (region.ranged)
        result.reportText += "(Offsets count from " + start + ", the start of the range.)\n";
    result.sentence = result.reportText.substr(0, result.reportText.find('\n'));
}

namespace {

// The job's run, with what it has learnt so far.
class Run {
public:
    Run(JobTransfers& transfers, const WriteJob& job, JobProgress& line)
        : transfers_(transfers),
          job_(job),
          line_(line),
          bytes_(job.part ? job.part->bytes : job.region.offset + job.region.size) {}

    JobResult Go();

private:
    JobResult& End(JobResult::End end, std::string sentence) {
        result_.end = end;
        result_.sentence = std::move(sentence);
        return result_;
    }
    // The engine's refusals name the option as the face takes it.
    std::string Worded(std::string error) const {
        if (const std::size_t at = error.find("(unprotect "); at != std::string::npos)
            error.replace(at + 1, std::string("unprotect").size(), job_.words.unprotect);
        return error;
    }
    void Note(const std::string& text) const {
        if (job_.note) job_.note(text);
    }
    JobResult& Interrupted(int written);
    // Where the old contents are, for a write that may have changed the chip.
    std::string Kept() const;
    bool BackUp();

    JobTransfers& transfers_;
    const WriteJob& job_;
    JobProgress& line_;
    int bytes_;
    JobResult result_;
};

// What an interrupted write leaves: the first `written` bytes of the region
// hold the new data, the rest their old contents (the transfers stop between
// pages, never inside one), and where the old contents are kept.
JobResult& Run::Interrupted(int written) {
    line_.Finish();
    const JobRegion& region = job_.region;
    const int first = region.offset;
    const int end = region.offset + region.size;
    const std::string what = JobTargetText(job_.chip, bytes_, region, job_.page);
    result_.written = std::max(0, std::min(written, region.size));
    std::string sentence;
    if (written <= 0) {
        sentence = "interrupted before " + what + " was changed: nothing was written";
    } else if (written >= region.size) {
        sentence = "interrupted after the write: all " + std::to_string(region.size) + " bytes of " + what +
                   " hold the new data, but they were not verified";
    } else {
        const auto at = [this](int address) { return ChipAddressText(address, bytes_); };
        sentence = "interrupted: bytes " + at(first) + ".." + at(first + written - 1) + " (" +
                   std::to_string(written) + " of " + std::to_string(region.size) + ") of " + what +
                   " hold the new data; bytes " + at(first + written) + ".." + at(end - 1) +
                   " were not written and hold their old contents";
    }
    if (written > 0) {
        if (!job_.backup) {
            sentence += "; no backup was taken (" + job_.words.noBackup + ")";
        } else {
            sentence += Kept();
        }
    }
    return End(JobResult::End::Interrupted, sentence);
}

std::string Run::Kept() const {
    if (result_.backup.isEmpty()) return {};
    std::string text = "; the old contents are in " + SystemPath(result_.backup);
    if (!job_.words.restore.empty()) text += " (" + job_.words.restore + " puts them back)";
    return text;
}

// Saves what the write is about to replace; false, with the sentence, when
// the write must not start.
bool Run::BackUp() {
    if (!job_.backup) return true;
    const BackupTarget target = job_.backupTarget.chip.empty()
                                    ? BackupTargetOf(*job_.part, job_.region, job_.page)
                                    : job_.backupTarget;
    std::string error;
    if (!transfers_.BackUp(target, line_, result_.backup, error)) {
        line_.Finish();
        result_.backup.clear();
        End(JobResult::End::Failed, "nothing was written: the backup of the chip failed: " + error + " (" +
                                        job_.words.noBackup + " writes without one)");
        return false;
    }
    line_.Finish();
    Note("backup of the old contents: " + SystemPath(result_.backup));
    return true;
}

JobResult Run::Go() {
    const JobRegion& region = job_.region;
    result_.expected = job_.data;
    std::string error;
    if (static_cast<int>(job_.data.size()) != region.size)
        return End(JobResult::End::Refused, job_.words.data + " holds " + std::to_string(job_.data.size()) +
                                                " bytes, not the " + std::to_string(region.size) + " of " +
                                                JobTargetText(job_.chip, bytes_, region, job_.page) +
                                                "; nothing was written");
    // A write the chip refuses takes no backup: the kept ones of earlier contents stay.
    if (transfers_.Refused(error)) return End(JobResult::End::Refused, Worded(error));
    if (!BackUp()) return result_;
    if (line_.Cancelled()) return Interrupted(0);
    if (job_.cover && !job_.cover->Complete(region.size)) {
        const bool read = transfers_.Read(result_.expected, line_, error);
        if (line_.Cancelled()) return Interrupted(0);
        if (!read) return End(JobResult::End::Failed, "nothing was written: " + error);
        LayOver(*job_.cover, 0, result_.expected);
    }
    if (!transfers_.Write(result_.expected, line_, error)) {
        if (line_.Cancelled()) return Interrupted(line_.Done());
        // Refused before a byte changed: the backup would only push an older one out.
        if (!result_.backup.isEmpty() && error.find("nothing was written") != std::string::npos &&
            QFile::remove(result_.backup)) {
            Note("the backup " + SystemPath(result_.backup) + " was removed again");
            result_.backup.clear();
        }
        return End(JobResult::End::Failed, Worded(error) + Kept());
    }
    result_.written = region.size;
    if (job_.verify && !line_.Cancelled()) {
        bool readBack = true;
        if (const std::vector<std::uint8_t>* own = transfers_.ReadBack()) {
            result_.readBack = *own;
        } else {
            readBack = transfers_.Read(result_.readBack, line_, error, "verifying");
        }
        if (line_.Cancelled()) return Interrupted(region.size);
        if (!readBack) return End(JobResult::End::Failed, error + Kept());
        line_.Finish();
        result_.verified = true;
        CompareRegion(job_.chip, bytes_, region, job_.page, result_);
    }
    if (line_.Cancelled()) return Interrupted(region.size);
    line_.Finish();
    if (result_.report.count > 0) return End(JobResult::End::Mismatch, result_.sentence);
    return End(JobResult::End::Done,
               JobCountText(job_.chip, bytes_, region, job_.page) + " " + job_.done +
                   (job_.verify ? " and verified" : ", not verified (" + job_.words.noVerify + ")"));
}

}  // namespace

JobResult RunWriteJob(JobTransfers& transfers, const WriteJob& job, JobProgress& line) {
    Run run(transfers, job, line);
    return run.Go();
}

}  // namespace eeprom
