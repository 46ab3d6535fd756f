// Chip dumps: a virtual chip's whole memory as a raw file, byte i of the file
// being byte i of the chip, so that a technician can practise on a known dump.
// The file work is the engine's (eeprom/file_access.h): a load reads the file
// completely before the chip changes, a save is atomic, and a failure is one
// sentence naming the file and the reason. The window's Load and Save buttons
// (BenchWindow::LoadInto and SaveFrom, in chip_dump.cpp) are built on these.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct ChipDumpLoad {
    bool ok = false;
    int bytesLoaded = 0;
    bool fileLonger = false;  // the file holds more than the chip; the rest was left out
};

// Reads the file completely first (at most memory.size() bytes), then copies
// it over the start of `memory`; bytes past the file's end keep their
// contents. A failed read changes nothing and sets `error` to one sentence.
ChipDumpLoad LoadChipDump(const QString& path, std::vector<std::uint8_t>& memory, std::string& error);
// Writes the whole memory atomically; on failure the old file stays as it was.
bool SaveChipDump(const QString& path, const std::vector<std::uint8_t>& memory, std::string& error);

}  // namespace ui
