// The chip area of the main window (chip_controller.h): its construction, and
// the handlers of the memory image and its hex view: page moves, marks,
// compare snapshot, "H/L", selection display, double-click into the send
// console, keyboard nibble editing and the bus-log selection.
#include <QKeyEvent>

#include <algorithm>

#include "eeprom/hex_edit.h"
#include "eeprom/hex_layout.h"
#include "eeprom/image.h"
#include "monitor/log_line_marks.h"
#include "ui/main/main_dialog.h"
#include "ui/panels/dac_panel_dialog.h"

namespace ui {

using namespace eeprom;
using namespace monitor;

ChipController::ChipController(MainDialog& window, eeprom::Session& session)
    : window_(window),
      session_(&session),
      console_(&window.Console()),
      monitor_(&window.Monitor()),
      m_sendSubAddress(window.m_sendSubAddress),
      m_sendAddress(window.m_sendAddress),
      m_deviceAddress(window.m_deviceAddress),
      m_sendData(window.m_sendData),
      m_byteOffset(window.m_byteOffset),
      m_page(window.m_page),
      m_compareValue(window.m_compareValue),
      m_byteValue(window.m_byteValue) {
    m_chipList = window.Control<QComboBox>(ids::kChipList);
    m_compBuffer = window.Control<QCheckBox>(ids::kCompBuffer);
    m_progress = window.Control<QProgressBar>(ids::kProgress);
    m_hexView = window.Control<HexView>(ids::kHexView);
    m_hexView->SetBeforePaint([this] { DrawHexOverlay(); });
    m_hexView->SetMarkColour([this](int offset) { return HexMarkColour(offset); });
    m_hexView->installEventFilter(this);
}

bool ChipController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_hexView && event->type() == QEvent::KeyPress &&
        PreTranslateKey(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ChipController::UpdateData(bool save) { return window_.UpdateData(save); }
void ChipController::Invalidate() { window_.Invalidate(); }
void ChipController::OnResetPcf() { window_.OnResetPcf(); }
QLineEdit* ChipController::Edit(int id) const { return window_.Edit(id); }

void ChipController::RefreshHexView() {
    const int page = std::clamp(m_page, 0, kPageCount - 1);
    // Refilling the list would drop the selection; keep it on the same item
    // so that the grid position the user works on stays selected.
    const int selected = m_hexView->CurSel();
    m_hexView->ShowPage(session_->image.data() + page * kPageSize);
    if (selected >= 0) m_hexView->SetCurSel(selected);
    ShowByteUnderOffset();
    Invalidate();
}

// Enter (and every "Reset PCF ") commits the value edit into the byte under
// the offset edit on the current page. If the image changed under that byte
// (fill, load, chip read, monitor replay, "H/L", typing in the grid, another
// page) while the value edit kept its old text, that commit would write the
// old value over the new data. So whenever the image is shown afresh, the
// value edit shows the image's byte again: Enter then stores either that very
// byte or a value the user typed after it.
void ChipController::ShowByteUnderOffset() {
    const int position = ImageIndex(m_page, HexTextValue(m_byteOffset));
    if (!InImage(position)) return;
    m_byteValue = HexByteText(session_->image[position]);
    Edit(ids::kByteValue)->setText(m_byteValue);
    if (m_compBuffer->isChecked()) {
        m_compareValue = HexByteText(session_->compareImage[position]);
        Edit(ids::kCompareValue)->setText(m_compareValue);
    }
}

void ChipController::DrawHexOverlay() {
    if (m_compBuffer->isChecked()) MarkDifferences(session_->image, session_->compareImage, session_->marks);
}

QColor ChipController::HexMarkColour(int offset) const {
    const int position = ImageIndex(m_page, offset);
    if (!InImage(position)) return {};
    const std::uint32_t colour = MarkColour(session_->marks[position]);
    return colour ? QColor::fromRgb(colour) : QColor();
}

void ChipController::OnPrevPage() {
    if (m_page <= 0) return;
    --m_page;
    m_deviceAddress = HexByteText(0xA1 + 2 * m_page);
    UpdateData(false);
    RefreshHexView();
}

void ChipController::OnNextPage() {
    if (m_page >= kPageCount - 1) return;
    ++m_page;
    m_deviceAddress = HexByteText(0xA1 + 2 * m_page);
    UpdateData(false);
    RefreshHexView();
}

void ChipController::OnClearColors() {
    session_->marks.fill(kMarkNone);
    Invalidate();
}

void ChipController::OnCompBuffer() {
    if (m_compBuffer->isChecked()) {
        session_->compareImage = session_->image;
    } else {
        session_->compareImage.fill(0);
    }
    Invalidate();
}

void ChipController::OnSwapBytes() {
    const ImageStep step(*this, "H/L");
    SwapBytePairs(session_->image);
    RefreshHexView();
}

void ChipController::OnHexViewSetFocus() {
    hexEntry_.hexViewFocused = 1;
    hexEntry_.lowNibbleNext = 0;
}

void ChipController::OnHexViewKillFocus() {
    hexEntry_.hexViewFocused = 0;
    hexEntry_.lowNibbleNext = 0;
}

void ChipController::OnHexViewSelChange() {
    m_byteOffset.clear();
    console_->m_remarks->setCurrentIndex(0);
    console_->m_tie->setChecked(false);
    UpdateData(false);
    const int selected = m_hexView->CurSel();
    hexEntry_.lastHexSelection = selected;
    if (selected < 0) return;
    m_byteOffset = HexByteText(m_hexView->ItemOffset(selected));
    console_->SelectRemarkEntries(m_deviceAddress, m_byteOffset);
    ShowByteUnderOffset();
    UpdateData(false);
}

void ChipController::OnHexViewDblClk() {
    const int selected = m_hexView->CurSel();
    if (selected < 0) return;
    const int offset = m_hexView->ItemOffset(selected);
    const int position = ImageIndex(m_page, offset);
    if (g_dacPanel && InImage(position)) {
        const ImageStep step(*this, "DAC value");
        // With the DAC panel open, the byte takes the current channel's value.
        session_->image[position] = g_dacPanel->CurrentChannelValue();
        RefreshHexView();
        m_byteValue = HexByteText(session_->image[position]);
        UpdateData(false);
    }
    // The console gets the byte's address and value; it sends nothing until
    // the user checks "Online" again.
    const QString text = m_hexView->item(selected)->text().trimmed();
    m_sendAddress = m_deviceAddress;
    m_sendSubAddress = HexByteText(offset);
    m_sendData = text;
    const int value = HexTextValue(text);
    console_->m_slider->setValue(value);
    console_->m_spin->SetPos(value);
    console_->SelectRemarkEntries(m_sendAddress, m_sendSubAddress);
    console_->m_online->setChecked(false);
    UpdateData(false);
}

bool ChipController::PreTranslateKey(QKeyEvent* event) {
    if (!hexEntry_.hexViewFocused) return false;
    const int key = event->key();
    const int selected = m_hexView->CurSel();
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
    if (arrow) hexEntry_.lowNibbleNext = 0;

    // The list moves one column per arrow; at the end of a row the right
    // arrow goes on in the next row (from the last byte to the first). The
    // other arrows are the list's own: the left one stops at the first column.
    if (key == Qt::Key_Right && IsHexItem(selected) && HexItemColumn(selected) == kHexColumns - 1) {
        m_hexView->SetCurSel(HexItemRightOf(selected));
        m_hexView->scrollToItem(m_hexView->item(m_hexView->CurSel()));
        UpdateData(false);
        // Show the byte the selection moved to, as after any arrow move.
        OnHexViewSelChange();
        return true;
    }

    const int digit = HexKeyDigit(key);
    // The numeric pad's digits are not bytes: they go on to the list.
    const bool plain = !(event->modifiers() &
                         (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier));
    if (digit < 0 || !plain || !IsHexItem(selected)) return false;
    const int position = ImageIndex(m_page, HexItemOffset(selected));
    if (!InImage(position)) return true;
    const ImageStep step(*this, "Edit byte");
    session_->image[position] = TypeHexDigit(hexEntry_, session_->image[position], digit, selected);
    // A typed item reads "3C", without the trailing blank of the others.
    m_hexView->SetItemText(selected, HexByteText(session_->image[position]));
    if (position == ImageIndex(m_page, HexTextValue(m_byteOffset))) ShowByteUnderOffset();
    return true;
}

void ChipController::OnBusLogSelChange() {
    const int selected = monitor_->m_busLog->CurSel();
    if (selected < 0) return;
    MarkFromLogLine(monitor_->m_busLog->item(selected)->text().toStdString(), m_page, session_->image,
                    session_->marks);
    Invalidate();
}

void ChipController::OnBusLogDblClk() {
    const int selected = monitor_->m_busLog->CurSel();
    if (selected < 0) return;
    // A log line reads " W A0 10 ...": the device address at 3-4, the first
    // byte after it (the sub-address) at 6-7.
    const QString line = monitor_->m_busLog->item(selected)->text();
    m_sendAddress = line.mid(3, 2);
    m_sendSubAddress = line.mid(6, 2);
    UpdateData(false);
}

}  // namespace ui
