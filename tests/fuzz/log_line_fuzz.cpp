// Fuzzes the readers of the bus log's lines: the replay into the image when
// the monitor stops (every line of the input, first to last, as the history
// holds them) and the marks raised when a line is selected. Positions come
// from line text, so the arrays live on the heap, where a store past their end
// is caught; the replay must leave a valid page and device address behind and
// the marks must stay mark codes.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "eeprom/hex_text.h"
#include "monitor/log_line_marks.h"
#include "monitor/monitor_logic.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool IsMarkCode(std::uint8_t m) {
    return m == eeprom::kMarkNone || m == eeprom::kMarkSeen || m == eeprom::kMarkChanged ||
           m == eeprom::kMarkMismatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }

    auto image = std::make_unique<eeprom::Image>(eeprom::kImageSize);
    auto marks = std::make_unique<eeprom::Image>(eeprom::kImageSize);
    image->fill(0xFF);
    marks->fill(eeprom::kMarkNone);
    int page = 0;
    std::string deviceAddress = "A1";
    for (const std::string& line : lines) {
        if (monitor::ReplayLogLine(line, *image, *marks, page, deviceAddress)) {
            Check(page >= 0 && page < eeprom::kPageCount);
            Check(deviceAddress == eeprom::HexByte(0xA1 + 2 * page));
        }
    }
    // Selecting each line in turn, on the page the replay left on show; the
    // yellow marks of a compare are among what a selection meets.
    for (int i = 0; i < eeprom::kImageSize; i += 5) (*marks)[i] = eeprom::kMarkChanged;
    for (const std::string& line : lines) monitor::MarkFromLogLine(line, page, *image, *marks);
    for (std::uint8_t m : *marks) Check(IsMarkCode(m));
    return 0;
}
