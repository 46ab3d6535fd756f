// Where a panel opens next to its owner window: right of the owner's frame
// with the top edges level, or left of it when the screen ends first, and
// never off the screen's left edge. And where a large companion window (the
// bench window) opens: beside its owner or below it, never over it.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ui {

// Frame position for a panel of frame size `panel` beside `ownerFrame` on a
// screen whose available area is `screen` (an invalid area: no limit).
QPoint PanelPositionBeside(const QRect& ownerFrame, const QSize& panel, const QRect& screen);

// Frame positions for an owner window and a companion that must not cover
// any of the owner's controls: side by side when the screen is wide enough
// for both (the owner moving left as far as it must), else the companion
// below the owner (the owner moving up as far as it must). When the screen is
// too small for either, the companion still starts below the owner and runs
// off the screen's bottom rather than over the owner.
struct CompanionPlacement {
    QPoint owner;
    QPoint companion;
};
CompanionPlacement PlaceCompanion(const QRect& ownerFrame, const QSize& companion, const QRect& screen);

}  // namespace ui
