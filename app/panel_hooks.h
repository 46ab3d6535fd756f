// What the main window needs to know of the two modeless panels. The panels'
// folder defines these (panels/panel_handlers.cpp), so the main window's code
// does not depend on the panel classes.
#pragma once

#include <cstdint>

// Set while the extended sliders panel exists.
extern std::uint8_t g_extPanelOpen;
// Set while the DAC panel exists.
extern std::uint8_t g_dacPanelOpen;

// Copies the main adapter's latch shadow into the open extended panel's own
// copy of the latch ("Output1"/"Output2" keep the two in step).
void SetExtPanelLatch(std::uint8_t latch);
// Value of the DAC panel's current channel; meaningful while g_dacPanelOpen.
std::uint8_t DacPanelChannelValue();
