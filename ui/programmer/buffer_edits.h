// Edits the programmer window makes to the buffer as a whole step: bytes
// pasted over it at the cursor and a selection filled with a pattern.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace ui {

// The bytes clipboard text stands for: hex pairs, with spaces, commas, line
// breaks and "0x" between them allowed ("DE AD be,ef", "0x12 0x34"). False
// (with one sentence in `error`) for anything else, an odd digit left over
// included.
bool HexTextBytes(const QString& text, std::vector<std::uint8_t>& bytes, QString& error);

// `data` with `bytes` laid over it from `at`, cut at the end; returns how
// many bytes went in.
qint64 Overwrite(std::vector<std::uint8_t>& data, qint64 at, const std::vector<std::uint8_t>& bytes);

// `data` from `start` for `length` bytes filled with `pattern` repeated
// (cut at the end of the range and of the data).
void FillWith(std::vector<std::uint8_t>& data, qint64 start, qint64 length,
              const std::vector<std::uint8_t>& pattern);

}  // namespace ui
