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
    g_adapter.SetBase(0);
    g_adapter.SetLatch(0);
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
