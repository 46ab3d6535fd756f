// How the chip list opens and closes the DAC panel: choosing "M62358,M62359"
// opens it beside the main window, any other entry closes it. The panel's
// own code defines these, so the chip handlers do not depend on the panel
// class.
#pragma once

namespace ui {

class MainDialog;

// Creates the modeless DAC panel, owned by `owner`, and marks it open.
void OpenDacPanel(MainDialog* owner);
// Destroys the open panel and marks it closed.
void CloseDacPanel();
// Whether the panel exists.
bool DacPanelOpen();

}  // namespace ui
