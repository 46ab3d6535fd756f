// Template 100: the About box, 196 x 103 dialog units.
#include "ui/resources/dialog_template.h"
#include "ui/resources/icons.h"

namespace ui {

namespace resources {
namespace {

using K = ControlKind;

const ControlTemplate kControls[] = {
    {K::Icon, -1, "128", 0, 11, 10, 20, 20, "Application icon"},
    {K::Text, -1, "Version 4.22", 0, 40, 10, 90, 8},
    {K::DefPushButton, 1, "OK", 0, 139, 7, 50, 14},
    {K::Text, -1, "MERLIX: I2C bus monitor and serial EEPROM programmer for the parallel-port adapter.", 0,
     40, 26, 149, 18},
    {K::Text, -1, "Technical support :\nsee the notes that came with your adapter.", 0, 11, 52, 178, 18},
    {K::Text, -1, "Web support:\nthe project pages of this tool.", 0, 11, 76, 178, 18},
};

}  // namespace

const DialogTemplate& DialogTemplate100() {
    static const DialogTemplate t{100, "About Orvex", 0, 0, 196, 103, 0, 10, kControls};
    return t;
}

}  // namespace resources

}  // namespace ui
