// How an image file's data lies over the bytes it is written to or compared
// with. A raw file gives every byte from its start, so it must be as long as
// what it goes to (unless the caller pads it); a HEX or S-record file gives the
// addresses of its records, and the bytes it leaves out keep what the chip
// holds: they are neither written nor compared. Both faces word it the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace eeprom {

// A decoded file's bytes from the start of what it goes to, and which of
// them the file gives (as ImageSpan::defined leaves them).
struct FileCover {
    std::vector<std::uint8_t> bytes;
    std::vector<bool> defined;

    int Count() const;  // bytes the file gives
    int First() const;  // the first it gives; -1 when none
    int End() const;    // one past the last it gives; 0 when none
    // Gives every byte of [0, size).
    bool Complete(int size) const { return Count() == size && static_cast<int>(defined.size()) == size; }
};

// "the file defines 256 of 32768 bytes; the others keep their contents"
std::string KeptContentsSentence(int defined, int total);

// "small.bin holds 1000 bytes and the 24C256 32768": a raw file whose size is
// not the size of `target` (a part, or a range of it).
std::string SizeDiffersSentence(const std::string& file, std::size_t fileBytes, const std::string& target,
                                int targetBytes);

// `cover`'s bytes [from, from + contents.size()) laid over `contents` where
// the file gives them; the others stay.
void LayOver(const FileCover& cover, int from, std::vector<std::uint8_t>& contents);

}  // namespace eeprom
