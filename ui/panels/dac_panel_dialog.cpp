// The DAC panel: start-up, the frame on every slider move and the channel
// choice on a slider's release.
#include "ui/panels/dac_panel_dialog.h"

#include <QComboBox>
#include <QLineEdit>

#include "hardware/dac_frame.h"
#include "hardware/port_adapter.h"
#include "ui/eeprom/hex_view.h"
#include "ui/main/app_state.h"
#include "ui/resources/controls.h"

namespace ui {

void SendDacPanelFrame(const hardware::PortAdapter& mainAdapter, int channel, int range, std::uint8_t value) {
    // A fresh adapter per frame, as the panel keeps no port of its own.
    hardware::PortAdapter adapter(mainAdapter.Io(), mainAdapter.Clock(), mainAdapter.CounterErrors());
    adapter.SetBase(kDacPortBase);
    adapter.SetLatch(static_cast<std::uint8_t>(mainAdapter.Latch() & 0x0F));
    hardware::SendDacFrame(adapter, channel, range, value);
}

DacPanelDialog::DacPanelDialog(QWidget* owner, const hardware::PortAdapter& mainAdapter)
    : QDialog(owner), mainAdapter_(mainAdapter) {
    builder_.Build(*this, resources::DialogTemplate133());
    for (int k = 0; k < kChannels; ++k) {
        m_sliders[k] = builder_.Control<resources::TrackBar>(dac_ids::kFirstSlider + k);
        m_sliders[k]->setAccessibleName(QStringLiteral("Channel %1").arg(k + 1, 2, 10, QLatin1Char('0')));
        builder_.Control<QLineEdit>(dac_ids::kFirstValue + k)->setMaxLength(2);
    }
    m_range = builder_.Control<QComboBox>(dac_ids::kRange);
    ConnectMessageMap();
    OnInitDialog();
}

DacPanelDialog::~DacPanelDialog() {
    // Also when the main window takes the panel down with it.
    if (g_dacPanel == this) {
        g_dacPanel = nullptr;
    }
}

void DacPanelDialog::ConnectMessageMap() {
    for (int k = 0; k < kChannels; ++k) {
        connect(m_sliders[k], &resources::TrackBar::scrolled, this, &DacPanelDialog::OnHScroll);
        connect(m_sliders[k], &resources::TrackBar::releasedCapture, this,
                [this, k] { OnReleasedCapture(k); });
    }
}

void DacPanelDialog::OnInitDialog() {
    for (const char* text : kDacRangeTexts) m_range->addItem(QString::fromUtf8(text));
    for (resources::TrackBar* slider : m_sliders) slider->setRange(0, 255);
    m_sliders[0]->setValue(0);
    m_range->setCurrentIndex(0);
    for (int k = 0; k < kChannels; ++k) m_valueTexts[k] = HexByteText(m_channelValues[k]);
    UpdateData(false);
}

void DacPanelDialog::UpdateData(bool save) {
    for (int k = 0; k < kChannels; ++k) {
        QLineEdit* edit = builder_.Control<QLineEdit>(dac_ids::kFirstValue + k);
        if (save) {
            m_valueTexts[k] = edit->text().left(2);
        } else {
            edit->setText(m_valueTexts[k]);
        }
    }
}

void DacPanelDialog::OnHScroll() {
    for (int k = 0; k < kChannels; ++k) m_channelValues[k] = static_cast<std::uint8_t>(m_sliders[k]->value());
    const int range = m_range->currentIndex() < 0 ? 0 : m_range->currentIndex();
    SendDacPanelFrame(mainAdapter_, m_currentChannel, range, m_channelValues[m_currentChannel]);
    for (int k = 0; k < kChannels; ++k) m_valueTexts[k] = HexByteText(m_channelValues[k]);
    UpdateData(false);
}

void DacPanelDialog::OnReleasedCapture(int channel) {
    if (channel >= 0 && channel < kChannels) m_currentChannel = static_cast<std::uint8_t>(channel);
}

}  // namespace ui
