// The right-hand column of the main window: the controller probe ("Reset PCF ",
// also the Enter key), the port choice and the device and user lines of the
// output latch. Every line change goes through g_adapter's latch shadow and
// reaches the adapter with ResetAdapter, which also re-initialises the
// controller.
#include <QRadioButton>

#include "app/app_state.h"
#include "app/main_dialog.h"
#include "app/panel_hooks.h"
#include "eeprom/image.h"

void MainDialog::OnResetPcf() {
    UpdateData(true);
    // Every probe, and so every Enter, commits the value edit into the byte
    // under the offset edit. The value edit always shows the image's byte
    // unless the user has typed over it (RefreshHexView re-reads it after any
    // image change), so this stores what the user typed and never an old
    // value over newer data.
    const int position = m_page * kPageSize + HexTextValue(m_byteOffset);
    if (InImage(position)) g_image[position] = static_cast<std::uint8_t>(HexTextValue(m_byteValue));
    RefreshHexView();

    g_controllerPresent = 0;
    QPushButton* button = Button(ids::kResetPcf);
    if (g_adapter.ResetAdapter(0, g_adapter.Latch()) != hardware::kProbeOk) {
        g_adapter.ConfigurePort();
        button->setText(QStringLiteral("Not Found"));
        g_probeFailed = 2;
        UpdateData(true);
        UpdateData(false);
    }
    // A controller that answers is reset a second time before it counts as
    // present; one that answers only now turns "Not Found" into "Ok".
    if (g_adapter.ResetAdapter(0, g_adapter.Latch()) == hardware::kProbeOk) {
        g_adapter.ConfigurePort();
        button->setText(QStringLiteral("PCF 8584 Ok"));
        g_controllerPresent = 1;
    }
}

void MainDialog::SelectPort(int base) {
    g_adapter.SetBase(base);
    g_portBase = g_adapter.GetBase();
    g_adapter.ConfigurePort();
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
    if (g_monitorOn) OnMonitorToggle();
    if (!m_stopDev->isChecked()) {
        g_adapter.SetLatchBit(hardware::kLineDevA);
        g_adapter.ClearLatchBit(hardware::kLineDevB);
        g_adapter.ResetAdapter(0, g_adapter.Latch());
    } else {
        g_adapter.ClearLatchBit(hardware::kLineDevA);
        g_adapter.SetLatchBit(hardware::kLineDevB);
        g_adapter.ResetAdapter(2, g_adapter.Latch());
        // A stopped device cannot also wait for a reset pulse.
        m_resetDev->setChecked(false);
    }
}

void MainDialog::OnResetDev() {
    // "Reset Dev" only arms the pulse that the next monitor start gives. After
    // a failed probe the box is left as the click set it.
    if (g_probeFailed != 0) return;
    m_resetDev->setChecked(!m_stopDev->isChecked());
}

void MainDialog::SetLine(int bit, bool on) {
    if (on) {
        g_adapter.SetLatchBit(bit);
    } else {
        g_adapter.ClearLatchBit(bit);
    }
    g_adapter.ResetAdapter(0, g_adapter.Latch());
    // ResetAdapter leaves the controller idle: set it up again for capturing.
    if (g_monitorOn) g_adapter.InitController();
    if (g_extPanelOpen) SetExtPanelLatch(g_adapter.Latch());
}

void MainDialog::OnOutput1() { SetLine(hardware::kLineOutput1, m_output1->isChecked()); }

void MainDialog::OnOutput2() { SetLine(hardware::kLineOutput2, m_output2->isChecked()); }
