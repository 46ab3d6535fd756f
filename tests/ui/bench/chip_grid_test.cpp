// What a chip grid repaints: only the rows with a changed byte, and each such
// row once more when its flash runs out.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ui/bench/bench_look.h"
#include "ui/bench/chip_grid.h"

namespace {

using ui::ByteGridState;
using ui::kFlashTicks;

TEST(ByteGridStateTest, ChangedBytesFlashForAWhileAndOnlyTheirRowsRepaint) {
    ByteGridState state;
    std::vector<std::uint8_t> bytes(64, 0xFF);
    std::vector<int> dirty;
    ASSERT_TRUE(state.Update(bytes.data(), bytes.size(), 1, dirty));
    EXPECT_EQ(dirty, (std::vector<int>{0, 1, 2, 3})) << "a new size paints every row";
    EXPECT_FALSE(state.AnyFlashing()) << "first contents are not a change";

    EXPECT_FALSE(state.Update(bytes.data(), bytes.size(), 2, dirty));
    EXPECT_TRUE(dirty.empty());

    bytes[17] = 0x12;
    bytes[40] = 0x34;
    ASSERT_TRUE(state.Update(bytes.data(), bytes.size(), 3, dirty));
    EXPECT_EQ(dirty, (std::vector<int>{1, 2}));
    EXPECT_EQ(state.Byte(17), 0x12);
    EXPECT_TRUE(state.Flashing(17));
    EXPECT_TRUE(state.Flashing(40));
    EXPECT_FALSE(state.Flashing(16));

    // A later change to row 2 keeps it flashing longer than row 1.
    bytes[41] = 0x56;
    state.Update(bytes.data(), bytes.size(), 5, dirty);
    EXPECT_EQ(dirty, (std::vector<int>{2}));
    std::vector<std::vector<int>> repaints;
    for (std::uint32_t tick = 6; tick < 6 + 2 * kFlashTicks; ++tick) {
        state.Update(bytes.data(), bytes.size(), tick, dirty);
        if (!dirty.empty()) repaints.push_back(dirty);
    }
    EXPECT_EQ(repaints, (std::vector<std::vector<int>>{{1}, {2}}))
        << "each row once more, plain, when its flash ends";
    EXPECT_FALSE(state.AnyFlashing());
    EXPECT_FALSE(state.Flashing(41));

    // Another chip: other size, no flash.
    std::vector<std::uint8_t> other(16, 0x00);
    state.Update(other.data(), other.size(), 40, dirty);
    EXPECT_EQ(state.Size(), 16u);
    EXPECT_FALSE(state.AnyFlashing());
}

}  // namespace
