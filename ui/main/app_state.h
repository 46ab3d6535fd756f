// What the window keeps beyond its session: the latch start value, and the
// reset of the window's process-wide pointers (the open panels) that tests
// call between cases.
#pragma once

#include <QSettings>

#include <cstdint>

namespace ui {

// Latch start value: device lines in the run state, Output1 and Output2 on,
// serial lines idle.
inline constexpr std::uint8_t kLatchStart = 0xFD;

// Where the window's remembered choices (fast transfers, backups) are kept.
inline QSettings ToolSettings() { return QSettings(QStringLiteral("merlix"), QStringLiteral("merlix")); }

// Closes any open panel, as at program load (ui/panels/panel_handlers.cpp).
void ResetAppState();

}  // namespace ui
