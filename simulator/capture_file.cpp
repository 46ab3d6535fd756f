// Reads the logic-analyzer I2C decoder text into second-master transfers.
// One event per line, with or without a decoder label ("i2c-1: Start");
// addresses are 7-bit there and become 8-bit bus bytes with the R/W bit.
// Lines that are not bus events (single bits, "Read", "Write", blanks) are
// skipped, so a whole decoder dump can be fed as it is.
//
// The analyzer's window exports annotations in another form: the sample
// range, then the decoder and row names, then the text
// ("1234-5678 I²C: Address/data: Address write: 50"), sometimes with the
// annotation's shorter alternatives quoted after it. An export made row by
// row comes out of time order, so events with a sample range are put in the
// order of their first sample.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/regular_file.h"
#include "simulator/simulated_bench.h"

namespace simulator {
namespace {

// The whole text is held in memory while it is parsed, so a capture has a
// ceiling: 64 MiB of decoder text is minutes of a 100 kHz bus at full load.
constexpr std::size_t kMaxCaptureBytes = 64u * 1024 * 1024;

// Every helper below looks at views into the line and copies nothing, so a
// line is read in time proportional to its length however many labels and
// quoted alternatives it holds.
std::string_view Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix, std::string_view* rest) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    if (rest) *rest = Trim(s.substr(prefix.size()));
    return true;
}

bool EqualsNoCase(std::string_view s, std::string_view word) {
    return s.size() == word.size() && StartsWithNoCase(s, word, nullptr);
}

// One or two hexadecimal digits, nothing else.
bool ParseHexByte(std::string_view text, unsigned& value) {
    if (text.empty() || text.size() > 2) return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        value =
            value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
}

// Turns one event text into an event; false for anything else. Of quoted
// alternatives ("Address write: 50" "AW: 50" "AW") the first, longest, counts.
bool ParseEvent(std::string_view line, BusEvent& event, bool& ackLine) {
    ackLine = false;
    if (!line.empty() && line.front() == '"') {
        const std::size_t close = line.find('"', 1);
        if (close == std::string_view::npos) return false;
        line = Trim(line.substr(1, close - 1));
    }
    std::string_view arg;
    if (EqualsNoCase(line, "Start")) {
        event = {BusEvent::Kind::Start, 0, true};
    } else if (EqualsNoCase(line, "Start repeat")) {
        event = {BusEvent::Kind::RepeatedStart, 0, true};
    } else if (EqualsNoCase(line, "Stop")) {
        event = {BusEvent::Kind::Stop, 0, true};
    } else if (EqualsNoCase(line, "ACK") || EqualsNoCase(line, "NACK")) {
        ackLine = true;
        event = {BusEvent::Kind::Byte, 0, EqualsNoCase(line, "ACK")};
    } else {
        unsigned value = 0;
        if (StartsWithNoCase(line, "Address write:", &arg) && ParseHexByte(arg, value) && value < 0x80) {
            event = {BusEvent::Kind::Byte, static_cast<std::uint8_t>(value << 1), true};
        } else if (StartsWithNoCase(line, "Address read:", &arg) && ParseHexByte(arg, value) &&
                   value < 0x80) {
            event = {BusEvent::Kind::Byte, static_cast<std::uint8_t>((value << 1) | 1), true};
        } else if ((StartsWithNoCase(line, "Data write:", &arg) ||
                    StartsWithNoCase(line, "Data read:", &arg)) &&
                   ParseHexByte(arg, value)) {
            event = {BusEvent::Kind::Byte, static_cast<std::uint8_t>(value), true};
        } else {
            return false;
        }
    }
    return true;
}

// "1234-5678 " at the start of an annotation export line: takes it off and
// gives the first sample.
bool TakeSampleRange(std::string_view& line, std::uint64_t& first) {
    std::size_t i = 0;
    std::uint64_t value = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && i < 19) {
        value = value * 10 + static_cast<unsigned>(line[i] - '0');
        ++i;
    }
    if (i == 0 || i >= line.size() || line[i] != '-') return false;
    std::size_t j = i + 1;
    while (j < line.size() && std::isdigit(static_cast<unsigned char>(line[j]))) ++j;
    if (j == i + 1 || j >= line.size() || !std::isspace(static_cast<unsigned char>(line[j]))) return false;
    first = value;
    line = Trim(line.substr(j));
    return true;
}

