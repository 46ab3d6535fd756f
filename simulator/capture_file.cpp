// Reads the logic-analyzer I2C decoder text into second-master transfers.
// One event per line, with or without a decoder label ("i2c-1: Start");
// addresses are 7-bit there and become 8-bit bus bytes with the R/W bit.
// Lines that are not bus events (single bits, "Read", "Write", blanks) are
// skipped, so a whole decoder dump can be fed as it is.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/regular_file.h"
#include "simulator/simulated_bench.h"

namespace simulator {
namespace {

// The whole text is held in memory while it is parsed, so a capture has a
// ceiling: 64 MiB of decoder text is minutes of a 100 kHz bus at full load.
constexpr std::size_t kMaxCaptureBytes = 64u * 1024 * 1024;

std::string Trim(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::string& s, const char* prefix, std::string* rest) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= s.size()) return false;
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    if (rest) *rest = Trim(s.substr(i));
    return true;
}

bool EqualsNoCase(const std::string& s, const char* word) {
    return s.size() == std::char_traits<char>::length(word) && StartsWithNoCase(s, word, nullptr);
}

// One or two hexadecimal digits, nothing else.
bool ParseHexByte(const std::string& text, unsigned& value) {
    if (text.empty() || text.size() > 2) return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
}

// Turns one line into an event; false for anything else.
bool ParseEvent(const std::string& line, BusEvent& event, bool& ackLine) {
    ackLine = false;
    std::string arg;
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
        } else if (StartsWithNoCase(line, "Address read:", &arg) && ParseHexByte(arg, value) && value < 0x80) {
            event = {BusEvent::Kind::Byte, static_cast<std::uint8_t>((value << 1) | 1), true};
        } else if ((StartsWithNoCase(line, "Data write:", &arg) || StartsWithNoCase(line, "Data read:", &arg)) &&
                   ParseHexByte(arg, value)) {
            event = {BusEvent::Kind::Byte, static_cast<std::uint8_t>(value), true};
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseCaptureText(const std::string& text, std::vector<BusTransfer>& transfers) {
    transfers.clear();
    BusTransfer current;
    auto finish = [&] {
        if (!current.empty()) transfers.push_back(std::move(current));
        current.clear();
    };
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = Trim(raw);
        BusEvent event;
        bool ackLine = false;
        bool ok = ParseEvent(line, event, ackLine);
        if (!ok) {
            // A decoder label ("i2c-1: ") in front of the event.
            const std::size_t colon = line.find(": ");
            if (colon == std::string::npos || line.find(' ') < colon) continue;
            line = Trim(line.substr(colon + 2));
            ok = ParseEvent(line, event, ackLine);
            if (!ok) continue;
        }
        if (ackLine) {
            if (!current.empty() && current.back().kind == BusEvent::Kind::Byte) current.back().acked = event.acked;
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
