// The user's files (images, remarks bases, captures, chip dumps, the port
// trace) are regular files and nothing else. A FIFO blocks the open until a
// writer comes, and with it the window; a device such as /dev/zero never
// ends; replacing a device node swaps it for a plain file. So every reader
// and writer of a user's file asks here first.
#pragma once

#include <string>

namespace platform {

// Why the file at `path` is not a regular file, as the end of a sentence
// ("it is a named pipe (FIFO), not a regular file"); empty when it is one
// (a symbolic link to one counts) and when nothing is there.
std::string NotRegularFile(const std::string& path);

// Opens `path` read-only when it is a regular file. Special files are
// refused before the open (opening some devices acts on them), and a FIFO
// swapped in after that check is opened without blocking and refused too.
// Returns the descriptor, or -1 with the reason in `reason` (the system's
// text, "Permission denied", or NotRegularFile's).
int OpenRegularFile(const std::string& path, std::string& reason);

}  // namespace platform
