// Raw, Intel HEX and S-record image files; see image_formats.h. The readers
// are written here rather than taken from a library so that every refusal
// names its line and nothing ends the process (see the README).
#include "eeprom/image_formats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace eeprom {

namespace {

constexpr int kBytesPerLine = 16;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The record's bytes after its first `skip` characters; false on an odd
// count or a character that is not a hex digit.
bool HexBytes(const std::string& line, std::size_t skip, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if ((line.size() - skip) % 2 != 0) return false;
    for (std::size_t i = skip; i < line.size(); i += 2) {
        const int high = HexDigit(line[i]);
        const int low = HexDigit(line[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

class LineReader {
public:
    explicit LineReader(const QByteArray& data) : data_(data) {}
    // The next line without its CR/LF and surrounding blanks.
    bool Next(std::string& line) {
        if (pos_ >= data_.size()) return false;
        qsizetype end = data_.indexOf('\n', pos_);
        if (end < 0) end = data_.size();
        line.assign(data_.constData() + pos_, static_cast<std::size_t>(end - pos_));
        pos_ = end + 1;
        ++number_;
        const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
        while (!line.empty() && blank(static_cast<unsigned char>(line.back()))) line.pop_back();
        line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
        return true;
    }
    int Number() const { return number_; }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
    int number_ = 0;
};

std::string AtLine(const std::string& name, int line, const std::string& what) {
    return name + " line " + std::to_string(line) + ": " + what;
}

// Collects the data records: every byte lands at its address less the span's
// base, and the first one before the base or at or past the span's end stops
// the file. A byte given twice must be given the same value both times.
class ImageBuilder {
public:
    ImageBuilder(const ImageSpan& span, std::vector<std::uint8_t>& bytes, bool* beforeSpan)
        : span_(span), bytes_(bytes), beforeSpan_(beforeSpan) {
        bytes_.clear();
        if (span_.defined) span_.defined->clear();
        if (beforeSpan_) *beforeSpan_ = false;
    }
    // False with the reason (for the line's sentence) when the record does not fit.
    bool Put(std::uint32_t fileAddress, const std::uint8_t* data, std::size_t n, int line, std::string& why) {
        if (n == 0) return true;
        if (fileAddress < span_.base) {
            char base[16];
            std::snprintf(base, sizeof base, "0x%X", span_.base);
            why =
                std::string("data before ") + base + ", where " + span_.name + " starts; nothing was written";
            if (beforeSpan_) *beforeSpan_ = true;
            return false;
        }
        const std::size_t address = fileAddress - span_.base;
        if (address + n > static_cast<std::size_t>(span_.size)) {
            why = "data beyond " + span_.name + "'s end (" + span_.extent + "); nothing was written";
            return false;
        }
        if (bytes_.size() < address + n) {
            bytes_.resize(address + n, 0xFF);
            lineOf_.resize(address + n, 0);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = address + i;
            if (lineOf_[at] != 0 && bytes_[at] != data[i]) {
                char text[160];
                std::snprintf(
                    text, sizeof text,
                    "gives address 0x%zX the value %02X where line %d gave it %02X; nothing was written",
                    at + span_.base, data[i], lineOf_[at], bytes_[at]);
                why = text;
                return false;
            }
            bytes_[at] = data[i];
            lineOf_[at] = line;
        }
        if (span_.defined) {
            span_.defined->resize(bytes_.size(), false);
            std::fill_n(span_.defined->begin() + static_cast<std::ptrdiff_t>(address), n, true);
        }
        return true;
    }
    bool Empty() const { return bytes_.empty(); }

private:
    const ImageSpan& span_;
    std::vector<std::uint8_t>& bytes_;
    bool* beforeSpan_;
    std::vector<int> lineOf_;  // the line that gave each byte, 0 for none
};

// What keeps a file from being read as HEX or S-record text at all: a
// byte-order mark or UTF-16 (an editor's choice the readers would otherwise
// take for a bad first line, or a sniffer for a raw image). Empty when none.
std::string TextProblem(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF"))
        return "the file starts with a UTF-8 byte-order mark; save it as plain ASCII text without one";
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF") || data.contains('\0'))
        return "the file is UTF-16 text or binary, not ASCII; save it as plain ASCII text";
    return {};
}

// Count: an S-record count (S5/S6) that matched the data records before it;
// as the file's last record it closes the file as an end record does.
enum class Record { Data, Count, End, Refused };

// Reads a HEX or S-record file line by line, `onRecord` decoding each
// record, and checks what both formats share: ASCII text, no comment lines,
// the end record (or a closing count) last, and data before it.
template <typename OnRecord>
bool DecodeRecords(const QByteArray& data, const std::string& name, const char* missingEnd,
                   const ImageBuilder& image, std::string& error, OnRecord onRecord) {
    if (const std::string problem = TextProblem(data); !problem.empty()) {
        error = name + ": " + problem;
        return false;
    }
    LineReader reader(data);
    std::string line;
    int end = 0;  // the end record's line
    bool closedByCount = false;
    while (reader.Next(line)) {
        if (line.empty()) continue;
        const int n = reader.Number();
        if (end != 0) {
            error = AtLine(name, n, "a record after the end record of line " + std::to_string(end));
            return false;
        }
        if (line[0] == ';' || line[0] == '#') {
            error = AtLine(name, n, "a comment line, which these files cannot hold");
            return false;
        }
        const Record record = onRecord(line, n);
        if (record == Record::Refused) return false;
        if (record == Record::End) end = n;
        closedByCount = record == Record::Count;
    }
    if (end == 0 && !closedByCount) {
        // A file cut short (a copy that stopped half way) must not program half a chip.
        error = name + ": " + missingEnd + "; the file may be cut short";
        return false;
    }
    if (image.Empty()) {
        error = name + ": the file holds no data";
        return false;
    }
    return true;
}

bool DecodeIntelHex(const QByteArray& data, const ImageSpan& span, const std::string& name,
                    std::vector<std::uint8_t>& bytes, std::string& error, bool* beforeSpan) {
    ImageBuilder image(span, bytes, beforeSpan);
    std::vector<std::uint8_t> record;
    std::uint32_t upper = 0;  // from extended segment (type 02) or linear (type 04) records
    bool segmented = false;   // the last address record was a segment (02) one
    const auto refuse = [&](int n, const std::string& what) {
        error = AtLine(name, n, what);
        return Record::Refused;
    };
    return DecodeRecords(
        data, name, "the end-of-file record is missing", image, error, [&](const std::string& line, int n) {
            if (line[0] != ':' || !HexBytes(line, 1, record) || record.size() < 5 ||
                record.size() != 5u + record[0])
                return refuse(n, "not an Intel HEX record");
            std::uint8_t sum = 0;
            for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
            if (sum != 0) return refuse(n, "bad checksum");
            const std::uint32_t offset = static_cast<std::uint32_t>(record[1] << 8 | record[2]);
            const std::uint8_t* payload = record.data() + 4;
            std::string why;
            switch (record[3]) {
                case 0x00:
                    // Inside a segment the offset wraps from FFFF to 0000: such a record
                    // would not be the run of addresses it looks like.
                    if (segmented && offset + record[0] > 0x10000u)
                        return refuse(n, "a data record that runs past its 64 KiB segment's end, where the "
                                         "format wraps to the segment's start; split it at the boundary");
                    if (!image.Put(upper + offset, payload, record[0], n, why)) return refuse(n, why);
                    break;
                case 0x01:
                    return Record::End;
                case 0x02:
                case 0x04:
                    if (record[0] != 2) return refuse(n, "an address record needs two data bytes");
                    upper = static_cast<std::uint32_t>(payload[0] << 8 | payload[1])
                            << (record[3] == 0x02 ? 4 : 16);
                    segmented = record[3] == 0x02;
                    break;
                case 0x03:
                case 0x05:
                    break;  // start addresses mean nothing to a memory chip
                default:
                    return refuse(n, "unknown record type " + std::to_string(record[3]));
            }
            return Record::Data;
        });
}

bool DecodeSRecord(const QByteArray& data, const ImageSpan& span, const std::string& name,
                   std::vector<std::uint8_t>& bytes, std::string& error, bool* beforeSpan) {
    ImageBuilder image(span, bytes, beforeSpan);
    std::vector<std::uint8_t> record;
    const auto refuse = [&](int n, const std::string& what) {
        error = AtLine(name, n, what);
        return Record::Refused;
    };
    std::uint32_t dataRecords = 0;  // S1/S2/S3 so far, for the count records
    return DecodeRecords(
        data, name, "neither a termination record (S7, S8 or S9) nor a count record (S5 or S6) ends it",
        image, error, [&](const std::string& line, int n) {
            const char type = line.size() > 1 ? line[1] : '?';
            if ((line[0] != 'S' && line[0] != 's') || type < '0' || type > '9' || type == '4' ||
                !HexBytes(line, 2, record) || record.empty() || record.size() != 1u + record[0])
                return refuse(n, "not an S-record");
            std::uint8_t sum = 0;
            for (std::size_t i = 0; i + 1 < record.size(); ++i)
                sum = static_cast<std::uint8_t>(sum + record[i]);
            if (static_cast<std::uint8_t>(~sum) != record.back()) return refuse(n, "bad checksum");
            // Address bytes per record type: S0/S1/S5/S9 two, S2/S6/S8 three, S3/S7 four.
            static constexpr int kAddressBytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
            const int addressBytes = kAddressBytes[type - '0'];
            if (record.size() < static_cast<std::size_t>(addressBytes) + 2)
                return refuse(n, "record too short for its address");
            if (type >= '7') return Record::End;
            std::uint32_t address = 0;
            for (int i = 0; i < addressBytes; ++i)
                address = address << 8 | record[1 + static_cast<std::size_t>(i)];
            if (type == '5' || type == '6') {
                // The count of data records before it: a file without a termination
                // record (what srec_cat writes by default) is whole when it matches.
                if (address != dataRecords)
                    return refuse(n, "the count record gives " + std::to_string(address) +
                                         " data records where the file holds " + std::to_string(dataRecords) +
                                         " before it; records were lost or added");
                return Record::Count;
            }
            if (type == '0') return Record::Data;  // the header
            ++dataRecords;
            const std::size_t length = record.size() - 2 - static_cast<std::size_t>(addressBytes);
            std::string why;
            if (!image.Put(address, record.data() + 1 + addressBytes, length, n, why)) return refuse(n, why);
            return Record::Data;
        });
}

void AppendHexByte(QByteArray& out, std::uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    out.append(kDigits[byte >> 4]).append(kDigits[byte & 15]);
}

}  // namespace

bool ParseImageFormat(const std::string& name, ImageFormat& format) {
    const std::string key = Lower(name);
    if (key == "raw" || key == "bin") {
        format = ImageFormat::Raw;
    } else if (key == "hex" || key == "ihex") {
        format = ImageFormat::IntelHex;
    } else if (key == "srec" || key == "s19" || key == "mot") {
        format = ImageFormat::SRecord;
    } else {
        return false;
    }
    return true;
}

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::IntelHex:
            return "ihex";
        case ImageFormat::SRecord:
            return "srec";
        case ImageFormat::Raw:
            break;
    }
    return "raw";
}

ImageFormat DetectImageFormat(const QByteArray& data) {
    // A byte-order mark does not hide HEX or S-record text; the reader then
    // refuses the file for it rather than have it written to a chip as bytes.
    QByteArray head = data.left(4096);
    if (head.startsWith("\xEF\xBB\xBF")) {
        head.remove(0, 3);
    } else if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        head.remove(0, 2);
        head.replace('\0', QByteArray());
    }
    qsizetype i = 0;
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    if (i < head.size() && head[i] == ':') return ImageFormat::IntelHex;
    if (i + 1 < head.size() && (head[i] == 'S' || head[i] == 's') && head[i + 1] >= '0' && head[i + 1] <= '9')
        return ImageFormat::SRecord;
    return ImageFormat::Raw;
}

std::optional<ImageFormat> ImageFormatNamed(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    ImageFormat format = ImageFormat::Raw;
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        !ParseImageFormat(path.substr(dot + 1), format))
        return std::nullopt;
    return format;
}

