// The right-hand column of the main window: the controller probe ("Reset PCF ",
// also the Enter key), the port choice and the device and user lines of the
// output latch. These are the parallel adapter's alone: each asks the session
// for that part (Parallel()) and does nothing where the adapter is another
// one (the window disables them there). Every line change goes through the
// part's latch shadow and reaches the adapter with ResetAdapter, which also
// re-initialises the controller.
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
    hardware::PortAdapter* parallel = session_->Parallel();
    if (!parallel) {
        StartWithoutLatch();
        return;
    }

    session_->controllerPresent = 0;
    QPushButton* button = Button(ids::kResetPcf);
    // A controller that answers is reset a second time before it counts as
    // present; one that answers only then turns "Not Found" into "Ok".
    const hardware::ControllerProbe probe = hardware::ProbeController(*parallel, 0);
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
    hardware::PortAdapter* parallel = session_->Parallel();
    if (!parallel) return;
    parallel->SetBase(base);
    session_->portBase = parallel->GetBase();
    parallel->ConfigurePort();
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
    hardware::PortAdapter* parallel = session_->Parallel();
    if (!parallel) return;
    if (session_->monitorOn) monitor_->OnMonitorToggle();
    if (!m_stopDev->isChecked()) {
        parallel->SetLatchBit(hardware::kLineDevA);
        parallel->ClearLatchBit(hardware::kLineDevB);
        parallel->ResetAdapter(0, parallel->Latch());
    } else {
        parallel->ClearLatchBit(hardware::kLineDevA);
        parallel->SetLatchBit(hardware::kLineDevB);
        parallel->ResetAdapter(2, parallel->Latch());
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
    hardware::PortAdapter* parallel = session_->Parallel();
    if (!parallel) return;
    if (on) {
        parallel->SetLatchBit(bit);
    } else {
        parallel->ClearLatchBit(bit);
    }
    parallel->ResetAdapter(0, parallel->Latch());
    // ResetAdapter leaves the controller idle: set it up again for capturing.
    if (session_->monitorOn) parallel->InitController();
    if (g_extPanel) g_extPanel->m_latch = parallel->Latch();
}

void MainDialog::OnOutput1() { SetLine(hardware::kLineOutput1, m_output1->isChecked()); }

void MainDialog::OnOutput2() { SetLine(hardware::kLineOutput2, m_output2->isChecked()); }

}  // namespace ui
