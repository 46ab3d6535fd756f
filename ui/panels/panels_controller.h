// The main window's side of the two panels: the "Extended" button that opens
// and closes the extended sliders panel beside the window. The panels
// themselves are ui/panels/ext_sliders_dialog.h and dac_panel_dialog.h.
#pragma once

#include <QObject>

#include "eeprom/session.h"

namespace ui {

class MainDialog;

class PanelsController : public QObject {
public:
    PanelsController(MainDialog& window, eeprom::Session& session);

    void OnExtended();

private:
    MainDialog& window_;
    eeprom::Session& session_;
};

}  // namespace ui
