// The chip list and the read, write and fill handlers: one 256-byte page of a
// 24Cxx memory through the controller (a blank chip entry), or a whole
// Microwire/SPI chip through the serial lines (any other entry). The loops
// live in classic_chip_transfers.cpp (classic) and fast_chip_transfers.cpp (fast, when
// "Fast transfers" is checked); these bind them to the window.
#include <QAction>
#include <QProgressBar>
#include <QSettings>

#include <algorithm>
#include <functional>

#include "eeprom/adapter_chip_transfers.h"
#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/image.h"
#include "eeprom/memory_job.h"
#include "eeprom/part_facts.h"
#include "ui/eeprom/window_write_job.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"
#include "ui/panels/dac_panel_dialog.h"
#include "ui/panels/dac_panel_link.h"

namespace ui {

using namespace eeprom;

namespace {

// A transfer's progress on the window's bar and message box. The transfer
// blocks the window's thread, so no queued paint would reach the screen
// before it ends: the bar must paint synchronously. QProgressBar does that by
// itself only when it grows by a whole chunk (a tenth of the bar or so, a
// jump every two seconds on a long chip write), and a paint at every byte
// would cost more than a fast serial read itself (about 40 us against a few
// us a byte). So the bar paints whenever its filled part grows by a pixel.
class BarProgress final : public Progress {
public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void SetRange(int low, int high) override {
        bar_->setRange(low, high);
        paintedWidth_ = -1;
    }
    void SetPosition(int position) override {
        bar_->setValue(position);
        const int width = FilledWidth();
        if (width == paintedWidth_) return;
        paintedWidth_ = width;
        bar_->repaint();
    }
    void Message(const std::string& text) override { ShowMessage(QString::fromStdString(text)); }

private:
    int FilledWidth() const {
        const qint64 span = qint64{bar_->maximum()} - bar_->minimum();
        if (span <= 0 || bar_->value() < bar_->minimum()) return 0;
        return static_cast<int>((qint64{bar_->value()} - bar_->minimum()) * bar_->width() / span);
    }

