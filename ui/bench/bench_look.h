// What the bench window's views have in common, so that a byte, a change and
// a pulse look the same in the chip grids, the lamps, the DAC rows and the
// tab captions: the fixed font, the byte texts, how long a change stays
// marked and the colour of a pulse; and the pieces its boxes are built from.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class QGroupBox;
class QLayout;
class QPushButton;
class QWidget;

namespace ui {

// Refresh ticks a change stays marked: 0.8 s at the window's 100 ms.
inline constexpr std::uint32_t kFlashTicks = 8;

inline const QColor kPulseRing(0xFF, 0x90, 0x10);

QFont FixedFont();

// "00".."FF", built once: drawing a byte must not build a string.
const std::array<QString, 256>& ByteTexts();

// `value` in upper-case hex, `digits` wide with leading zeros.
QString Hex(int value, int digits);

// One sentence for a message box: capital first letter, full stop.
QString Sentence(const std::string& text);

// A titled box around `layout`.
QGroupBox* Box(const QString& title, QLayout* layout);

// A button that runs `action` on a click. `name` is what assistive technology
// announces: the caption alone does not say which chip a tab's Load and Save
// act on.
QPushButton* ActionButton(const QString& caption, const QString& name, QWidget* receiver,
                          const std::function<void()>& action);

}  // namespace ui
