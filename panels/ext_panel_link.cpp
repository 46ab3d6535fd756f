// The console's link to the extended sliders panel, until the panel exists:
// it is never open, so the console and the remarks base leave slots alone.
#include "panels/ext_panel_link.h"

bool ExtPanelOpen() { return false; }

void ExtPanelFillSelectedSlot(const QString&, const QString&, const QString&, const QString&) {}

bool ExtPanelSelectedSlot(QString&, QString&, QString&) { return false; }
