// Decoding captured transfers and writing them out as CSV or decoder text.
#include "monitor/transfer_decode.h"

#include <cinttypes>
#include <cstdio>

#include "eeprom/hex_text.h"

namespace monitor {

namespace {

constexpr std::uint8_t kLastReceivedBit = 0x08;

bool IsAddress(std::uint8_t type) { return (type & ~kLastReceivedBit) == hardware::kRecordAddress; }

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

std::optional<std::uint8_t> DecodedTransfer::Register() const {
    const TransferSegment& first = segments.front();
    if (first.Read() || first.bytes.empty()) return std::nullopt;
    return first.bytes.front();
}

int DecodedTransfer::Refusals() const {
    int n = 0;
    for (const TransferSegment& s : segments) {
        n += !s.addressAcked;
        for (std::size_t i = 0; i < s.acked.size(); ++i) {
            const bool endOfRead = s.Read() && i + 1 == s.acked.size();
            n += !s.acked[i] && !endOfRead;
        }
    }
    return n;
}

std::optional<DecodedTransfer> DecodeTransfer(std::span<const hardware::CaptureRecord> records, bool stopSeen,
                                              int recordsDropped) {
    if (records.empty() || !IsAddress(records.front().type)) return std::nullopt;
    DecodedTransfer t;
    t.stopSeen = stopSeen;
    t.recordsDropped = recordsDropped;
    for (const hardware::CaptureRecord& r : records) {
        const bool acked = !(r.type & kLastReceivedBit);
        if (IsAddress(r.type)) {
            t.segments.push_back({r.data, acked, {}, {}});
        } else {
            t.segments.back().bytes.push_back(r.data);
            t.segments.back().acked.push_back(acked);
        }
    }
    return t;
}

std::optional<DecodedTransfer> DecodeTransfer(const hardware::TransferBuffer& transfer) {
    return DecodeTransfer(transfer.Records(), transfer.StopSeen(), transfer.Dropped());
}

// The data bytes after the register, every segment's, segments apart by " | ".
std::string DataText(const DecodedTransfer& t) {
    std::string text;
    for (std::size_t i = 0; i < t.segments.size(); ++i) {
        TransferSegment segment = t.segments[i];
        if (i == 0 && t.Register()) segment.bytes.erase(segment.bytes.begin());
        if (segment.bytes.empty()) continue;
        if (!text.empty()) text += " | ";
        text += BytesText(segment);
    }
    return text;
}

std::string RepeatedText(const DecodedTransfer& t) {
    std::string text;
    for (std::size_t i = 1; i < t.segments.size(); ++i) {
        if (!text.empty()) text += ' ';
        text += eeprom::HexByte(t.segments[i].address);
    }
    return text;
}

std::string BytesText(const TransferSegment& segment) {
    std::string text;
    for (std::uint8_t b : segment.bytes) {
        if (!text.empty()) text += ' ';
        text += eeprom::HexByte(b);
    }
    return text;
}

std::string AcksText(const DecodedTransfer& transfer) {
    std::string text;
    for (std::size_t i = 0; i < transfer.segments.size(); ++i) {
        const TransferSegment& s = transfer.segments[i];
        std::string part = s.addressAcked ? "" : "N";
        for (bool a : s.acked) part += part.empty() ? (a ? "A" : "N") : (a ? " A" : " N");
        if (i > 0) text += " |";
        if (!part.empty()) text += (i > 0 ? " " : "") + part;
    }
    return text;
}

std::string SecondsText(std::int64_t timeUs) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, timeUs / 1000000, timeUs % 1000000);
    return text;
}

std::map<std::uint8_t, std::vector<int>> TransferRates(const std::deque<SeenTransfer>& items,
                                                       std::int64_t nowUs, int seconds) {
    std::map<std::uint8_t, std::vector<int>> rates;
    const std::int64_t from = nowUs - std::int64_t{seconds} * 1'000'000;
    // The newest are at the back: walk back until the window is left.
    for (auto it = items.rbegin(); it != items.rend() && it->timeUs > from; ++it) {
        if (it->timeUs > nowUs) continue;
        const auto bin = static_cast<std::size_t>((it->timeUs - from - 1) / 1'000'000);
        std::vector<int>& counts = rates[it->transfer.Address7()];
        if (counts.empty()) counts.assign(static_cast<std::size_t>(seconds), 0);
        ++counts[bin];
    }
    return rates;
}

