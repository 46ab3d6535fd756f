// The right-hand column of the main window: the controller probe ("Reset PCF ",
// also the Enter key), the port choice and the device and user lines of the
// output latch. Every line change goes through session_->adapter's latch shadow and
// reaches the adapter with ResetAdapter, which also re-initialises the
// controller.
#include <QRadioButton>

#include "eeprom/image.h"
#include "hardware/probe.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/panels/ext_sliders_dialog.h"

namespace ui {

using namespace eeprom;

void MainDialog::OnResetPcf() {
    UpdateData(true);
    // Every probe, and so every Enter, commits the value edit into the byte
    // under the offset edit. The value edit always shows the image's byte
    // unless the user has typed over it (RefreshHexView re-reads it after any
    // image change), so this stores what the user typed and never an old
    // value over newer data.
    const int position = m_page * kPageSize + HexTextValue(m_byteOffset);
    if (InImage(position)) session_->image[position] = static_cast<std::uint8_t>(HexTextValue(m_byteValue));
    chip_->RefreshHexView();
    if (!session_->latch) {
        StartWithoutLatch();
        return;
    }

    session_->controllerPresent = 0;
    QPushButton* button = Button(ids::kResetPcf);
    // A controller that answers is reset a second time before it counts as
    // present; one that answers only then turns "Not Found" into "Ok".
    const hardware::ControllerProbe probe = hardware::ProbeController(session_->adapter, 0);
    if (!probe.firstAnswered) {
        button->setText(QStringLiteral("Not Found"));
        session_->probeFailed = 2;
        UpdateData(true);
        UpdateData(false);
    }
    if (probe.found) {
        button->setText(QStringLiteral("PCF 8584 Ok"));
        session_->controllerPresent = 1;
    }
}

void MainDialog::SelectPort(int base) {
    session_->adapter.SetBase(base);
    session_->portBase = session_->adapter.GetBase();
    session_->adapter.ConfigurePort();
}

void MainDialog::ProbeAt(int base) {
    SelectPort(base);
    OnResetPcf();
}

// The port buttons only move the adapter: the probe result and the caption of
// "Reset PCF " stay as they are until the next probe.
void MainDialog::OnLpt1() { SelectPort(hardware::kLpt1); }

void MainDialog::OnLpt2() { SelectPort(hardware::kLpt2); }

void MainDialog::OnStopDev() {
    if (session_->monitorOn) monitor_->OnMonitorToggle();
    if (!m_stopDev->isChecked()) {
        session_->adapter.SetLatchBit(hardware::kLineDevA);
        session_->adapter.ClearLatchBit(hardware::kLineDevB);
        session_->adapter.ResetAdapter(0, session_->adapter.Latch());
    } else {
        session_->adapter.ClearLatchBit(hardware::kLineDevA);
        session_->adapter.SetLatchBit(hardware::kLineDevB);
        session_->adapter.ResetAdapter(2, session_->adapter.Latch());
        // A stopped device cannot also wait for a reset pulse.
        m_resetDev->setChecked(false);
    }
}

void MainDialog::OnResetDev() {
    // "Reset Dev" only arms the pulse that the next monitor start gives. After
    // a failed probe the box is left as the click set it.
    if (session_->probeFailed != 0) return;
    m_resetDev->setChecked(!m_stopDev->isChecked());
}

void MainDialog::SetLine(int bit, bool on) {
    if (on) {
        session_->adapter.SetLatchBit(bit);
    } else {
        session_->adapter.ClearLatchBit(bit);
    }
    session_->adapter.ResetAdapter(0, session_->adapter.Latch());
    // ResetAdapter leaves the controller idle: set it up again for capturing.
    if (session_->monitorOn) session_->adapter.InitController();
    if (g_extPanel) g_extPanel->m_latch = session_->adapter.Latch();
}

void MainDialog::OnOutput1() { SetLine(hardware::kLineOutput1, m_output1->isChecked()); }

void MainDialog::OnOutput2() { SetLine(hardware::kLineOutput2, m_output2->isChecked()); }

}  // namespace ui
