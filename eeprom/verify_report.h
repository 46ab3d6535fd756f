// What a failed verify tells the technician beyond the red bytes: how many
// bytes differ, the first few as offset / expected / read, and a reading of
// the pattern when one fits, so a chip that stores nothing, a write-protected
// chip and a wrong chip type can be told apart at a glance.
#pragma once

#include <string>
#include <vector>

#include "eeprom/image.h"

namespace eeprom {

enum class VerifyPattern {
    None,         // no reading fits
    AllFF,        // every differing byte reads FF
    All00,        // every differing byte reads 00
    BitsCleared,  // the read bytes only lost bits (read = expected & something)
    BitsSet,      // the read bytes only gained bits
    Repeats,      // the read-back repeats with a smaller size: a smaller chip in the socket
};

struct VerifyDifference {
    int offset = 0;
    std::uint8_t expected = 0;
    std::uint8_t read = 0;
};

struct VerifyReport {
    int count = 0;                        // differing bytes
    std::vector<VerifyDifference> first;  // the first kReportedDifferences of them
    VerifyPattern pattern = VerifyPattern::None;
    int repeatSize = 0;  // for Repeats: the period of the read-back
    int size = 0;        // bytes compared: the offsets are printed with the digits it needs
};

inline constexpr int kReportedDifferences = 16;

// Compares bytes 0..size-1 (clamped to the image) of what was written with
// what was read back.
VerifyReport BuildVerifyReport(const Image& expected, const Image& read, int size);
// The same for two runs of bytes, over the length of the shorter.
VerifyReport BuildVerifyReport(const std::vector<std::uint8_t>& expected,
                               const std::vector<std::uint8_t>& read);

// The report as lines of text for a message box or stderr; empty when
// nothing differs.
std::string FormatVerifyReport(const VerifyReport& report);

}  // namespace eeprom
