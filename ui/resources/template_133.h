// Control ids of the DAC panel (template 133): channel k (0..11) has slider
// kFirstSlider + k and value edit kFirstValue + k.
#pragma once

namespace ui {

namespace dac_ids {

inline constexpr int kChannels = 12;
inline constexpr int kFirstValue = 1001;   // edits 1001..1012
inline constexpr int kFirstSlider = 1023;  // sliders 1023..1034
inline constexpr int kRange = 1063;        // output range list

}  // namespace dac_ids

}  // namespace ui
