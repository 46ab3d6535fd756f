// Template 134: the extended sliders panel, 262 x 262 dialog units, eight
// slots 32 units apart with slot 1 at the top. Each slot reads left to right
// as the technician fills it: device address, sub-address, the slider with
// its label above, the value, a spare display box, the maximum.
#include "ui/resources/template_134.h"

#include "ui/resources/dialog_template.h"

namespace ui {

namespace resources {
namespace {

using K = ControlKind;
using namespace ext_ids;

constexpr int kTop = 6;

// The seven controls of slot `s` (0-based), in tab order.
constexpr std::array<ControlTemplate, 7> Slot(int s) {
    const int y = kTop + s * kRowPitch;
    return {{
        {K::Text, kLabel[s], "Static", kCentered, 44, y, 150, 8},
        {K::Edit, kAddress[s], "", kUpperCase | kRightAlign, 6, y + 10, 16, 12, "device address"},
        {K::Edit, kSubAddress[s], "", kUpperCase | kRightAlign, 24, y + 10, 16, 12, "sub-address"},
        {K::Slider, kSlider[s], "", 0, 44, y + 9, 150, 15, "slider"},
        {K::Text, kValue[s], "00", kSunken | kCentered, 198, y + 10, 16, 12, "value"},
        {K::Text, kSpareBox[s], "", kSunken, 216, y + 10, 16, 12},
        {K::Edit, kMaximum[s], "", kUpperCase | kRightAlign, 238, y + 10, 16, 12, "maximum"},
    }};
}

constexpr std::array<ControlTemplate, 7 * kSlots> AllSlots() {
    std::array<ControlTemplate, 7 * kSlots> controls{};
    for (int s = 0; s < kSlots; ++s) {
        const auto slot = Slot(s);
        for (int c = 0; c < 7; ++c) controls[s * 7 + c] = slot[c];
    }
    return controls;
}

constexpr auto kControls = AllSlots();

}  // namespace

const DialogTemplate& DialogTemplate134() {
    // No system menu or close box: the main window's "Close Ext." button
    // closes the panel.
    static const DialogTemplate t{134, "Extended Sliders", 0, 0, 262, 262, kNoSysMenu, 10, kControls};
    return t;
}

}  // namespace resources

}  // namespace ui
