// Placement of a panel, or of a companion window, beside its owner window.
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

CompanionPlacement PlaceCompanion(const QRect& ownerFrame, const QSize& companion, const QRect& screen) {
    // The lowest start that keeps `length` on the screen from `from` to `end`,
    // at least `from`.
    const auto clampStart = [](int at, int from, int end, int length) {
        return std::max(from, std::min(at, end - length));
    };
    const QPoint besideOwner(ownerFrame.right() + 1 + kGap, ownerFrame.top());
    if (!screen.isValid()) return {ownerFrame.topLeft(), besideOwner};
    const int right = screen.left() + screen.width();
    const int bottom = screen.top() + screen.height();
    const int besideWidth = ownerFrame.width() + kGap + companion.width();
    if (besideWidth <= screen.width()) {
        const int ownerX = clampStart(ownerFrame.left(), screen.left(), right, besideWidth);
        const int y = clampStart(ownerFrame.top(), screen.top(), bottom, companion.height());
        return {{ownerX, ownerFrame.top()}, {ownerX + ownerFrame.width() + kGap, y}};
    }
    const int ownerY =
        clampStart(ownerFrame.top(), screen.top(), bottom, ownerFrame.height() + kGap + companion.height());
    const int x = clampStart(ownerFrame.left(), screen.left(), right, companion.width());
    return {{ownerFrame.left(), ownerY}, {x, ownerY + ownerFrame.height() + kGap}};
}

}  // namespace ui
