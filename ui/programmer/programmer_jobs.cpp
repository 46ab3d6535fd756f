// The chip programmer's jobs: read, verify, write, erase, blank check,
// compare and detect, each on the engine's part transfers over the session's
// bus interfaces, with its progress, Cancel and the sentence that says how it
// ended.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>

#include <algorithm>

#include "eeprom/backup.h"
#include "eeprom/job_region_transfers.h"
#include "eeprom/memory_job.h"
#include "eeprom/part_facts.h"
#include "eeprom/part_session.h"
#include "eeprom/verify_report.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

namespace {

// "1 byte", "12 bytes".
QString Bytes(qint64 count) {
    return QStringLiteral("%1 byte%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}

// "1 byte differs", "12 bytes differ".
QString Differ(qint64 count) {
    return Bytes(count) + (count == 1 ? QStringLiteral(" differs") : QStringLiteral(" differ"));
}

QString UpperHex(qint64 value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString Seconds(qint64 ms) { return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s"); }

// The event loop runs at most this often during a job: often enough for
// Cancel and repaints, seldom enough to leave the bus its time.
constexpr qint64 kPumpMs = 30;

}  // namespace

// A job's phases on the window: the status line names the phase, the bar and
// the rate follow it in bytes of the job, and the event loop runs now and then
// so that Cancel is heard between pages.
class ProgrammerWindow::JobLine final : public eeprom::JobProgress {
public:
    explicit JobLine(ProgrammerWindow& window) : window_(window) {}
    void Begin(const std::string& phase, int total) override {
        Finish();
        phase_ = QString::fromStdString(phase);
        if (!phase_.isEmpty()) phase_[0] = phase_[0].toUpper();
        total_ = total;
        furthest_ = 0;
        open_ = true;
        window_.statusLabel_->setText(QStringLiteral("%1 %2...").arg(phase_, window_.PartText()));
        window_.progressBar_->setMaximum(std::max(total, 1));
        window_.progressBar_->setValue(0);
        clock_.start();
        pumped_.start();
    }
    void Update(int done) override {
        furthest_ = std::max(furthest_, std::min(done, total_));
        emit window_.JobProgressed(phase_, done, total_);
        if (pumped_.elapsed() < kPumpMs) return;
        window_.ShowJobProgress(furthest_, total_, clock_.elapsed());
        QCoreApplication::processEvents();
        pumped_.restart();
    }
    void Finish() override {
        if (open_) window_.ShowJobProgress(furthest_, total_, clock_.elapsed());
        open_ = false;
    }
    bool Cancelled() const override { return window_.cancelRequested_; }
    int Done() const override { return furthest_; }

private:
    ProgrammerWindow& window_;
    QString phase_;
    int total_ = 0;
    int furthest_ = 0;
    bool open_ = false;
    QElapsedTimer clock_;
    QElapsedTimer pumped_;
};

void ProgrammerWindow::ShowJobProgress(int done, int total, qint64 ms) {
    progressBar_->setMaximum(std::max(total, 1));
    progressBar_->setValue(std::min(done, std::max(total, 1)));
    // A rate over a few milliseconds (the bench's virtual time) says nothing.
    if (ms < 100 || done <= 0) {
        rate_->clear();
        return;
    }
    const double perSecond = done * 1000.0 / static_cast<double>(ms);
    const auto left = static_cast<qint64>((total - done) / perSecond);
    rate_->setText(QStringLiteral("%1 KiB/s, %2:%3 left")
                       .arg(perSecond / 1024.0, 0, 'f', 1)
                       .arg(left / 60)
                       .arg(left % 60, 2, 10, QLatin1Char('0')));
}

bool ProgrammerWindow::StartJob(const QString& phase, bool needsPart) {
    if (jobRunning_) return false;
    if (needsPart && part_ == nullptr) {
        Say(QStringLiteral("Choose a part first"), true);
        return false;
    }
    // The engine's refusals: the bus monitor holds the adapter, or the adapter cannot reach the part.
    const std::string refused =
        eeprom::JobRefusal(session_, needsPart ? part_ : nullptr, phase.toStdString());
    if (!refused.empty()) {
        Say(QString::fromStdString(refused), true);
        return false;
    }
    jobRunning_ = true;
    cancelRequested_ = false;
    // Everything but Cancel, here and in the main window (and its other
    // windows, such as the bench's), until the job ends.
    const auto disable = [this](QWidget* widget) {
        if (widget == nullptr || widget == this || !widget->isEnabled()) return;
        widget->setEnabled(false);
        disabledWidgets_ << widget;
    };
    disable(menuBar());
    for (QToolBar* bar : findChildren<QToolBar*>()) disable(bar);
    disable(mainSplitter_);
    for (QAction* action : jobActions_) {
        if (!action->isEnabled()) continue;
        action->setEnabled(false);
        disabledActions_ << action;
    }
    if (owner_) {
        for (QWidget* child : owner_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) disable(child);
        for (QAction* action : owner_->actions()) {
            if (!action->isEnabled()) continue;
            action->setEnabled(false);
            disabledActions_ << action;
        }
    }
    editor_->SetReadOnly(true);
    // What Detect said is about the chip before this job.
    if (phase != QLatin1String("Detect")) detected_->clear();
    cancelButton_->setEnabled(true);
    Action(QStringLiteral("cancel"))->setEnabled(true);
    progressBar_->setValue(0);
    rate_->clear();
    return true;
}

void ProgrammerWindow::EndJob() {
    // A job that stopped short leaves no rate or time left behind it.
    if (progressBar_->value() < progressBar_->maximum()) {
        progressBar_->setValue(0);
        rate_->clear();
    }
    for (const QPointer<QWidget>& widget : disabledWidgets_)
        if (widget) widget->setEnabled(true);
    for (const QPointer<QAction>& action : disabledActions_)
        if (action) action->setEnabled(true);
    disabledWidgets_.clear();
    disabledActions_.clear();
    editor_->SetReadOnly(false);
    // Undo and Redo follow the stack, which a job's result may have moved.
    Action(QStringLiteral("undo"))->setEnabled(editor_->UndoStack().canUndo());
    Action(QStringLiteral("redo"))->setEnabled(editor_->UndoStack().canRedo());
    cancelButton_->setEnabled(false);
    Action(QStringLiteral("cancel"))->setEnabled(false);
    jobRunning_ = false;
    cancelRequested_ = false;
}

void ProgrammerWindow::CancelJob() {
    if (jobRunning_) cancelRequested_ = true;
}

ProgrammerWindow::JobOutcome ProgrammerWindow::RunStep(const QString& phase, int total,
                                                       const std::function<bool(eeprom::Progress&)>& work) {
    JobLine line(*this);
    line.Begin(phase.toStdString(), total);
    eeprom::StretchProgress progress(line, 0, total);
    JobOutcome outcome;
    outcome.ok = work(progress);
    outcome.cancelled = cancelRequested_;
    outcome.furthest = line.Done();
    outcome.message = progress.LastMessage();
    line.Finish();
    return outcome;
}

bool ProgrammerWindow::ReadChip(const QString& phase, std::vector<std::uint8_t>& data, JobOutcome& outcome) {
    eeprom::Image image{part_->bytes};
    outcome = RunStep(phase, part_->bytes, [&](eeprom::Progress& p) {
        return eeprom::ReadWholePart(session_, *part_, image, p, device_);
    });
    data.assign(image.begin(), image.end());
    return outcome.ok && !outcome.cancelled;
}

QString ProgrammerWindow::FailureText(const QString& phase, const JobOutcome& outcome) const {
    const std::string& why = outcome.message.empty() ? std::string(eeprom::kNoChipMessage) : outcome.message;
    return QStringLiteral("%1 of %2 failed: %3").arg(phase, PartText(), QString::fromStdString(why));
}

void ProgrammerWindow::SetMarks(const std::vector<std::uint8_t>& marks) { editor_->SetMarks(marks); }

int ProgrammerWindow::ReportDifferences(const std::vector<std::uint8_t>& expected,
                                        const std::vector<std::uint8_t>& read, const QString& against,
                                        bool verifying) {
    const eeprom::VerifyReport report = eeprom::BuildVerifyReport(expected, read);
    if (!verifying) {
        // A compare read nothing back and verified nothing: it lists what the
        // buffer and the other side each hold. The bytes past the shorter side
        // differ too, as the editor colours them; the count beside is this one.
        const int count = report.count + static_cast<int>(std::max(expected.size(), read.size()) -
                                                          std::min(expected.size(), read.size()));
        QString text = count ? QStringLiteral("The buffer compared with %1: %2\n").arg(against, Differ(count))
                             : QStringLiteral("The buffer and %1 are the same.").arg(against);
        const int digits = std::max(4, static_cast<int>(QString::number(expected.size() - 1, 16).size()));
        for (const eeprom::VerifyDifference& d : report.first)
            text +=
                QStringLiteral("%1: buffer %2, %3 %4\n")
                    .arg(UpperHex(d.offset, digits), UpperHex(d.expected, 2), against, UpperHex(d.read, 2));
        if (count > static_cast<int>(report.first.size()))
            text += QStringLiteral("(the first %1 are listed)\n").arg(report.first.size());
        report_->setPlainText(text.trimmed());
        return count;
    }
    report_->setPlainText(report.count ? QStringLiteral("Buffer against %1:\n").arg(against) +
                                             QString::fromStdString(eeprom::FormatVerifyReport(report))
                                       : QStringLiteral("The buffer and %1 are the same.").arg(against));
    std::vector<std::uint8_t> marks;
    if (report.count) {
        marks.assign(std::min(expected.size(), read.size()), eeprom::kMarkNone);
        for (std::size_t k = 0; k < marks.size(); ++k)
            if (expected[k] != read[k]) marks[k] = eeprom::kMarkMismatch;
    }
    SetMarks(marks);
    differences_->setText(QStringLiteral("%1 from %2").arg(Differ(report.count), against));
    return report.count;
}

void ProgrammerWindow::ShowDifferences(const std::vector<std::uint8_t>& bytes, const QString& against) {
    compareName_ = against;
    editor_->SetCompare(&bytes);
    const int count = ReportDifferences(editor_->Data(), bytes, against, false);
    SetMarks({});  // an earlier verify's
    ShowDifferenceCount(count);
    Say(count ? QStringLiteral("%1 of the buffer %2 from %3")
                    .arg(Bytes(count), count == 1 ? QStringLiteral("differs") : QStringLiteral("differ"),
                         against)
              : QStringLiteral("The buffer and %1 are the same").arg(against));
}

void ProgrammerWindow::ShowDifferenceCount(int count) {
    differences_->setText(QStringLiteral("%1 from %2 (F8 and Shift+F8 go from one to the next)")
                              .arg(Differ(count), compareName_));
}

// --- The jobs ------------------------------------------------------------------------

void ProgrammerWindow::ReadJob(const QString& name, const QString& phase,
                               const std::function<void(std::vector<std::uint8_t>&)>& done) {
    if (!StartJob(name, true)) return;
    std::vector<std::uint8_t> read;
    JobOutcome outcome;
    if (ReadChip(phase, read, outcome)) {
        done(read);
    } else if (outcome.cancelled) {
        Say(QStringLiteral("%1 cancelled after %2 of %3 bytes; nothing was changed")
                .arg(name, HexNumber(outcome.furthest), HexNumber(part_->bytes)));
    } else {
        Say(FailureText(name, outcome), true);
    }
    EndJob();
}

void ProgrammerWindow::Read() {
    QElapsedTimer clock;
    clock.start();
    ReadJob(QStringLiteral("Read"), QStringLiteral("Reading"), [&](std::vector<std::uint8_t>& data) {
        editor_->ReplaceData(data, QStringLiteral("Read %1").arg(PartText()));
        editor_->MarkWritten();
        SetMarks({});
        Say(QStringLiteral("Read %1: %2 bytes in %3")
                .arg(PartText())
                .arg(data.size())
                .arg(Seconds(clock.elapsed())));
    });
}

void ProgrammerWindow::Verify() {
    ReadJob(QStringLiteral("Verify"), QStringLiteral("Verifying"), [this](std::vector<std::uint8_t>& read) {
        const int count = ReportDifferences(editor_->Data(), read, PartText());
        Say(count ? QStringLiteral("Verify: %1 of %2 %3 from the buffer")
                        .arg(Bytes(count), PartText(),
                             count == 1 ? QStringLiteral("differs") : QStringLiteral("differ"))
                  : QStringLiteral("Verify: %1 holds the buffer").arg(PartText()),
            count != 0);
    });
}

void ProgrammerWindow::BlankCheck() {
    ReadJob(QStringLiteral("Blank check"), QStringLiteral("Blank-checking"),
            [this](std::vector<std::uint8_t>& read) {
                std::vector<std::uint8_t> marks(read.size(), eeprom::kMarkNone);
                int count = 0;
                qint64 first = -1;
                for (std::size_t k = 0; k < read.size(); ++k) {
                    if (read[k] == 0xFF) continue;
                    marks[k] = eeprom::kMarkMismatch;
                    if (count++ == 0) first = static_cast<qint64>(k);
                }
                if (count == 0) {
                    SetMarks({});
                    Say(QStringLiteral("%1 is blank: every byte reads FF").arg(PartText()));
                    return;
                }
                // The marks fall on the buffer's offsets: where the chip is not blank.
                SetMarks(marks);
                Say(QStringLiteral("%1 is not blank: %2 not FF, the first at %3")
                        .arg(PartText(),
                             Bytes(count) + (count == 1 ? QStringLiteral(" is") : QStringLiteral(" are")),
                             HexNumber(first)),
                    true);
            });
}

void ProgrammerWindow::CompareWithChip() {
    ReadJob(QStringLiteral("Compare"), QStringLiteral("Reading"),
            [this](std::vector<std::uint8_t>& read) { ShowDifferences(read, PartText()); });
}

void ProgrammerWindow::Write() {
    if (part_ != nullptr) WriteChip(editor_->Data(), QStringLiteral("Write"));
}

void ProgrammerWindow::Erase() {
    if (part_ != nullptr)
        WriteChip(std::vector<std::uint8_t>(static_cast<std::size_t>(part_->bytes), 0xFF),
                  QStringLiteral("Erase"));
}

bool ProgrammerWindow::ConfirmWrite(const QString& what) {
    const bool erase = what == QLatin1String("Erase");
    const bool backup = backupBox_->isChecked();
    if (!erase && backup) return true;  // what the chip held is kept first
    const QString target = QStringLiteral("%1 on %2").arg(PartText(), AdapterInUse());
    const QString question =
        erase ? QStringLiteral("Erase %1? Every byte becomes FF%2.")
                    .arg(target, backup ? QStringLiteral("; a backup is taken first")
                                        : QStringLiteral(", and no backup is taken"))
              : QStringLiteral("Write the buffer to %1 without a backup? What the chip holds now is lost.")
                    .arg(target);
    if (AskYesNo(question)) return true;
    Say(QStringLiteral("%1 not started: %2 holds what it held").arg(what, PartText()));
    return false;
}

void ProgrammerWindow::WriteChip(std::vector<std::uint8_t> data, const QString& what) {
    if (!StartJob(what, true)) return;
    if (!ConfirmWrite(what)) {
        EndJob();
        return;
    }
    const bool erase = what == QLatin1String("Erase");
    eeprom::WriteJob job;
    job.part = part_;
    job.chip = eeprom::PartName(*part_);
    job.region = {0, part_->bytes, device_};
    job.data = std::move(data);
    job.backup = backupBox_->isChecked();
    job.verify = verifyBox_->isChecked();
    job.done = erase ? "erased" : "written";
    job.words.noBackup = "\"Back up before writing\" off";
    job.words.noVerify = "\"Verify after writing\" off";
    job.words.unprotect = "unprotect";
    job.words.data = "the buffer";
    eeprom::WholePartTransfers transfers(session_, *part_, device_, erase ? "erasing" : "writing");
    JobLine line(*this);
    const eeprom::JobResult result = eeprom::RunWriteJob(transfers, job, line);
    if (!result.backup.isEmpty()) RefreshBackups();
    using End = eeprom::JobResult::End;
    if (result.written == part_->bytes && !erase) editor_->MarkWritten();  // the buffer is on the chip
    if (result.verified) ReportDifferences(result.expected, result.readBack, PartText());
    QString sentence = QString::fromStdString(result.sentence);
    if (!sentence.isEmpty()) sentence[0] = sentence[0].toUpper();
    Say(sentence, result.end != End::Done);
    EndJob();
}

void ProgrammerWindow::Detect() {
    if (!StartJob(QStringLiteral("Detect"), false)) return;
    std::vector<eeprom::BusDetection> found;
    RunStep(QStringLiteral("Detecting"), 0, [&](eeprom::Progress& p) {
        found = eeprom::DetectEveryBus(session_, p);
        return true;
    });
    EndJob();
    QStringList lines;
    const hardware::ChipPart* sure = nullptr;
    int sureDevice = -1;  // where a sure I2C part answered, 7-bit
    int withCandidates = 0;
    for (const eeprom::BusDetection& bus : found) {
        const eeprom::Detection& d = bus.detection;
        QString line = QStringLiteral("%1: %2").arg(QLatin1String(bus.bus), QString::fromStdString(d.said));
        if (!d.answering.empty()) {
            QStringList addresses;
            for (int address : d.answering) addresses << HexNumber(address);
            line += QStringLiteral(" (answering: %1)").arg(addresses.join(QLatin1Char(' ')));
        }
        if (!d.candidates.empty()) {
            QStringList names;
            for (const hardware::ChipPart* part : d.candidates)
                names << QString::fromStdString(eeprom::PartName(*part));
            line += QStringLiteral("; %1: %2%3")
                        .arg(names.size() > 1 ? QStringLiteral("candidates") : QStringLiteral("candidate"),
                             names.join(QStringLiteral(", ")),
                             d.sure ? QStringLiteral(" (sure)") : QStringLiteral(" (not sure)"));
            ++withCandidates;
            sure = d.sure ? d.candidates.front() : nullptr;
            sureDevice = d.device;
        }
        lines << line;
    }
    QString summary;
    if (withCandidates == 1 && sure != nullptr) {
        QString name = QString::fromStdString(eeprom::PartName(*sure));
        const bool chosen = ChoosePart(name);
        if (eeprom::OnI2cBus(*sure) && sureDevice >= 0) {
            if (chosen) ChooseDevice(eeprom::PartDeviceFor(*sure, sureDevice << 1));
            name += QStringLiteral(" at 0x%1").arg(QString::number(sureDevice, 16).toUpper());
        }
        summary = chosen ? QStringLiteral("Detected the %1 and chose it").arg(name)
                         : QStringLiteral("Detected the %1; the buffer's edits kept the part").arg(name);
    } else {
        summary =
            withCandidates == 0
                ? QStringLiteral("Detect found no memory") +
                      (eeprom::CannotReachSerial(session_).empty()
                           ? QStringLiteral(". 93Cxx (Microwire) parts cannot be detected: choose yours "
                                            "from the list")
                           : QString())
                : QStringLiteral("Detect is not sure of the part (the report below says "
                                 "why); choose it from the list");
    }
    // The full account goes to the report pane (after a part is chosen,
    // which clears it); the chooser keeps a line.
    report_->setPlainText(lines.isEmpty() ? QStringLiteral("This adapter has no bus to detect on")
                                          : QStringLiteral("Detect:\n") + lines.join(QLatin1Char('\n')));
    detected_->setText(summary);
    Say(summary);
}

}  // namespace ui
