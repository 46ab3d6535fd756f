// The verify report; see verify_report.h.
#include "eeprom/verify_report.h"

#include <algorithm>
#include <cstdio>

#include "eeprom/hex_text.h"

namespace eeprom {

namespace {

// The smallest power-of-two period, 16 bytes up to half the size, with which
// the read-back repeats: a chip that decodes fewer address bits than the
// chosen type answers the upper addresses with its lower ones. A blank run
// (one value throughout) repeats with every period and tells nothing, so it
// does not count.
int RepeatPeriod(const Image& read, int size) {
    if (std::all_of(read.begin(), read.begin() + size, [&](std::uint8_t b) { return b == read[0]; }))
        return 0;
    for (int period = 16; period <= size / 2; period *= 2) {
        if (size % period != 0) continue;
        bool repeats = true;
        for (int i = period; i < size && repeats; ++i) repeats = read[i] == read[i - period];
        if (repeats) return period;
    }
    return 0;
}

}  // namespace

VerifyReport BuildVerifyReport(const std::vector<std::uint8_t>& expected,
                               const std::vector<std::uint8_t>& read) {
    const auto size = static_cast<int>(std::min(expected.size(), read.size()));
    Image wanted{size};
    Image got{size};
    std::copy_n(expected.begin(), size, wanted.begin());
    std::copy_n(read.begin(), size, got.begin());
    return BuildVerifyReport(wanted, got, size);
}

VerifyReport BuildVerifyReport(const Image& expected, const Image& read, int size) {
    size = std::clamp(size, 0, std::min(expected.Size(), read.Size()));
    VerifyReport report;
    report.size = size;
    bool allFF = true, all00 = true, cleared = true, set = true;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t want = expected[i], got = read[i];
        if (want == got) continue;
        ++report.count;
        if (report.first.size() < kReportedDifferences) report.first.push_back({i, want, got});
        allFF = allFF && got == 0xFF;
        all00 = all00 && got == 0x00;
        cleared = cleared && (got & ~want) == 0;
        set = set && (want & ~got) == 0;
    }
    if (report.count == 0) return report;
    // The size reading first: a wrong chip type explains any other pattern
    // the aliased bytes happen to show.
    if ((report.repeatSize = RepeatPeriod(read, size)) > 0) {
        report.pattern = VerifyPattern::Repeats;
    } else if (allFF) {
        report.pattern = VerifyPattern::AllFF;
    } else if (all00) {
        report.pattern = VerifyPattern::All00;
    } else if (cleared) {
        report.pattern = VerifyPattern::BitsCleared;
    } else if (set) {
        report.pattern = VerifyPattern::BitsSet;
    }
    return report;
}

std::string FormatVerifyReport(const VerifyReport& report) {
    if (report.count == 0) return {};
    char line[128];
    std::string text;
    std::snprintf(line, sizeof line, "Verify failed: %d byte%s differ%s.\n", report.count,
                  report.count == 1 ? "" : "s", report.count == 1 ? "s" : "");
    text += line;
    switch (report.pattern) {
        case VerifyPattern::AllFF:
            text += "Every differing byte reads FF: the chip is not storing (write-protected, "
                    "not powered or not in the socket).\n";
            break;
        case VerifyPattern::All00:
            text += "Every differing byte reads 00: a chip of another type than the one chosen, a data "
                    "line stuck low, or a faulty chip.\n";
            break;
        case VerifyPattern::BitsCleared:
            text += "The read bytes only lost bits: weak or worn cells, or a write that did not finish.\n";
            break;
        case VerifyPattern::BitsSet:
            text += "The read bytes only gained bits: bits that would not program to 0 (worn or "
                    "partly erased cells).\n";
            break;
        case VerifyPattern::Repeats:
            std::snprintf(line, sizeof line,
                          "The contents read back repeat every %d bytes: the chip in the socket is "
                          "smaller than the type chosen (wrong chip type).\n",
                          report.repeatSize);
            text += line;
            break;
        case VerifyPattern::None:
            break;
    }
    // One sentence-like line per byte: a message box's proportional font
    // would misalign a table.
    text += "\n";
    for (const VerifyDifference& d : report.first) {
        std::snprintf(line, sizeof line, "%s: expected %02X, read %02X\n",
                      ChipAddressText(d.offset, report.size).substr(2).c_str(),
                      static_cast<unsigned>(d.expected), static_cast<unsigned>(d.read));
        text += line;
    }
    if (report.count > static_cast<int>(report.first.size())) {
        std::snprintf(line, sizeof line, "... and %d more.\n",
                      report.count - static_cast<int>(report.first.size()));
        text += line;
    }
    return text;
}

}  // namespace eeprom
