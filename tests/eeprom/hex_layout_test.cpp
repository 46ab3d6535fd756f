// The hex view's item/offset/row/column mapping and its arrow wrap.
#include <gtest/gtest.h>

#include <set>

#include "eeprom/hex_layout.h"

using namespace eeprom;

TEST(HexLayout, ItemsRunDownTheColumnsAndShowOneRowPerLine) {
    // Item k = column*16 + row shows offset row*16 + column.
    EXPECT_EQ(HexItemOffset(0), 0x00);
    EXPECT_EQ(HexItemOffset(1), 0x10);    // second item: row 1 of column 0
    EXPECT_EQ(HexItemOffset(16), 0x01);   // first item of column 1
    EXPECT_EQ(HexItemOffset(240), 0x0F);  // top of the last column
    EXPECT_EQ(HexItemOffset(255), 0xFF);
    EXPECT_EQ(HexItemRow(37), 5);
    EXPECT_EQ(HexItemColumn(37), 2);
    EXPECT_EQ(HexItemAt(5, 2), 37);
    EXPECT_EQ(ImageIndex(2, 5), 517);
}

TEST(HexLayout, MappingIsABijectionAndItsOwnInverse) {
    std::set<int> offsets;
    for (int item = 0; item < kHexItems; ++item) {
        const int offset = HexItemOffset(item);
        ASSERT_TRUE(IsHexItem(offset));
        offsets.insert(offset);
        EXPECT_EQ(HexOffsetItem(offset), item);
        EXPECT_EQ(HexItemOffset(HexItemOffset(item)), item);
    }
    EXPECT_EQ(offsets.size(), 256u);
}

TEST(HexLayout, RightArrowWrapsToTheNextRow) {
    // Offset 0x0F is the last column of row 0: the next is 0x10.
    EXPECT_EQ(HexItemOffset(HexItemRightOf(HexOffsetItem(0x0F))), 0x10);
    EXPECT_EQ(HexItemOffset(HexItemRightOf(HexOffsetItem(0xFF))), 0x00);
    EXPECT_EQ(HexItemOffset(HexItemRightOf(HexOffsetItem(0x34))), 0x35);
    for (int item = 0; item < kHexItems; ++item) {
        // Walking right visits the page in address order.
        EXPECT_EQ(HexItemOffset(HexItemRightOf(item)), (HexItemOffset(item) + 1) % 256);
    }
}