namespace {

std::string RegisterText(const DecodedTransfer& t) {
    const std::optional<std::uint8_t> reg = t.Register();
    return reg ? eeprom::HexByte(*reg) : std::string();
}

std::string RegisterName(const DecodedTransfer& t, const RegisterNamer& names) {
    const std::optional<std::uint8_t> reg = t.Register();
    return reg && names ? names(static_cast<std::uint8_t>(t.Address() & 0xFE), *reg) : std::string();
}

}  // namespace

const std::array<TransferColumn, 11> kTransferColumns = {{
    {"#", "index", 5,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) { return std::to_string(s.index); }},
    {"Time (s)", "time_s", 10,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) { return SecondsText(s.timeUs); }},
    {"Addr", "address7", 4,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText form) {
         return (form == ColumnText::Window ? "0x" : "") + eeprom::HexByte(s.transfer.Address7());
     }},
    {"Addr 8-bit", "address8", 8,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) {
         return eeprom::HexByte(s.transfer.Address());
     }},
    {"R/W", "rw", 3,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) {
         return std::string(s.transfer.Read() ? "R" : "W");
     }},
    {"Rep. start", "repeated_start", 8,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) { return RepeatedText(s.transfer); }},
    {"Register", "register", 7,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) { return RegisterText(s.transfer); }},
    {"Bytes", "bytes", 16,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText form) {
         std::string text = DataText(s.transfer);
         if (form == ColumnText::Window && s.transfer.recordsDropped > 0)
             text += " (+" + std::to_string(s.transfer.recordsDropped) + " not kept)";
         return text;
     }},
    {"ACK", "acks", 10,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText) { return AcksText(s.transfer); }},
    {"STOP", "stop", 6,
     [](const SeenTransfer& s, const RegisterNamer&, ColumnText form) {
         return std::string(s.transfer.stopSeen ? "yes" : form == ColumnText::Window ? "missing" : "no");
     }},
    {"Name", "name", 20,
     [](const SeenTransfer& s, const RegisterNamer& names, ColumnText) {
         return RegisterName(s.transfer, names);
     }},
}};

std::string TransfersCsv(const std::vector<SeenTransfer>& transfers, const RegisterNamer& names) {
    std::string csv;
    for (const TransferColumn& column : kTransferColumns) {
        if (!csv.empty()) csv += ',';
        csv += column.csvKey;
    }
    csv += "\r\n";
    for (const SeenTransfer& seen : transfers) {
        for (std::size_t i = 0; i < kTransferColumns.size(); ++i) {
            if (i > 0) csv += ',';
            csv += CsvField(kTransferColumns[i].text(seen, names, ColumnText::Csv));
        }
        csv += "\r\n";
    }
    return csv;
}

std::string TransfersCaptureText(const std::vector<SeenTransfer>& transfers) {
    std::string text;
    auto line = [&](const std::string& event) { text += "i2c-1: " + event + "\n"; };
    auto ack = [&](bool acked) { line(acked ? "ACK" : "NACK"); };
    for (const SeenTransfer& seen : transfers) {
        const DecodedTransfer& t = seen.transfer;
        for (std::size_t i = 0; i < t.segments.size(); ++i) {
            const TransferSegment& s = t.segments[i];
            line(i == 0 ? "Start" : "Start repeat");
            line(std::string(s.Read() ? "Address read: " : "Address write: ") +
                 eeprom::HexByte(s.address >> 1));
            ack(s.addressAcked);
            for (std::size_t b = 0; b < s.bytes.size(); ++b) {
                line(std::string(s.Read() ? "Data read: " : "Data write: ") + eeprom::HexByte(s.bytes[b]));
                ack(s.acked[b]);
            }
        }
        if (t.stopSeen) line("Stop");
    }
    return text;
}

}  // namespace monitor
