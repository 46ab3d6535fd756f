// ExtSlidersDialog: the "Extended Sliders" panel, eight slots each bound to
// one register of some I2C device (address, sub-address, maximum, label). A
// slot's slider writes its value to that register at every move, through
// the panel's own adapter and without any of the main window's conditions.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

#include "hardware/port_adapter.h"
#include "ui/resources/dialog_template.h"
#include "ui/resources/template_134.h"

namespace ui {

namespace resources {
class TrackBar;
}

class ExtSlidersDialog;
// The open panel, or none (ui/panels/ext_panel_link.cpp).
extern ExtSlidersDialog* g_extPanel;

class ExtSlidersDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSlots = ext_ids::kSlots;

    // Builds the panel from template 134 and runs its start-up on the panel
    // adapter (on the main adapter's port) with the main adapter's base and
    // latch as they are now.
    ExtSlidersDialog(QWidget* owner, const hardware::PortAdapter& mainAdapter);
    ~ExtSlidersDialog() override;

    // Moves the fields to the controls (save = false) or back.
    void UpdateData(bool save = true);

    // Slot selection: a press, focus, key or wheel notification of slot
    // `slot`'s (1..8) slider. Ignored while the busy flag is set.
    void OnSliderNotify(int slot);
    // The write of the selected slot's slider value to its register.
    void OnHScroll();
    // Fills the selected slot from the main window's console: texts, the
    // slider at the data value (nothing is written), and the label.
    void FillSelectedSlot(const QString& address, const QString& subAddress, const QString& data,
                          const QString& label);

    resources::TrackBar* Slider(int slot) const { return m_sliders[slot - 1]; }
    const resources::DialogBuilder& Builder() const { return builder_; }

    // --- Fields, in the panel's order --------------------------------------
    // The panel's own adapter, with its own latch shadow, set to the main
    // adapter's base when the panel opens.
    hardware::PortAdapter m_adapter;
    std::uint8_t m_latch = 0;         // main latch shadow; "Output1"/"Output2" keep it current
    std::int32_t m_portBase = 0;      // main port base at opening
    std::uint8_t m_busy = 0;          // 1 while FillSelectedSlot runs
    std::uint8_t m_selectedSlot = 1;  // 1..8
    std::array<resources::TrackBar*, kSlots> m_sliders{};
    std::array<QString, kSlots> m_address;
    std::array<QString, kSlots> m_subAddress;
    std::array<QString, kSlots> m_label;
    std::array<QString, kSlots> m_value;
    std::array<QString, kSlots> m_maximum;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Enter and Escape (and the window manager's close) leave the panel
    // open: only the main window's button closes it.
    void accept() override {}
    void reject() override {}

private:
    void OnInitDialog();
    void ConnectMessageMap();
    // Slot 1..8 of a slider, 0 for none.
    int SlotOf(const QObject* widget) const;

    resources::DialogBuilder builder_;
};

}  // namespace ui
