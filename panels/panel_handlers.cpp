// The main window's side of the two panels: the "Extended" button and the
// panel state the main window reads. (Bodies come with the panels.)
#include "app/app_state.h"
#include "app/main_dialog.h"
#include "app/panel_hooks.h"

std::uint8_t g_extPanelOpen = 0;
std::uint8_t g_dacPanelOpen = 0;

void SetExtPanelLatch(std::uint8_t) {}

std::uint8_t DacPanelChannelValue() { return 0; }

void ResetPanelState() {
    g_extPanelOpen = 0;
    g_dacPanelOpen = 0;
}

void MainDialog::OnExtended() {}
