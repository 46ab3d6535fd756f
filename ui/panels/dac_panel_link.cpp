// The chip list's way to the DAC panel: the open panel (g_dacPanel), created
// on "M62358,M62359" and destroyed on any other entry.
#include "ui/panels/dac_panel_link.h"

#include "ui/main/main_dialog.h"
#include "ui/panels/dac_panel_dialog.h"

namespace ui {

DacPanelDialog* g_dacPanel = nullptr;

void OpenDacPanel(MainDialog* owner) {
    // The converter hangs on the parallel adapter's latch; the chip list
    // disables its entry on any other adapter.
    hardware::PortAdapter* parallel = owner->session().Parallel();
    if (g_dacPanel != nullptr || !parallel) return;
    g_dacPanel = new DacPanelDialog(owner, *parallel);
    g_dacPanel->show();
}

void CloseDacPanel() {
    delete g_dacPanel;  // its destructor clears the pointer
    g_dacPanel = nullptr;
}

}  // namespace ui
