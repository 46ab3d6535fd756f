// Control ids of the extended sliders panel (template 134), slot by slot. The
// numbering is the template's own: it grew row by row, so the ids of one
// column are not evenly spaced.
#pragma once

#include <array>

namespace ui {

namespace ext_ids {

inline constexpr int kSlots = 8;
using SlotIds = std::array<int, kSlots>;

inline constexpr SlotIds kAddress = {1097, 1100, 1108, 1113, 1118, 1123, 1128, 1133};
inline constexpr SlotIds kSubAddress = {1098, 1099, 1103, 1112, 1117, 1122, 1127, 1132};
inline constexpr SlotIds kLabel = {1101, 1102, 1109, 1114, 1119, 1124, 1129, 1134};
inline constexpr SlotIds kValue = {1105, 1107, 1111, 1116, 1121, 1126, 1131, 1136};
inline constexpr SlotIds kMaximum = {1137, 1138, 1139, 1140, 1141, 1142, 1143, 1144};
inline constexpr SlotIds kSlider = {1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030};
// A second display box per row that nothing fills.
inline constexpr SlotIds kSpareBox = {1104, 1106, 1110, 1115, 1120, 1125, 1130, 1135};

// Vertical distance between two slots, dialog units.
inline constexpr int kRowPitch = 32;

}  // namespace ext_ids

}  // namespace ui
