// Reading bus-log lines back: the EEPROM forms and the marks of a selected line.
#include "monitor/log_line_marks.h"

#include "eeprom/hex_text.h"

namespace monitor {

using namespace eeprom;

namespace {

// s[i] = c, where a character beyond the end matches nothing.
bool CharIs(std::string_view s, std::size_t i, char c) { return i < s.size() && s[i] == c; }

bool HexAt(std::string_view s, std::size_t i) { return i < s.size() && IsUpperHexDigit(s[i]); }

bool GroupIsByte(std::string_view s, std::size_t offset) { return HexAt(s, offset) && HexAt(s, offset + 1); }

constexpr std::size_t kDeviceDigit = 4;
constexpr std::size_t kWordAddress = 6;
constexpr std::size_t kSecondRecord = 10;
constexpr std::size_t kReadDataStart = 15;
constexpr std::size_t kWriteDataStart = 9;
constexpr std::size_t kValueFieldsStart = 9;

}  // namespace

int LogGroupValue(std::string_view line, std::size_t offset) {
    return HexDigitsToValue(line.substr(offset, 2));
}

std::optional<EepromLogLine> ParseEepromLogLine(std::string_view line) {
    if (!CharIs(line, 1, 'W') || !CharIs(line, 3, 'A')) return std::nullopt;
    if (!HexAt(line, kDeviceDigit)) return std::nullopt;

    EepromLogLine parsed;
    // "0" + the low digit of the device address: the block select bits and
    // the direction bit; the page is the block.
    const char digit[2] = {'0', line[kDeviceDigit]};
    parsed.page = HexDigitsToValue(std::string_view(digit, 2)) / 2;
    parsed.position = parsed.page * kPageSize;

    // An address record alone (a probe of an absent chip, acknowledge polling
    // during a write cycle) still names the device: it sets the page and
    // carries no data. The monitor shows it as " W A4 ", or with the " ; " of
    // the refused address after it.
    if (line.size() <= kWordAddress || CharIs(line, kWordAddress, ' ')) {
        parsed.first = parsed.end = line.size();
        return parsed;
    }
    if (!GroupIsByte(line, kWordAddress)) return std::nullopt;
    parsed.readForm = CharIs(line, kSecondRecord, 'R');
    parsed.position += LogGroupValue(line, kWordAddress);

    // The trailing group a data group must leave behind: a read line ends
    // with the " ; " of its last byte, a write line with nothing.
    const std::size_t keep = parsed.readForm ? 3 : 2;
    parsed.first = parsed.readForm ? kReadDataStart : kWriteDataStart;
    parsed.end = parsed.first;
    while (parsed.end < line.size() && line.size() - parsed.end > keep && GroupIsByte(line, parsed.end)) {
        parsed.end += kLogGroupWidth;
    }
    return parsed;
}

bool MarkFromLogLine(std::string_view line, int page, const Image& image, Image& marks) {
    if (const auto parsed = ParseEepromLogLine(line)) {
        int pos = parsed->position;
        for (int i = 0; i < parsed->DataCount() && marks.Holds(pos); ++i) {
            // A byte already green or red stops the run: it was seen earlier,
            // and the run only paints bytes not yet accounted for.
            if (marks[pos] == kMarkNone || marks[pos] == kMarkChanged) {
                marks[pos] = kMarkSeen;
                ++pos;
            }
        }
        return true;
    }
    // A " W A" line that is no EEPROM line (too short, not hex) is no case.
    if (!CharIs(line, 1, 'W') || CharIs(line, 3, 'A')) return false;
    if (!HoldsPageBytes(image, page, kPageSize) || !HoldsPageBytes(marks, page, kPageSize)) return true;
    const int base = page * kPageSize;
    for (std::size_t field = kValueFieldsStart; field + 1 < line.size(); field += kLogGroupWidth) {
        const int value = LogGroupValue(line, field);
        for (int offset = base; offset < base + kPageSize; ++offset) {
            if (marks[offset] == kMarkSeen && image[offset] == value) marks[offset] = kMarkMismatch;
        }
    }
    return true;
}

}  // namespace monitor
