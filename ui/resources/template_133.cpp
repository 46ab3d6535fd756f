// Template 133: the DAC panel, 172 x 277 dialog units at (210, 0) from the
// main window: a heading, twelve rows of label "01".."12", slider and value,
// and the output range list at the bottom.
#include "ui/resources/template_133.h"

#include <array>

#include "ui/resources/dialog_template.h"

namespace ui {

namespace resources {
namespace {

using K = ControlKind;
using namespace dac_ids;

constexpr int kFirstRow = 18;
constexpr int kRowPitch = 20;
constexpr const char* kRowLabels[kChannels] = {"01", "02", "03", "04", "05", "06",
                                               "07", "08", "09", "10", "11", "12"};

constexpr std::array<ControlTemplate, 2 + 3 * kChannels> Controls() {
    std::array<ControlTemplate, 2 + 3 * kChannels> controls{};
    int n = 0;
    controls[n++] = {K::Text, -1, "Управление M62358 и M62359", kCentered, 6, 5, 160, 9};
    for (int k = 0; k < kChannels; ++k) {
        const int y = kFirstRow + k * kRowPitch;
        controls[n++] = {K::Text, -1, kRowLabels[k], 0, 6, y + 4, 12, 8};
        controls[n++] = {K::Slider, kFirstSlider + k, "", 0, 20, y, 120, 15, "Channel"};
        controls[n++] = {K::Edit, kFirstValue + k, "", kUpperCase | kReadOnly | kRightAlign, 144, y + 2, 20,
                         12,      "Value"};
    }
    controls[n++] = {K::ComboBox, kRange, "", 0, 6, 260, 158, 60, "Output range"};
    return controls;
}

constexpr auto kControls = Controls();

}  // namespace

const DialogTemplate& DialogTemplate133() {
    // The panel lives as long as the chip list selects the converters, so it
    // has no close box of its own.
    static const DialogTemplate t{
        133,      "For everyone who keeps a bench running", 210, 0, 172, 277, kNoSysMenu | kPositioned, 10,
        kControls};
    return t;
}

}  // namespace resources

}  // namespace ui
