// The bus monitor's capture pass, log lines, filter, history and replay.
#include "monitor/monitor_logic.h"

#include <algorithm>
#include <cctype>

#include "eeprom/hex_text.h"
#include "monitor/log_line_marks.h"

namespace monitor {

using namespace eeprom;

namespace {

// A log line in a fixed buffer, built piece by piece (every piece is three
// characters). A piece that would pass the limit is dropped and the line is
// marked cut, so the line ends at the last whole byte that fits.
class LineBuilder {
public:
    void Clear() {
        length_ = 0;
        cut_ = false;
    }
    void Piece(char a, char b, char c) {
        if (length_ + 3 > kMaxLogLineLength) {
            cut_ = true;
            return;
        }
        text_[length_] = a;
        text_[length_ + 1] = b;
        text_[length_ + 2] = c;
        length_ += 3;
    }
    void Byte(std::uint8_t value) { Piece(HexDigit(value >> 4), HexDigit(value), ' '); }
    void Records(std::span<const CaptureRecord> records) {
        for (const CaptureRecord& r : records) {
            if (cut_) return;
            if (r.type == hardware::kRecordAddress) Piece(' ', (r.data & 1) ? 'R' : 'W', ' ');
            Byte(r.data);
            if (r.type == hardware::kRecordUnacknowledged) Piece(' ', ';', ' ');
        }
    }
    std::string_view View() const { return {text_.data(), static_cast<std::size_t>(length_)}; }
    bool Cut() const { return cut_; }

private:
    std::array<char, kLogLineBufferSize> text_{};
    int length_ = 0;
    bool cut_ = false;
};

// The line begins with an address record: " W ..." or " R ...".
bool StartsWithAddress(std::string_view line) {
    return line.size() > 1 && (line[1] == 'W' || line[1] == 'R');
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

std::string BuildLogLine(std::span<const CaptureRecord> records) {
    LineBuilder line;
    line.Records(records);
    return std::string(line.View());
}

MonitorFilter FilterBytes(int value) {
    return {static_cast<std::uint8_t>(value | 1), static_cast<std::uint8_t>(value & ~1)};
}

void StartMonitor(hardware::BusSniffer& sniffer) { sniffer.StartWatching(); }

CapturePassStats MonitorPass(hardware::BusSniffer& sniffer, std::uint8_t filterRead, std::uint8_t filterWrite,
                             const LogLineSink& sink, const hardware::TransferSink& logged) {
    sniffer.RearmWatching();
    return CapturePass(sniffer, kPollReads, filterRead, filterWrite, sink, logged);
}

void StopMonitor(hardware::BusSniffer& sniffer) { sniffer.StopWatching(); }

CapturePassStats CapturePass(hardware::BusSniffer& sniffer, int reads, std::uint8_t filterRead,
                             std::uint8_t filterWrite, const LogLineSink& sink,
                             const hardware::TransferSink& logged) {
    CapturePassStats stats;
    LineBuilder line;
    const hardware::CaptureCount count =
        sniffer.CaptureTransfers(reads, [&](const hardware::TransferBuffer& transfer) {
            ++stats.transfers;
            stats.recordsDropped += transfer.Dropped();
            line.Clear();
            line.Records(transfer.Records());
            if (transfer.HasAddress(filterRead) || transfer.HasAddress(filterWrite)) {
                ++stats.linesFiltered;
                return;
            }
            if (!StartsWithAddress(line.View())) return;
            if (line.Cut() || transfer.Dropped() > 0) ++stats.linesCut;
            ++stats.linesLogged;
            if (sink) sink(line.View());
            if (logged) logged(transfer);
        });
    stats.statusReads = count.statusReads;
    stats.transfersCut = count.capturesCut;
    return stats;
}

bool HistoryHasPrefix(const std::vector<std::string>& entries, const std::string& line) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return StartsWithIgnoringCase(entry, line); });
}

int AppendToHistory(std::vector<std::string>& entries, const std::vector<std::string>& lines) {
    int appended = 0;
    for (const std::string& line : lines) {
        if (HistoryHasPrefix(entries, line)) continue;
        entries.push_back(line);
        ++appended;
        if (entries.size() == static_cast<std::size_t>(kHistoryLimit) + 1) entries.erase(entries.begin());
    }
    return appended;
}

bool ReplayLogLine(const std::string& line, Image& image, Image& marks, int& page,
                   std::string& deviceAddress) {
    const auto parsed = ParseEepromLogLine(line);
    if (!parsed) return false;
    page = parsed->page;
    deviceAddress = HexByte(page * 2 + 0xA1);
    int position = parsed->position;
    for (std::size_t group = parsed->first;
         group < parsed->end && image.Holds(position) && marks.Holds(position); group += kLogGroupWidth) {
        image[position] = static_cast<std::uint8_t>(LogGroupValue(line, group));
        marks[position] = kMarkSeen;
        ++position;
    }
    return true;
}

int ReplayLog(const std::vector<std::string>& lines, Image& image, Image& marks, int& page,
              std::string& deviceAddress) {
    int replayed = 0;
    for (const std::string& line : lines) {
        if (ReplayLogLine(line, image, marks, page, deviceAddress)) ++replayed;
    }
    return replayed;
}

}  // namespace monitor
