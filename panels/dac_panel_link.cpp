// Stand-in for the DAC panel's side of the chip list until the panel exists:
// there is never a panel to open or close.
#include "panels/dac_panel_link.h"

void OpenDacPanel(MainDialog*) {}

void CloseDacPanel() {}

bool DacPanelOpen() { return false; }
