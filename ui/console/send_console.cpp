// The send console: hand-made register writes from the address, sub-address
// and data fields. "Send", every slider move and every spin click run
// SendTransfer, which re-initialises the adapter, then (with "Online"
// checked) writes the three bytes and, with "Tie", mirrors the byte into the
// EEPROM device and the image. A write the device does not acknowledge is
// said once per run of such writes.
#include <algorithm>

#include "console/send_sequence.h"
#include "eeprom/hex_layout.h"
#include "eeprom/image.h"
#include "hardware/port_adapter.h"
#include "ui/console/console_controller.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"

namespace ui {

using namespace eeprom;

namespace {

// The bus stayed busy: say so (the write goes out anyway).
void SayBusBusy() { ShowMessage(QStringLiteral("ERROR I2c")); }

// Says that a device did not take its byte, once per run of failures: with
// "Online" every slider step sends, and a box per step would bury the window.
// The next write that goes through ends the run. A bus that stayed busy has
// had its own message.
void ReportWrite(const hardware::I2cResult& result, std::uint8_t address, std::uint8_t subAddress,
                 bool& failureShown) {
    if (result.Ok()) {
        failureShown = false;
        return;
    }
    if (result.status == hardware::I2cStatus::BusBusy || failureShown) return;
    failureShown = true;
    ShowMessage(QStringLiteral("Device %1 did not acknowledge: register %2 was not written.")
                    .arg(HexByteText(address), HexByteText(subAddress)));
}

std::uint8_t Value(const QString& text) { return static_cast<std::uint8_t>(HexTextValue(text)); }

// Shows a written byte in the hex-view item of an in-page offset and selects
// it; false when the view has no such item.
bool ShowInHexView(HexView* view, int offset, std::uint8_t value) {
    const int item = view->FindOffset(offset);
    if (item < 0) return false;
    view->SetItemText(item, HexView::ItemText(value));
    view->SetCurSel(item);
    return true;
}

}  // namespace

ConsoleController::ConsoleController(MainDialog& window, eeprom::Session& session)
    : window_(window), session_(session) {
    m_tie = window.Control<QCheckBox>(ids::kTie);
    m_remarks = window.Control<QComboBox>(ids::kRemarks);
    m_online = window.Control<QCheckBox>(ids::kOnline);
    m_spin = window.Control<resources::SpinButton>(ids::kSpin);
    m_slider = window.Control<resources::TrackBar>(ids::kSlider);
}

void ConsoleController::OnSend() {
    if (!session_.controllerPresent) return;
    window_.UpdateData(true);
    window_.UpdateData(false);
    SendTransfer();
}

void ConsoleController::OnHScroll() {
    // A wheel turn reaches the slider while the focus stays in an edit, whose
    // new text would otherwise be put back to the old one (and the write go
    // to the old address): read the controls first.
    window_.UpdateData(true);
    const int position = m_slider->value() & 0xFF;
    m_spin->SetPos(position);
    window_.m_sendData = HexByteText(position);
    window_.UpdateData(false);
    SendTransfer();
}

void ConsoleController::OnSpinDelta(int position, int delta) {
    window_.UpdateData(true);
    // The spin notifies before it takes its step. The value sent is the one
    // the click asks for, the position after the step (kept within the
    // range), so each click sends what the slider and the data field then
    // show; the spin itself arrives at the same position right after.
    const int lower = std::min(m_spin->Lower(), m_spin->Upper());
    const int upper = std::max(m_spin->Lower(), m_spin->Upper());
    const int value = std::clamp(position + delta, lower, upper) & 0xFF;
    window_.m_sendData = HexByteText(value);
    m_slider->setValue(value);
    window_.UpdateData(false);
    SendTransfer();
}

// Letting go of the slider sends its position once more, exactly as a move does.
void ConsoleController::OnSliderReleased() { OnHScroll(); }

void ConsoleController::OnAddressKillFocus() { window_.UpdateData(true); }

void ConsoleController::SendTransfer() {
    // I2C memories and register devices are the blank entries of the chip
    // list; a three-wire chip or the DAC in the socket takes no bus writes.
    if (!session_.controllerPresent || !window_.Chip().m_chipList->currentText().isEmpty()) {
        window_.UpdateData(false);
        return;
    }
    console::PrepareTransfer(*session_.i2c);
    if (!m_online->isChecked()) {
        window_.UpdateData(false);
        return;
    }

    const std::uint8_t address = Value(window_.m_sendAddress);
    const std::uint8_t subAddress = Value(window_.m_sendSubAddress);
    const std::uint8_t data = Value(window_.m_sendData);

    // Writing to the memory on show: the hex view follows the register.
    if (window_.m_sendAddress == window_.m_deviceAddress &&
        ShowInHexView(window_.Chip().m_hexView, subAddress, data)) {
        window_.m_byteOffset = window_.m_sendSubAddress;
        // The value edit must show the image byte under the new offset, or
        // the next Enter would store the previous offset's value there.
        window_.Chip().ShowByteUnderOffset();
    }

    const hardware::I2cResult result =
        console::WriteRegister(*session_.i2c, address, subAddress, data, SayBusBusy);
    ReportWrite(result, address, subAddress, sendFailureShown_);

    // A message box above may have let the user choose a serial chip.
    if (m_tie->isChecked() && window_.Chip().m_chipList->currentText().isEmpty()) {
        const std::uint8_t device = Value(window_.m_deviceAddress);
        const std::uint8_t offset = Value(window_.m_byteOffset);
        const hardware::I2cResult result =
            console::WriteRegister(*session_.i2c, device, offset, data, SayBusBusy);
        ReportWrite(result, device, offset, sendFailureShown_);
        const int position = ImageIndex(std::clamp(window_.m_page, 0, kPageCount - 1), offset);
        session_.image[position] = data;
        window_.m_byteValue = window_.m_sendData;
        // Addresses in the EEPROM range leave the view alone.
        if (!window_.m_sendAddress.startsWith(QLatin1Char('A')))
            ShowInHexView(window_.Chip().m_hexView, offset, data);
    }
    window_.UpdateData(false);
}

}  // namespace ui
