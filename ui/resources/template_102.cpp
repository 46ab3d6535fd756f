// Template 102: the main window, 489 x 301 dialog units. Control order is the
// tab order: the send console, the remarks, the chip controls, the hex view,
// the bus log, then the right-hand column.
#include "ui/resources/dialog_template.h"
#include "ui/resources/main_window_ids.h"

namespace ui {

namespace resources {
namespace {

using K = ControlKind;
using namespace ids;

constexpr unsigned kHexEdit = kUpperCase;

const ControlTemplate kControls[] = {
    // Send console, top row and slider row.
    {K::Edit, kSendAddress, "", kHexEdit | kRightAlign, 7, 7, 19, 12, "Address"},
    {K::Edit, kSendSubAddress, "", kHexEdit | kRightAlign, 27, 7, 19, 12, "Sub-address"},
    {K::Edit, kSendData, "", kUpperCase | kRightAlign | kReadOnly, 45, 7, 19, 12, "Data"},
    {K::Spin, kSpin, "", 0, 66, 7, 13, 12, "Spin"},
    {K::CheckBox, kOnline, "Online", 0, 81, 7, 36, 10},
    {K::PushButton, kSend, "Send", 0, 117, 7, 29, 12},
    {K::Text, -1, "Filter:", 0, 167, 11, 19, 8},
    {K::Edit, kFilter, "", kHexEdit, 187, 7, 14, 12, "Filter"},
    {K::Slider, kSlider, "", 0, 7, 21, 149, 15, "Slider"},
    {K::PushButton, kExtended, "Extended", 0, 162, 20, 41, 14},
    // Remarks.
    {K::GroupBox, -1, "", 0, 7, 35, 199, 43},
    {K::Edit, kRemarkText, "", 0, 7, 43, 137, 12, "Remark"},
    {K::PushButton, kAddRemark, "Add remarks", 0, 153, 42, 50, 12},
    {K::ComboBox, kRemarks, "", kSorted | kEditField, 7, 60, 195, 100, "Remarks"},
    // Chip controls.
    {K::PushButton, kWriteEeprom, "Write eeprom", 0, 7, 107, 53, 13},
    {K::PushButton, kFillZero, "Fill (00)", 0, 64, 107, 35, 13},
    {K::PushButton, kSwapBytes, "H/L", 0, 103, 107, 20, 13},
    {K::ComboBox, kChipList, "", 0, 128, 107, 75, 150, "Chip"},
    {K::Text, -1, "Page:", 0, 13, 131, 19, 8},
    {K::Edit, kPage, "", kUpperCase | kReadOnly, 33, 127, 10, 12, "Page"},
    {K::PushButton, kPrevPage, "<<", 0, 43, 127, 15, 12},
    {K::PushButton, kNextPage, ">>", 0, 59, 127, 15, 12},
    {K::PushButton, kClearColors, "Clear colors", 0, 79, 126, 42, 13},
    {K::CheckBox, kCompBuffer, "CompBuffer", 0, 131, 126, 51, 13},
    {K::Edit, kCompareValue, "", kReadOnly, 185, 127, 14, 12, "Compare value"},
    {K::Edit, kDeviceAddress, "", kHexEdit, 7, 146, 15, 12, "Device address"},
    {K::PushButton, kReadEeprom, "Read eeprom", 0, 26, 145, 50, 13},
    {K::Progress, kProgress, "", 0, 77, 145, 47, 13, "Progress"},
    {K::CheckBox, kTie, "Tie", 0, 131, 146, 25, 10},
    {K::Edit, kByteOffset, "", kReadOnly, 165, 144, 14, 12, "Offset"},
    {K::Edit, kByteValue, "", kHexEdit, 185, 144, 14, 12, "Value"},
    {K::ListBox, kHexView, "", kMultiColumn, 7, 160, 197, 134, "Hex view"},
    // Bus log.
    {K::ComboBox, kLogHistory, "", kEditField, 208, 7, 274, 100, "Log history"},
    {K::ListBox, kBusLog, "", 0, 208, 21, 220, 273, "Bus log"},
    // Right-hand column.
    {K::DefPushButton, kResetPcf, "Reset PCF ", 0, 432, 31, 50, 14},
    {K::PushButton, kMonitor, "Monitor ON", 0, 432, 50, 50, 14},
    {K::GroupBox, -1, "", 0, 430, 66, 52, 34},
    {K::CheckBox, kResetDev, "Reset Dev", 0, 432, 73, 46, 10},
    {K::CheckBox, kStopDev, "Stop Dev", 0, 432, 86, 46, 10},
    {K::GroupBox, -1, "User", 0, 430, 103, 52, 34},
    {K::CheckBox, kOutput1, "Output1", 0, 432, 112, 46, 10},
    {K::CheckBox, kOutput2, "Output2", 0, 432, 123, 46, 10},
    {K::GroupBox, -1, "PORT", 0, 430, 143, 52, 34},
    {K::RadioButton, kLpt1, "LPT1", kGroup, 431, 151, 40, 10},
    {K::RadioButton, kLpt2, "LPT2", 0, 431, 163, 40, 10},
    {K::PushButton, kLoadBase, "Load Base", 0, 432, 182, 50, 14},
    {K::PushButton, kSaveBase, "Save Base", 0, 432, 199, 50, 14},
    {K::PushButton, kLoadImage, "Load eeprom", 0, 432, 226, 50, 14},
    {K::PushButton, kSaveImage, "Save eeprom", 0, 432, 242, 50, 14},
    {K::PushButton, kExample, "Example", kHidden, 432, 258, 50, 14},
    {K::PushButton, kExit, "Exit", 0, 432, 280, 50, 14},
};

}  // namespace

const DialogTemplate& DialogTemplate102() {
    static const DialogTemplate t{102, "MERLIX   ver4.22", 0, 0, 489, 301, kMinimizeBox, 10, kControls};
    return t;
}

}  // namespace resources

}  // namespace ui
