// The two file operations the image files and the remarks base are built on:
// read a file's head completely before anything in memory changes, and
// replace a file atomically (a temporary file beside the target, synced and
// renamed over the target only when every byte is out), so a failed save
// leaves the old file exactly as it was.
//
// Each takes the path as the system's bytes, which need not be UTF-8 (a
// name given on the command line passes through unchanged), or as a QString,
// which is encoded the way Qt names files.
//
// Both take regular files only (a symbolic link to one counts): a FIFO would
// hang the window in the open, a device would never end or be replaced by a
// plain file.
//
// Errors come back as one sentence naming the file and the reason, ready for
// the message seam: Cannot load "/tmp/a.bin": Permission denied.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace eeprom {

// Reads at most maxBytes from the start of the file at `path` into `data`.
// `truncated` tells whether the file held more. On failure `data` is empty,
// `error` says why, and the result is false. `verb` names the operation in
// the error sentence ("load").
bool ReadFileHead(const std::string& path, qint64 maxBytes, QByteArray& data, bool& truncated,
                  std::string& error, const char* verb = "load");
bool ReadFileHead(const QString& path, qint64 maxBytes, QByteArray& data, bool& truncated, std::string& error,
                  const char* verb = "load");

// Writes `size` bytes to `path` as a new file renamed over the old one, whose
// permissions it keeps; a symbolic link is saved through. On failure the
// result is false, the file at `path` (if any) is untouched, and `error` says so.
bool WriteFileAtomically(const std::string& path, const char* data, qint64 size, std::string& error);
bool WriteFileAtomically(const QString& path, const char* data, qint64 size, std::string& error);

}  // namespace eeprom
