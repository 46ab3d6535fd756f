// Windows that fit the screen: every window opens inside the available area
// of its screen (the desktop's panels left out), at a size it can be used at,
// and what a window remembers of its size, place and splitters is checked
// before it is taken, so a smaller screen or a damaged settings file never
// puts controls out of reach.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>

class QSplitter;
class QWidget;

namespace ui {

// `frame` moved, and shrunk where it must be, to lie inside `available`. It
// keeps at least `minimum`; where the screen is smaller still, its top left
// corner stays on the screen, so the title bar can be reached.
QRect FitInside(const QRect& frame, const QSize& minimum, const QRect& available);

// Places `window` before it is shown: at the geometry it remembered
// (`saved`, from QWidget::saveGeometry) when that is readable and not below
// the window's minimum, else at `preferred` centred on the screen; either way
// fitted to the screen's available area. Returns whether `saved` was taken.
bool RestoreWindowGeometry(QWidget& window, const QByteArray& saved, const QSize& preferred);

// Moves and shrinks `window` (shown or not) into its screen's available area.
void FitWindowToScreen(QWidget& window);

// Takes a splitter's remembered state (QSplitter::saveState) only when it
// reads as one: the right marker, as many sizes as the splitter has panes,
// each between 0 and `longest` pixels. Returns false (and leaves the
// splitter alone) for anything else.
bool RestoreSplitterState(QSplitter& splitter, const QByteArray& state, int longest = 20000);

}  // namespace ui