ImageFormat ImageFormatForPath(const std::string& path) {
    return ImageFormatNamed(path).value_or(ImageFormat::Raw);
}

ImageFormat ImageFormatToRead(const QByteArray& data, const std::string& path) {
    return ImageFormatNamed(path).value_or(DetectImageFormat(data));
}

bool DecodeImage(const QByteArray& data, ImageFormat format, const ImageSpan& span, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error, bool* beforeSpan) {
    switch (format) {
        case ImageFormat::IntelHex:
            return DecodeIntelHex(data, span, name, bytes, error, beforeSpan);
        case ImageFormat::SRecord:
            return DecodeSRecord(data, span, name, bytes, error, beforeSpan);
        case ImageFormat::Raw:
            break;
    }
    if (beforeSpan) *beforeSpan = false;
    bytes.assign(data.begin(), data.end());
    if (span.defined) span.defined->assign(bytes.size(), true);
    return true;
}

bool DecodeImage(const QByteArray& data, ImageFormat format, int capacity, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error) {
    char extent[32];
    std::snprintf(extent, sizeof extent, "0x%X bytes", capacity);
    return DecodeImage(data, format, ImageSpan{0, capacity, "the chip", extent}, name, bytes, error);
}

QByteArray EncodeImage(const std::vector<std::uint8_t>& bytes, ImageFormat format) {
    if (format == ImageFormat::Raw)
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QByteArray out;
    const bool hex = format == ImageFormat::IntelHex;
    // Addresses past 16 bits: HEX gives the upper 16 in an extended linear
    // address record (type 04) before each 64 KiB, S-record turns to S2
    // (24-bit) or S3 (32-bit) data records with their S8 or S7 end.
    const int addressBytes = bytes.size() <= 0x10000 ? 2 : bytes.size() <= 0x1000000 ? 3 : 4;
    auto append = [&out, hex](const char* type, const std::vector<std::uint8_t>& record) {
        std::uint8_t sum = 0;
        for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
        out.append(type);
        for (std::uint8_t b : record) AppendHexByte(out, b);
        AppendHexByte(out, hex ? static_cast<std::uint8_t>(-sum) : static_cast<std::uint8_t>(~sum));
        out.append('\n');
    };
    if (!hex) out.append("S00D00006D65726C69782D636C69FC\n");  // header "merlix-cli"
    for (std::size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
        const std::size_t n = std::min<std::size_t>(kBytesPerLine, bytes.size() - at);
        std::vector<std::uint8_t> record;
        if (hex) {
            if (at > 0 && at % 0x10000 == 0)
                append(":", {2, 0, 0, 0x04, static_cast<std::uint8_t>(at >> 24),
                             static_cast<std::uint8_t>(at >> 16)});
            record = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(at >> 8),
                      static_cast<std::uint8_t>(at), 0x00};
        } else {
            record = {static_cast<std::uint8_t>(n + 1 + addressBytes)};
            for (int k = addressBytes - 1; k >= 0; --k)
                record.push_back(static_cast<std::uint8_t>(at >> (8 * k)));
        }
        record.insert(record.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        append(hex ? ":" : addressBytes == 2 ? "S1" : addressBytes == 3 ? "S2" : "S3", record);
    }
    if (hex) {
        out.append(":00000001FF\n");
    } else {
        const std::vector<std::uint8_t> end(static_cast<std::size_t>(addressBytes + 1), 0);
        std::vector<std::uint8_t> record = end;
        record[0] = static_cast<std::uint8_t>(addressBytes + 1);
        append(addressBytes == 2 ? "S9" : addressBytes == 3 ? "S8" : "S7", record);
    }
    return out;
}

}  // namespace eeprom
