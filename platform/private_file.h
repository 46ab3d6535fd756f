// Files that may hold a customer's data (chip backups, the bench's virtual
// chips) are private to the user: folders made here get mode 0700 and files
// 0600. Each file is written new beside its name and renamed into place, so a
// reader never sees half a file, a failed write leaves the old one, and a
// symbolic link at the name is replaced, never written through.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Creates folder `path` and its missing parents, each made here with mode
// 0700 (folders that exist keep theirs). False with the reason when a part
// cannot be made or is not a folder.
bool MakePrivateFolder(const std::string& path, std::string& reason);

enum class PrivateWrite { Written, NameTaken, Failed };

// Writes `size` bytes as a new file of mode 0600 at `path`. With `replace`,
// whatever is at the name goes (a link itself, not what it points to);
// without, a name already there is left alone and NameTaken comes back.
// Failed comes with the system's reason, and nothing at `path` changed.
PrivateWrite WritePrivateFile(const std::string& path, const void* data, std::size_t size, bool replace,
                              std::string& reason);

}  // namespace platform
