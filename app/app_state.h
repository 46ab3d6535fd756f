// Process-wide state of the application shell: the main window's adapter and
// the flags the adapter controls and the bus monitor share. All zero at
// program load, as the tool has no saved state.
#pragma once

#include <cstdint>

#include "hardware/port_adapter.h"

// The main window's adapter. Built before main(), so its counter check runs
// before any window exists.
extern hardware::PortAdapter g_adapter;
// Copy of g_adapter's port base after every SetBase(); the monitor reads here.
extern std::int32_t g_portBase;
// 1 after the last controller probe answered, 0 otherwise.
extern std::uint8_t g_controllerPresent;
// 2 once a probe has reported "Not Found"; never cleared.
extern std::uint8_t g_probeFailed;
// 1 while the bus monitor runs.
extern std::uint8_t g_monitorOn;
// The monitor's filter address, read and write forms.
extern std::uint8_t g_filterRead;
extern std::uint8_t g_filterWrite;

// Latch start value: device lines in the run state, Output1 and Output2 on,
// serial lines idle.
inline constexpr std::uint8_t kLatchStart = 0xFD;

// Puts every subsystem's process-wide state back to its program-load value
// (tests call it between cases). It calls the reset function of each folder.
void ResetAppState();

// Reset functions of the other folders' state, each defined in its folder.
void ResetHexViewState();  // eeprom/hex_edit.cpp
void ResetChipState();     // eeprom/chip_table.cpp
void ResetConsoleState();  // console/remarks_handlers.cpp
void ResetPanelState();    // panels/panel_handlers.cpp
