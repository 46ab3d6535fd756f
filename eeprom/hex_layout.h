// Geometry of the hex view. One 256-byte page is shown as a 16 x 16 grid, one
// 16-byte line per row, but the list's items run down the columns: item
// k = column * 16 + row shows the byte at in-page offset row * 16 + column,
// and that offset is the item's data. These functions are the only place
// that mapping is written down.
#pragma once

#include "eeprom/image.h"

namespace eeprom {

inline constexpr int kHexRows = 16;
inline constexpr int kHexColumns = 16;
inline constexpr int kHexItems = kHexRows * kHexColumns;

constexpr bool IsHexItem(int item) { return item >= 0 && item < kHexItems; }
constexpr int HexItemRow(int item) { return item % kHexRows; }
constexpr int HexItemColumn(int item) { return item / kHexRows; }
constexpr int HexItemAt(int row, int column) { return column * kHexRows + row; }
// Item to in-page offset and back (the mapping is its own inverse).
constexpr int HexItemOffset(int item) { return HexItemRow(item) * kHexColumns + HexItemColumn(item); }
constexpr int HexOffsetItem(int offset) { return HexItemAt(offset / kHexColumns, offset % kHexColumns); }
// Image position of an in-page offset.
constexpr int ImageIndex(int page, int offset) { return page * kPageSize + offset; }

// The item the right arrow selects: one column on; from the last column the
// first column of the next row; from the last byte of the page the first.
constexpr int HexItemRightOf(int item) {
    if (item == kHexItems - 1) return 0;
    if (HexItemColumn(item) == kHexColumns - 1) return item - (kHexItems - kHexRows) + 1;
    return item + kHexRows;
}

}  // namespace eeprom
