// Where a panel opens next to its owner window: right of the owner's frame
// with the top edges level, or left of it when the screen ends first, and
// never off the screen's left edge.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ui {

// Frame position for a panel of frame size `panel` beside `ownerFrame` on a
// screen whose available area is `screen` (an invalid area: no limit).
QPoint PanelPositionBeside(const QRect& ownerFrame, const QSize& panel, const QRect& screen);

}  // namespace ui