// An event with labels in front of it. The decoder's own text has at most
// one, without blanks ("i2c-1: "); an annotation export has the decoder's and
// the row's names, which may hold blanks ("I²C: Address/data: "), so there
// the first ": " after which an event stands ends the labels.
bool ParseLabelledEvent(std::string_view line, bool annotation, BusEvent& event, bool& ackLine) {
    if (ParseEvent(line, event, ackLine)) return true;
    const std::size_t first = line.find(": ");
    if (first == std::string_view::npos) return false;
    if (!annotation) {
        if (line.substr(0, first).find(' ') != std::string_view::npos) return false;
        return ParseEvent(Trim(line.substr(first + 2)), event, ackLine);
    }
    for (std::size_t colon = first; colon != std::string_view::npos; colon = line.find(": ", colon + 1)) {
        if (ParseEvent(Trim(line.substr(colon + 2)), event, ackLine)) return true;
    }
    return false;
}

}  // namespace

bool ParseCaptureText(const std::string& text, std::vector<BusTransfer>& transfers) {
    struct Item {
        std::uint64_t sample = 0;
        BusEvent event;
        bool ackLine = false;
    };
    std::vector<Item> items;
    bool ranged = false;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        Item item;
        std::string_view line = Trim(std::string_view(text).substr(begin, end - begin));
        begin = end + 1;
        const bool annotation = TakeSampleRange(line, item.sample);
        ranged |= annotation;
        if (!annotation && !items.empty()) item.sample = items.back().sample;  // stays after the one before
        if (ParseLabelledEvent(line, annotation, item.event, item.ackLine)) items.push_back(item);
    }
    if (ranged) {
        std::stable_sort(items.begin(), items.end(),
                         [](const Item& a, const Item& b) { return a.sample < b.sample; });
    }

    transfers.clear();
    BusTransfer current;
    auto finish = [&] {
        if (!current.empty()) transfers.push_back(std::move(current));
        current.clear();
    };
    for (Item& item : items) {
        BusEvent& event = item.event;
        if (item.ackLine) {
            if (!current.empty() && current.back().kind == BusEvent::Kind::Byte)
                current.back().acked = event.acked;
            continue;
        }
        switch (event.kind) {
            case BusEvent::Kind::Start:
                finish();  // a START without a STOP before it ends the transfer
                current.push_back(event);
                break;
            case BusEvent::Kind::RepeatedStart:
                // A capture that begins inside a transfer opens it here.
                if (current.empty()) event.kind = BusEvent::Kind::Start;
                current.push_back(event);
                break;
            case BusEvent::Kind::Byte:
                if (current.empty()) current.push_back({BusEvent::Kind::Start, 0, true});
                current.push_back(event);
                break;
            case BusEvent::Kind::Stop:
                if (!current.empty()) {
                    current.push_back(event);
                    finish();
                }
                break;
        }
    }
    finish();
    return !transfers.empty();
}

bool ParseCaptureFile(const std::string& path, std::vector<BusTransfer>& transfers, std::string& error) {
    transfers.clear();
    std::string reason;
    const int fd = platform::OpenRegularFile(path, reason);
    if (fd < 0) {
        error = "cannot open the capture file " + path + ": " + reason;
        return false;
    }
    std::string text;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::strerror(errno);
            ::close(fd);
            error = "cannot read the capture file " + path + ": " + reason;
            return false;
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > kMaxCaptureBytes) {
            ::close(fd);
            error = "the capture file " + path + " is larger than 64 MiB, the most the bench plays";
            return false;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ParseCaptureText(text, transfers)) {
        error = "no I2C bus events in " + path;
        return false;
    }
    error.clear();
    return true;
}

}  // namespace simulator
