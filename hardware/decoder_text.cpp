// The decoder text's lines and the transfers they make; see decoder_text.h.
#include "hardware/decoder_text.h"

#include <cctype>
#include <string_view>

namespace hardware {
namespace {

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

bool ParseDecoderLine(std::string_view line, DecoderLine& parsed) {
    parsed = DecoderLine{};
    line = Trim(line);
    parsed.ranged = TakeSampleRange(line, parsed.sample);
    return ParseLabelledEvent(line, parsed.ranged, parsed.event, parsed.ackLine);
}

void TransferAssembler::Open(const DecoderLine& line) {
    current_.clear();
    first_ = line.sample;
}

void TransferAssembler::Add(const DecoderLine& line) {
    BusEvent event = line.event;
    if (line.ackLine) {
        if (!current_.empty() && current_.back().kind == BusEvent::Kind::Byte)
            current_.back().acked = event.acked;
        return;
    }
    switch (event.kind) {
        case BusEvent::Kind::Start:
            Finish();  // a START without a STOP before it ends the transfer
            Open(line);
            current_.push_back(event);
            break;
        case BusEvent::Kind::RepeatedStart:
            if (current_.empty()) {
                Open(line);
                event.kind = BusEvent::Kind::Start;
            }
            current_.push_back(event);
            break;
        case BusEvent::Kind::Byte:
            if (current_.empty()) {
                Open(line);
                current_.push_back({BusEvent::Kind::Start, 0, true});
            }
            current_.push_back(event);
            break;
        case BusEvent::Kind::Stop:
            if (!current_.empty()) {
                current_.push_back(event);
                Finish();
            }
            break;
    }
}

void TransferAssembler::Finish() {
    if (current_.empty()) return;
    if (sink_) sink_(current_, first_);
    current_.clear();
}

}  // namespace hardware
