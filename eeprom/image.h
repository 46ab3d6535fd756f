// EEPROM images: a chip's bytes (as many as the chip holds) or the window's
// 2048-byte buffer, its compare snapshot and one mark code per byte. Page p
// (0..7) is bytes p*256..p*256+255; for I2C memories it is the block at
// device address 0xA0 + 2p.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace eeprom {

inline constexpr int kImageSize = 2048;
inline constexpr int kPageSize = 256;
inline constexpr int kPageCount = kImageSize / kPageSize;

// Mark codes and their highlight colours (0xRRGGBB).
inline constexpr std::uint8_t kMarkNone = 0;
inline constexpr std::uint8_t kMarkSeen = 1;      // green: seen on the bus
inline constexpr std::uint8_t kMarkChanged = 2;   // yellow: differs from the snapshot
inline constexpr std::uint8_t kMarkMismatch = 4;  // red: failed verify / value in a selected log line
inline constexpr std::uint32_t kMarkColourSeen = 0x00FF00;
inline constexpr std::uint32_t kMarkColourChanged = 0xFFFF00;
inline constexpr std::uint32_t kMarkColourMismatch = 0xFF0000;
// Colour of a mark code; 0 when the code draws no highlight.
std::uint32_t MarkColour(std::uint8_t mark);

// Bytes of a fixed size, given when the image is made: there is no empty
// default, so every image says how large it is. Engine functions keep their
// work inside size().
class Image {
public:
    explicit Image(int size, std::uint8_t value = 0)
        : bytes_(size > 0 ? static_cast<std::size_t>(size) : 0, value) {}

    std::size_t size() const { return bytes_.size(); }
    int Size() const { return static_cast<int>(bytes_.size()); }
    bool Holds(long index) const { return index >= 0 && index < Size(); }
    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }
    std::uint8_t operator[](std::size_t index) const { return bytes_[index]; }
    auto begin() { return bytes_.begin(); }
    auto end() { return bytes_.end(); }
    auto begin() const { return bytes_.begin(); }
    auto end() const { return bytes_.end(); }
    void fill(std::uint8_t value) { bytes_.assign(bytes_.size(), value); }
    bool operator==(const Image&) const = default;

private:
    std::vector<std::uint8_t> bytes_;
};

// Whether `count` bytes from the start of page `page` (0..7) lie inside `image`.
inline bool HoldsPageBytes(const Image& image, int page, int count) {
    return page >= 0 && page < kPageCount && count >= 0 && count <= kPageSize &&
           page * kPageSize + count <= image.Size();
}

// True when index is a valid image position; every index computed from text
// goes through this before it touches the arrays.
constexpr bool InImage(long index) { return index >= 0 && index < kImageSize; }

}  // namespace eeprom
