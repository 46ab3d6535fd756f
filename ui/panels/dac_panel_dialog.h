// DacPanelDialog: the twelve 8-bit channels of the M62358/M62359 converters.
// Every slider move sends one frame, for the channel whose slider was last
// released, with the values of all twelve sliders read fresh.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

#include "hardware/port_adapter.h"
#include "ui/resources/dialog_template.h"
#include "ui/resources/template_133.h"

class QComboBox;

namespace ui {

namespace resources {
class TrackBar;
}

// The range list's entries; the two leading digits are the range bits the
// frame carries.
inline constexpr const char* kDacRangeTexts[] = {
    "0 0 DAC output range 0-5V",
    "0 1 DAC output range 0-8V",
    "1 0 DAC output range 0-9V",
    "1 1 DAC output range 0-12V",
};

// Port base the converter frames always go to: the converters hang on the
// first parallel port whatever port the main window works on.
inline constexpr std::int32_t kDacPortBase = 0x378;

// One frame through a short-lived adapter at kDacPortBase, on the main
// adapter's port. Lines 0..3 (device and user lines) keep their state from
// the main adapter's latch, so a frame does not disturb what the main window
// set on them.
void SendDacPanelFrame(const hardware::PortAdapter& mainAdapter, int channel, int range, std::uint8_t value);

class DacPanelDialog;
// The open panel, or none (ui/panels/dac_panel_link.cpp).
extern DacPanelDialog* g_dacPanel;

class DacPanelDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kChannels = dac_ids::kChannels;

    // Builds the panel from template 133, placed from its owner's corner.
    // `mainAdapter` is the main window's: each frame keeps its device and
    // user lines.
    DacPanelDialog(QWidget* owner, const hardware::PortAdapter& mainAdapter);
    ~DacPanelDialog() override;

    void UpdateData(bool save = true);

    // Any slider's scroll: one frame, then the twelve value texts.
    void OnHScroll();
    // Slider `channel` released: the next frames address that channel.
    void OnReleasedCapture(int channel);

    std::uint8_t CurrentChannelValue() const { return m_channelValues[m_currentChannel]; }
    const resources::DialogBuilder& Builder() const { return builder_; }

    // --- Members ---------------------------------------------------------
    std::array<resources::TrackBar*, kChannels> m_sliders{};
    QComboBox* m_range = nullptr;
    std::uint8_t m_currentChannel = 0;  // 0..11
    std::array<std::uint8_t, kChannels> m_channelValues{};
    std::array<QString, kChannels> m_valueTexts;

protected:
    // The panel lives as long as the chip list selects the converters:
    // Enter, Escape and the window manager's close leave it open.
    void accept() override {}
    void reject() override {}

private:
    void OnInitDialog();
    void ConnectMessageMap();

    resources::DialogBuilder builder_;
    const hardware::PortAdapter& mainAdapter_;
};

}  // namespace ui
