// Reading the bus monitor's log lines back. A line is a row of three-character
// groups: " W " or " R " before an address byte, "%02X " for every byte and
// " ; " after a byte the receiver did not acknowledge, so " W A2 10 11 22 " is
// a write to 0xA2 at word address 0x10. Two readers share this layout: the
// replay that copies EEPROM traffic into the image when the monitor stops, and
// the green/red marks raised when the user selects a line in the bus log.
//
// Every position computed from line text goes through InImage() before it
// touches an array: a line whose bytes run past offset 2047 stores and marks
// nothing beyond it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "eeprom/image.h"

namespace monitor {

using eeprom::Image;

// Width of one group of a log line (" W ", "A0 ", " ; ").
inline constexpr std::size_t kLogGroupWidth = 3;

// An EEPROM transfer as a log line shows it: " W Ax ww ..." (an addressed
// write) or " W Ax ww  R Ay ..." (a word address, then a repeated start for
// reading: the "read form").
struct EepromLogLine {
    bool readForm = false;
    int page = 0;           // 0..7, from the device address digit
    int position = 0;       // image offset of the first data byte
    std::size_t first = 0;  // character offset of the first data group
    std::size_t end = 0;    // offset past the last data group
    int DataCount() const { return static_cast<int>((end - first) / kLogGroupWidth); }
};

// Recognises the two EEPROM forms: s[1] = 'W', s[3] = 'A', and then the read
// form when s[10] = 'R'. A character beyond the end of the line is no match,
// so a line too short to hold the device digit s[4] (or holding anything but
// upper-case hex digits at s[4] and the word address s[6]s[7]) is no EEPROM
// line at all. A line that ends after the address record (" W A4 ", or
// " W A4  ; " when refused) is the write form with no data: it names the page.
//
// Data groups start at 15 (read form) or 9 (write form) and run while more
// than 3 (read) or 2 (write) characters remain: the last group of a read line
// is the " ; " of the final, unacknowledged byte and is not data. A group that
// is not a byte (the " ; " after a refused written byte, or a further " R "
// record) ends the data: storing the marker's text as a byte would put a value
// in the image that was never on the bus.
std::optional<EepromLogLine> ParseEepromLogLine(std::string_view line);

// The byte value of the data group at `offset` (two hex digits).
int LogGroupValue(std::string_view line, std::size_t offset);

// Marks from a selected bus-log line, on `marks` with the values of `image`;
// `page` is the page on show (used by the third case). Exactly one case
// applies:
//  1. read form: from the word address on, each data byte turns its image
//     byte green (1) when it is unmarked or yellow (0 or 2) and moves on; a
//     byte already green or red (1 or 4) stops the advance;
//  2. write form: the same, over the written bytes;
//  3. s[1] = 'W' and s[3] not 'A' (a register device): every green byte of the
//     current page whose value occurs among the line's bytes from offset 9
//     turns red (4).
// Returns whether the line matched a case; other lines change nothing.
bool MarkFromLogLine(std::string_view line, int page, const Image& image, Image& marks);

}  // namespace monitor
