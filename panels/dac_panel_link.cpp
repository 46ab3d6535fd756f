// The chip list's way to the DAC panel: the open panel (g_dacPanel) and its
// open flag, created on "M62358,M62359" and destroyed on any other entry.
#include "panels/dac_panel_link.h"

#include "app/main_dialog.h"
#include "app/panel_hooks.h"
#include "panels/dac_panel_dialog.h"

DacPanelDialog* g_dacPanel = nullptr;

void OpenDacPanel(MainDialog* owner) {
    if (DacPanelOpen()) return;
    g_dacPanel = new DacPanelDialog(owner);
    g_dacPanelOpen = 1;
    g_dacPanel->show();
}

void CloseDacPanel() {
    delete g_dacPanel;  // its destructor clears the pointer and the flag
    g_dacPanel = nullptr;
    g_dacPanelOpen = 0;
}

bool DacPanelOpen() { return g_dacPanelOpen != 0 && g_dacPanel != nullptr; }
