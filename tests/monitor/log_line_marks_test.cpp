// Marks raised by selecting a bus-log line: the green runs of EEPROM lines and
// the red values of register-device lines.
#include "monitor/log_line_marks.h"

#include <gtest/gtest.h>

using namespace eeprom;
using namespace monitor;

namespace {

class Marks : public ::testing::Test {
protected:
    int Count(std::uint8_t code) const {
        int n = 0;
        for (std::uint8_t m : marks_) n += m == code;
        return n;
    }
    bool Mark(std::string_view line, int page) { return MarkFromLogLine(line, page, image_, marks_); }
    Image image_{kImageSize};
    Image marks_{kImageSize};
};

TEST_F(Marks, WriteLineMarksItsBytesGreenUntilAMarkedByte) {
    marks_[0x12] = kMarkChanged;  // yellow is repainted green
    EXPECT_TRUE(Mark(" W A0 10 01 02 03 ", 4));
    EXPECT_EQ(marks_[0x10], kMarkSeen);
    EXPECT_EQ(marks_[0x12], kMarkSeen);
    EXPECT_EQ(Count(kMarkSeen), 3);

    // A byte already green or red holds the run where it is.
    image_.fill(0);
    marks_.fill(0);
    marks_[0x211] = kMarkMismatch;
    EXPECT_TRUE(Mark(" W A4 10 01 02 03 ", 0));
    EXPECT_EQ(marks_[0x210], kMarkSeen);
    EXPECT_EQ(marks_[0x211], kMarkMismatch);
    EXPECT_EQ(marks_[0x212], kMarkNone);
    EXPECT_EQ(Count(kMarkSeen), 1);
}

TEST_F(Marks, ReadLineMarksTheBytesRead) {
    EXPECT_TRUE(Mark(" W A2 F0  R A3 55 66  ; ", 0));
    EXPECT_EQ(marks_[0x1F0], kMarkSeen);
    EXPECT_EQ(marks_[0x1F1], kMarkSeen);
    EXPECT_EQ(Count(kMarkSeen), 2);
}

TEST_F(Marks, RegisterLineTurnsGreenBytesOfItsValuesRed) {
    const int page = 2;
    image_[page * 256 + 3] = 0x7F;
    marks_[page * 256 + 3] = kMarkSeen;
    image_[page * 256 + 4] = 0x7F;  // not green: stays
    image_[page * 256 + 5] = 0x05;  // the sub-address is no value
    marks_[page * 256 + 5] = kMarkSeen;
    image_[3] = 0x7F;  // another page
    marks_[3] = kMarkSeen;
    EXPECT_TRUE(Mark(" W 40 05 7F 10 ", page));
    EXPECT_EQ(marks_[page * 256 + 3], kMarkMismatch);
    EXPECT_EQ(marks_[page * 256 + 4], kMarkNone);
    EXPECT_EQ(marks_[page * 256 + 5], kMarkSeen);
    EXPECT_EQ(marks_[3], kMarkSeen);
    EXPECT_EQ(Count(kMarkMismatch), 1);
}

TEST_F(Marks, NothingIsMarkedPastTheImage) {
    Image image{kImageSize}, marks{kImageSize};
    EXPECT_TRUE(MarkFromLogLine(" W AE FE 01 02 03 04 05 ", 0, image, marks));
    EXPECT_EQ(marks[2046], kMarkSeen);
    EXPECT_EQ(marks[2047], kMarkSeen);
    const Image before = marks;
    EXPECT_TRUE(MarkFromLogLine(" W 40 05 7F ", 9, image, marks));  // no such page: no change
    EXPECT_EQ(marks, before);
    marks[2046] = marks[2047] = kMarkNone;
    EXPECT_EQ(marks, Image(kImageSize));
}

TEST_F(Marks, OtherLinesChangeNothing) {
    for (const char* line : {"", " R A1 55  ; ", " W A", " W A0 1", "10  W A0 "}) {
        EXPECT_FALSE(Mark(line, 0)) << line;
    }
    EXPECT_EQ(Count(kMarkNone), kImageSize);
}

TEST(EepromLogLine, DataGroupsFollowTheTwoForms) {
    const auto write = ParseEepromLogLine(" W A6 80 01 02 ");
    ASSERT_TRUE(write);
    EXPECT_FALSE(write->readForm);
    EXPECT_EQ(write->page, 3);
    EXPECT_EQ(write->position, 3 * 256 + 0x80);
    EXPECT_EQ(write->DataCount(), 2);
    // The last group of a read line is its " ; ", even when the line lacks it.
    const auto read = ParseEepromLogLine(" W A0 10  R A1 55 66 ");
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->readForm);
    EXPECT_EQ(read->DataCount(), 1);
    // A line shorter than the second record's column is a write.
    const auto shortWrite = ParseEepromLogLine(" W A0 10 ");
    ASSERT_TRUE(shortWrite);
    EXPECT_FALSE(shortWrite->readForm);
    EXPECT_EQ(shortWrite->DataCount(), 0);
}

}  // namespace
