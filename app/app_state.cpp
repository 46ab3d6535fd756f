// Definitions of the application shell's process-wide state.
#include "app/app_state.h"

#include "eeprom/chip_table.h"
#include "eeprom/image.h"

hardware::PortAdapter g_adapter;
std::int32_t g_portBase = 0;
std::uint8_t g_controllerPresent = 0;
std::uint8_t g_probeFailed = 0;
std::uint8_t g_monitorOn = 0;
std::uint8_t g_filterRead = 0;
std::uint8_t g_filterWrite = 0;

void ResetAppState() {
    // A fresh adapter, as at program load: it takes the frequency of the
    // counter in force now (tests install the virtual one after g_adapter was
    // built on the steady clock, and a delay measured in the wrong unit lasts
    // a thousand times too long).
    g_adapter = hardware::PortAdapter();
    g_portBase = 0;
    g_controllerPresent = 0;
    g_probeFailed = 0;
    g_monitorOn = 0;
    g_filterRead = 0;
    g_filterWrite = 0;
    ResetImageState();
    ResetHexViewState();
    ResetChipState();
    ResetConsoleState();
    ResetPanelState();
}
