// Placement of a panel beside its owner window.
#include "ui/panels/panel_placement.h"

#include <algorithm>

namespace ui {

namespace {
constexpr int kGap = 8;  // pixels between the two frames
}

QPoint PanelPositionBeside(const QRect& ownerFrame, const QSize& panel, const QRect& screen) {
    int x = ownerFrame.right() + 1 + kGap;
    if (screen.isValid() && x + panel.width() > screen.right() + 1) {
        x = std::max(screen.left(), ownerFrame.left() - kGap - panel.width());
    }
    return {x, ownerFrame.top()};
}

}  // namespace ui
