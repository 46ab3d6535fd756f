// Icon and string resources of the tool: icon 128 (the application icon, the
// same PNGs the desktop's icon theme gets, embedded) and the string table.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ui {

namespace resources {

inline constexpr int kIconApp = 128;
inline constexpr int kStringAboutEntry = 101;

// Icon resource `id` at size x size pixels; a null pixmap for an unknown id.
QPixmap IconPixmap(int id, int size);
// Icon resource `id` with every embedded rendering.
QIcon LoadIcon(int id);
// String resource `id`; empty for an unknown id.
QString LoadString(int id);

}  // namespace resources

}  // namespace ui
