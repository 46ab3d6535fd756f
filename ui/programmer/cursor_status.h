// The editor's place in words, for the programmer window's status bar: the
// cursor's offset, the byte there in hex, decimal, binary and as a
// character, and the selection's first and last offsets and length.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace ui {

// The offsets take as many hex digits as the last offset of `data` needs (at
// least four). Empty data: "".
QString CursorStatusText(const std::vector<std::uint8_t>& data, qint64 cursor, qint64 selectionStart,
                         qint64 selectionLength);

}  // namespace ui
