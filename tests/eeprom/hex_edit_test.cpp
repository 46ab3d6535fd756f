// Nibble entry, the "H/L" swap and the compare marking, without widgets.
#include <gtest/gtest.h>

#include "eeprom/hex_edit.h"

using namespace eeprom;

namespace {

class HexEdit : public ::testing::Test {
protected:
    HexEntryState entry;
};

TEST_F(HexEdit, TwoDigitsReplaceTheByteAndOneDigitOnlyItsHighHalf) {
    entry.lastHexSelection = 7;
    std::uint8_t byte = 0xA5;
    byte = TypeHexDigit(entry, byte, 3, 7);
    EXPECT_EQ(byte, 0x35);  // "3" alone keeps the low digit
    byte = TypeHexDigit(entry, byte, 0xC, 7);
    EXPECT_EQ(byte, 0x3C);
    EXPECT_EQ(entry.lowNibbleNext, 0);
    // The next digit starts a new byte value.
    EXPECT_EQ(TypeHexDigit(entry, byte, 0xF, 7), 0xFC);
}

TEST_F(HexEdit, ADigitOnAnotherItemStartsWithTheHighHalf) {
    entry.lastHexSelection = 1;
    EXPECT_EQ(TypeHexDigit(entry, 0x00, 1, 1), 0x10);  // waiting for the low digit now
    EXPECT_EQ(TypeHexDigit(entry, 0x00, 2, 2), 0x20);  // moved: high digit again
    EXPECT_EQ(TypeHexDigit(entry, 0x20, 3, 2), 0x23);  // and the low digit stays on item 2
}

TEST_F(HexEdit, OnlyMainKeyboardHexKeysAreDigits) {
    EXPECT_EQ(HexKeyDigit('0'), 0);
    EXPECT_EQ(HexKeyDigit('9'), 9);
    EXPECT_EQ(HexKeyDigit('A'), 10);
    EXPECT_EQ(HexKeyDigit('F'), 15);
    EXPECT_EQ(HexKeyDigit('G'), -1);
    EXPECT_EQ(HexKeyDigit('a'), -1);         // key codes are upper case; 'a' is no key code
    EXPECT_EQ(HexKeyDigit(0x01000014), -1);  // an arrow key
}

TEST_F(HexEdit, SwappingTwiceRestoresTheImage) {
    Image image{kImageSize};
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    const Image original = image;
    SwapBytePairs(image);
    EXPECT_EQ(image[0], original[1]);
    EXPECT_EQ(image[1], original[0]);
    EXPECT_EQ(image[2047], original[2046]);
    SwapBytePairs(image);
    EXPECT_EQ(image, original);
}

TEST_F(HexEdit, CompareMarkingOnlyRaisesMarks) {
    Image image{kImageSize}, snapshot{kImageSize}, marks{kImageSize};
    image[10] = 1;
    marks[20] = kMarkChanged;   // typed back already: stays yellow
    marks[30] = kMarkMismatch;  // an unchanged red byte stays red
    marks[10] = kMarkSeen;      // a changed green byte turns yellow
    MarkDifferences(image, snapshot, marks);
    EXPECT_EQ(marks[10], kMarkChanged);
    EXPECT_EQ(marks[20], kMarkChanged);
    EXPECT_EQ(marks[30], kMarkMismatch);
    EXPECT_EQ(marks[11], kMarkNone);
}

}  // namespace