    QProgressBar* bar_;
    int paintedWidth_ = -1;
};

// The device address a whole-chip transfer leaves in the window: page 0's.
constexpr int kFirstBlockReadAddress = 0xA1;

// An I2C page transfer with no controller found would do nothing at all, which
// looks like success: say why instead.
void SayNoController(const eeprom::Session& session, const char* done) {
    if (!session.Parallel()) {
        ShowMessage(QString::fromStdString(eeprom::CannotReachI2c(session)));
        return;
    }
    ShowMessage(QStringLiteral("The I2C controller was not found, so the page was not %1: check the adapter, "
                               "its power and the PORT choice, then press \"Reset PCF\".")
                    .arg(QLatin1String(done)));
}

constexpr const char* kFastTransfersKey = "transfers/fast";

}  // namespace

void ChipController::AddFastTransfersEntry() {
    fastTransfersAction_ = new QAction(QStringLiteral("&Fast transfers"), &window_);
    fastTransfersAction_->setCheckable(true);
    // Off unless the user turned it on: the classic sequences are the
    // ones proven on every adapter.
    fastTransfersAction_->setChecked(ToolSettings().value(QLatin1String(kFastTransfersKey), false).toBool());
    window_.addAction(fastTransfersAction_);
    window_.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(fastTransfersAction_, &QAction::toggled, this,
            [](bool on) { ToolSettings().setValue(QLatin1String(kFastTransfersKey), on); });
}

bool ChipController::FastTransfersOn() const {
    return !session_->Parallel() || (fastTransfersAction_ && fastTransfersAction_->isChecked());
}

void ChipController::OnChipSelChange() {
    const QString entry = m_chipList->currentText();
    ApplyChipChoice(session_->chip, entry.toStdString());
    const bool dac = entry == QLatin1String(kDacEntry);
    if (dac && !(g_dacPanel != nullptr)) {
        OpenDacPanel(&window_);
    } else if (!dac && (g_dacPanel != nullptr)) {
        CloseDacPanel();
    }
}

void ChipController::OnReadEeprom() {
    const ImageStep step(*this, "Read eeprom");
    // Whatever the user typed since the last exchange must survive the push
    // back at the end.
    UpdateData(true);
    BarProgress progress(m_progress);
    if (m_chipList->currentText().isEmpty()) {
        session_->chip.capacity = 0;
        if (session_->controllerPresent) {
            OnResetPcf();
            m_hexView->clear();
            console_->m_tie->setChecked(false);
            UpdateData(true);
            UpdateData(false);
            const int dev = HexTextValue(m_deviceAddress) & 0xFF;
            if (!IsEepromDeviceAddress(dev)) {
                ShowMessage(QString::fromLatin1(kAddressErrorMessage));
                // The image is untouched: show it again rather than leave the
                // view empty, which would look like a lost buffer.
                RefreshHexView();
                return;
            }
            if (FastTransfersOn()) {
                ReadI2cBlockFast(*session_->i2c, m_page, dev, session_->image, session_->marks, progress);
            } else {
                ReadI2cPage(*session_->Parallel(), m_page, dev, session_->image, session_->marks, progress);
            }
        } else {
            SayNoController(*session_, "read");
        }
    } else if (ReadSerialChipAsChosen(progress)) {
        m_page = 0;
        m_deviceAddress = HexByteText(kFirstBlockReadAddress);
    }
    UpdateData(false);
    RefreshHexView();
}

void ChipController::OnWriteEeprom() {
    // The device address is taken as it stands in its edit now.
    UpdateData(true);
    BarProgress progress(m_progress);
    const std::string entry = m_chipList->currentText().toStdString();
    const bool i2c = entry.empty();
    if (i2c) {
        session_->chip.capacity = 0;
        if (session_->controllerPresent != 1) {
            SayNoController(*session_, "written");
            UpdateData(false);
            RefreshHexView();
            return;
        }
    }
    // No range check here: a technician may program a memory that answers
    // outside A0..AF. The window does not know which 24Cxx is on the bus:
    // pages of 8 fit every one of them.
    const int page = std::clamp(m_page, 0, kPageCount - 1);
    const int dev = HexTextValue(m_deviceAddress);
    WriteJob job;
    job.part = i2c ? hardware::FindMemoryPart("24C16") : hardware::FindChipPart(entry);
    job.chip = i2c ? "24C16" : entry;
    job.region =
        i2c ? JobRegion{page * kPageSize, kPageSize, dev} : JobRegion{0, ImageFileSize(session_->chip)};
    job.page = i2c ? page : -1;
    job.data.assign(session_->image.begin() + job.region.offset,
                    session_->image.begin() + job.region.offset + job.region.size);
    job.backup = backupAction_->isChecked();
    job.backupTarget = WriteTarget(entry, m_page, dev);
    // The serial write verifies as it goes; the classic page write has no verify.
    job.verify = !i2c;
    WindowWrite transfers([this] { return BackUpBeforeWrite(); },
                          [&](Image& readBack) {
                              if (!i2c) return WriteSerialChipAsChosen(progress, readBack);
                              if (FastTransfersOn())
                                  WriteI2cPagesFast(*session_->i2c, m_page, dev, kSafeI2cPageSize,
                                                    session_->image, progress);
                              else
                                  WriteI2cPage(*session_->Parallel(), m_page, dev, session_->image, progress);
                              return true;
                          });
    NoLine line;
    const JobResult result = RunWriteJob(transfers, job, line);
    if (!i2c && result.written == job.region.size) {
        m_page = 0;
        m_deviceAddress = HexByteText(kFirstBlockReadAddress);
    }
    UpdateData(false);
    RefreshHexView();
    // The backup and the transfers said their failures in message boxes already.
    if (result.end == JobResult::End::Mismatch) ShowMessage(QString::fromStdString(result.reportText));
}

void ChipController::OnFillZero() {
    const ImageStep step(*this, "Fill (00)");
    const auto base = static_cast<std::ptrdiff_t>(std::clamp(m_page, 0, kPageCount - 1)) * kPageSize;
    std::fill_n(session_->image.begin() + base, kPageSize, std::uint8_t{0});
    std::fill_n(session_->marks.begin() + base, kPageSize, kMarkNone);
    RefreshHexView();
}

bool ChipController::ReadSerialChipAsChosen(Progress& progress) {
    if (FastTransfersOn())
        return ReadSerialChipFast(*session_, session_->chip, session_->image, session_->marks, progress);
    return ReadSerialChip(*session_->Parallel(), session_->chip, session_->image, session_->marks, progress);
}

bool ChipController::WriteSerialChipAsChosen(Progress& progress, Image& readBack) {
    if (FastTransfersOn())
        return WriteSerialChipFast(*session_, session_->chip, session_->image, session_->marks, progress,
                                   &readBack);
    return WriteSerialChip(*session_->Parallel(), session_->chip, session_->image, session_->marks, progress,
                           &readBack);
}

}  // namespace ui
