// A file's data over a chip's bytes; see file_coverage.h.
#include "eeprom/file_coverage.h"

#include <algorithm>

namespace eeprom {

int FileCover::Count() const { return static_cast<int>(std::count(defined.begin(), defined.end(), true)); }

int FileCover::First() const {
    const auto at = std::find(defined.begin(), defined.end(), true);
    return at == defined.end() ? -1 : static_cast<int>(at - defined.begin());
}

int FileCover::End() const {
    const auto at = std::find(defined.rbegin(), defined.rend(), true);
    return static_cast<int>(defined.rend() - at);
}

std::string KeptContentsSentence(int defined, int total) {
    return "the file defines " + std::to_string(defined) + " of " + std::to_string(total) +
           " bytes; the others keep their contents";
}

std::string SizeDiffersSentence(const std::string& file, std::size_t fileBytes, const std::string& target,
                                int targetBytes) {
    return file + " holds " + std::to_string(fileBytes) + " bytes and " + target + " " +
           std::to_string(targetBytes);
}

void LayOver(const FileCover& cover, int from, std::vector<std::uint8_t>& contents) {
    const std::size_t start = static_cast<std::size_t>(std::max(from, 0));
    for (std::size_t i = 0; i < contents.size() && start + i < cover.defined.size(); ++i) {
        if (cover.defined[start + i]) contents[i] = cover.bytes[start + i];
    }
}

}  // namespace eeprom
