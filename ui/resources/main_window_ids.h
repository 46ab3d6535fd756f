// Control ids of the main window (template 102). The other dialogs number
// their controls in their own templates.
#pragma once

namespace ui {

namespace ids {

inline constexpr int kResetPcf = 1;  // the default button ("Reset PCF ", Enter)
inline constexpr int kExit = 2;      // "Exit", Escape and the close box end the dialog
inline constexpr int kSendAddress = 1000;
inline constexpr int kSendSubAddress = 1001;
inline constexpr int kFilter = 1002;
inline constexpr int kReadEeprom = 1009;
inline constexpr int kExample = 1010;
inline constexpr int kHexView = 1011;
inline constexpr int kBusLog = 1014;
inline constexpr int kMonitor = 1015;
inline constexpr int kSendData = 1017;
inline constexpr int kSlider = 1023;
inline constexpr int kSend = 1029;
inline constexpr int kSpin = 1035;
inline constexpr int kClearColors = 1049;
inline constexpr int kDeviceAddress = 1051;
inline constexpr int kOnline = 1052;
inline constexpr int kRemarkText = 1058;
inline constexpr int kAddRemark = 1059;
inline constexpr int kRemarks = 1060;
inline constexpr int kByteOffset = 1062;
inline constexpr int kLogHistory = 1063;
inline constexpr int kLoadBase = 1064;
inline constexpr int kSaveBase = 1065;
inline constexpr int kTie = 1066;
inline constexpr int kLoadImage = 1067;
inline constexpr int kPage = 1071;
inline constexpr int kPrevPage = 1072;
inline constexpr int kNextPage = 1073;
inline constexpr int kProgress = 1074;
inline constexpr int kCompareValue = 1075;
inline constexpr int kWriteEeprom = 1076;
inline constexpr int kSaveImage = 1077;
inline constexpr int kFillZero = 1078;
inline constexpr int kLpt1 = 1081;
inline constexpr int kLpt2 = 1082;
inline constexpr int kCompBuffer = 1084;
inline constexpr int kByteValue = 1086;
inline constexpr int kResetDev = 1087;
inline constexpr int kStopDev = 1090;
inline constexpr int kOutput1 = 1091;
inline constexpr int kOutput2 = 1092;
inline constexpr int kChipList = 1093;
inline constexpr int kSwapBytes = 1094;
inline constexpr int kExtended = 1096;

// The About entry's command (the system-menu command it stands for).
inline constexpr int kAboutCommand = 0x0010;

}  // namespace ids

}  // namespace ui
