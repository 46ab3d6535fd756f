// What the main window's console and remarks base need of the extended
// sliders panel: filling its selected slot from the
// console, and reading that slot back. The panels folder implements these
// (ui/panels/ext_panel_link.cpp), so the console does not depend on the panel
// class.
#pragma once

#include <QString>

namespace ui {

// True while the extended sliders panel exists.
bool ExtPanelOpen();

// Copies a register into the panel's selected slot: address, sub-address and
// value texts, the slot slider moved to the value (no write is made), and the
// label. Does nothing while the panel is closed.
void ExtPanelFillSelectedSlot(const QString& address, const QString& subAddress, const QString& data,
                              const QString& label);

// The selected slot's address, sub-address and value texts; false (and the
// texts unchanged) while the panel is closed.
bool ExtPanelSelectedSlot(QString& address, QString& subAddress, QString& data);

}  // namespace ui
