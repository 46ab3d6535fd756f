// The main window's send console and remarks base: the slider and spin, the
// "Online" and "Tie" boxes, the remarks list with the lines behind it, and
// the hand-made register writes they drive. It owns those controls and that
// state; the address, sub-address, data and note texts stay with the window's
// data exchange, which every area shares. The handlers are defined in
// console/send_console.cpp and console/remarks_handlers.cpp.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QObject>
#include <QString>

#include <string>

#include "console/remarks_logic.h"
#include "eeprom/session.h"
#include "ui/resources/controls.h"

namespace ui {

class MainDialog;

class ConsoleController : public QObject {
public:
    ConsoleController(MainDialog& window, eeprom::Session& session);

    QCheckBox* m_tie = nullptr;               // 1066 "Tie"
    QComboBox* m_remarks = nullptr;           // 1060 remarks (sorted)
    QCheckBox* m_online = nullptr;            // 1052 "Online"
    resources::SpinButton* m_spin = nullptr;  // 1035 spin, no buddy
    resources::TrackBar* m_slider = nullptr;  // 1023 slider
    // The lines of m_remarks as bytes, entry for entry: the combo shows
    // DisplayText() of each, and every change goes through both.
    console::RemarksList m_remarkLines;

    // The last remark's note (tests read it).
    const std::string& LastRemark() const { return lastRemark_; }

    // --- Send console -----------------------------------------------------
    void OnSend();
    void OnHScroll();
    void OnSpinDelta(int position, int delta);
    void OnSliderReleased();
    void OnAddressKillFocus();
    void SendTransfer();

    // --- Remarks base -----------------------------------------------------
    void OnAddRemark();
    void OnRemarkChosen();
    void OnSaveBase();
    void OnLoadBase();
    void OnRemarkFocus();
    void CopyConsoleToSlot();
    // Selects every remarks entry whose key (first five characters) is
    // address + " " + subAddress; the last match stays selected. The key rule
    // is the remarks base's (ui/console/remarks_handlers.cpp).
    void SelectRemarkEntries(const QString& address, const QString& subAddress);

private:
    MainDialog& window_;
    eeprom::Session& session_;
    // The note of the last remark added or chosen, as the bytes of its line
    // (from character 8 on for a chosen line, its leading blank included):
    // the label the extended sliders panel gives a slot filled from the
    // console.
    std::string lastRemark_;
    // The send console has told of a write that was not acknowledged, and no
    // write has gone through since.
    bool sendFailureShown_ = false;
};

}  // namespace ui
