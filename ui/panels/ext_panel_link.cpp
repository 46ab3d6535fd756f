// The console's and remarks base's way into the extended sliders panel: the
// open panel (g_extPanel) and its selected slot.
#include "ui/panels/ext_panel_link.h"

#include "ui/panels/ext_sliders_dialog.h"

namespace ui {

ExtSlidersDialog* g_extPanel = nullptr;

void ExtPanelFillSelectedSlot(const QString& address, const QString& subAddress, const QString& data,
                              const QString& label) {
    if (g_extPanel != nullptr) g_extPanel->FillSelectedSlot(address, subAddress, data, label);
}

bool ExtPanelSelectedSlot(QString& address, QString& subAddress, QString& data) {
    if (g_extPanel == nullptr) return false;
    // What the slot's edits show now, also when the user typed into them
    // after the slider was last touched.
    g_extPanel->UpdateData(true);
    const int s = g_extPanel->m_selectedSlot - 1;
    address = g_extPanel->m_address[s];
    subAddress = g_extPanel->m_subAddress[s];
    data = g_extPanel->m_value[s];
    return true;
}

}  // namespace ui
