// Raw, Intel HEX and S-record image files; see image_formats.h. The readers
// are written here rather than taken from a library so that every refusal
// names its line and nothing ends the process (see the README).
#include "eeprom/image_formats.h"

#include <QFileInfo>

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

// Collects the data records: every byte lands at its address, and the first
// one at or past the chip's end stops the file.
class ImageBuilder {
public:
    ImageBuilder(int capacity, std::vector<std::uint8_t>& bytes) : capacity_(capacity), bytes_(bytes) {
        bytes_.clear();
    }
    bool Put(std::uint32_t address, const std::uint8_t* data, std::size_t n) {
        if (n == 0) return true;
        if (address + n > static_cast<std::uint32_t>(capacity_)) return false;
        if (bytes_.size() < address + n) bytes_.resize(address + n, 0xFF);
        std::copy(data, data + n, bytes_.begin() + address);
        return true;
    }

private:
    int capacity_;
    std::vector<std::uint8_t>& bytes_;
};

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

std::string Beyond(int capacity) {
    char text[96];
    std::snprintf(text, sizeof text, "data beyond the chip's end (0x%X bytes); nothing was written",
                  capacity);
    return text;
}

bool DecodeIntelHex(const QByteArray& data, int capacity, const std::string& name,
                    std::vector<std::uint8_t>& bytes, std::string& error) {
    ImageBuilder image(capacity, bytes);
    LineReader reader(data);
    std::string line;
    std::vector<std::uint8_t> record;
    std::uint32_t upper = 0;  // from extended segment (type 02) or linear (type 04) records
    while (reader.Next(line)) {
        if (line.empty()) continue;
        const int n = reader.Number();
        if (line[0] != ':' || !HexBytes(line, 1, record) || record.size() < 5 ||
            record.size() != 5u + record[0]) {
            error = AtLine(name, n, "not an Intel HEX record");
            return false;
        }
        std::uint8_t sum = 0;
        for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0) {
            error = AtLine(name, n, "bad checksum");
            return false;
        }
        const std::uint32_t offset = static_cast<std::uint32_t>(record[1] << 8 | record[2]);
        const std::uint8_t* payload = record.data() + 4;
        switch (record[3]) {
            case 0x00:
                if (!image.Put(upper + offset, payload, record[0])) {
                    error = AtLine(name, n, Beyond(capacity));
                    return false;
                }
                break;
            case 0x01:
                return true;
            case 0x02:
            case 0x04:
                if (record[0] != 2) {
                    error = AtLine(name, n, "an address record needs two data bytes");
                    return false;
                }
                upper = static_cast<std::uint32_t>(payload[0] << 8 | payload[1])
                        << (record[3] == 0x02 ? 4 : 16);
                break;
            case 0x03:
            case 0x05:
                break;  // start addresses mean nothing to a memory chip
            default:
                error = AtLine(name, n, "unknown record type " + std::to_string(record[3]));
                return false;
        }
    }
    // A file cut short (a copy that stopped half way) must not program half a chip.
    error = name + ": the end-of-file record is missing; the file may be cut short";
    return false;
}

bool DecodeSRecord(const QByteArray& data, int capacity, const std::string& name,
                   std::vector<std::uint8_t>& bytes, std::string& error) {
    ImageBuilder image(capacity, bytes);
    LineReader reader(data);
    std::string line;
    std::vector<std::uint8_t> record;
    while (reader.Next(line)) {
        if (line.empty()) continue;
        const int n = reader.Number();
        const char type = line.size() > 1 ? line[1] : '?';
        if ((line[0] != 'S' && line[0] != 's') || type < '0' || type > '9' || type == '4' ||
            !HexBytes(line, 2, record) || record.empty() || record.size() != 1u + record[0]) {
            error = AtLine(name, n, "not an S-record");
            return false;
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i + 1 < record.size(); ++i) sum = static_cast<std::uint8_t>(sum + record[i]);
        if (static_cast<std::uint8_t>(~sum) != record.back()) {
            error = AtLine(name, n, "bad checksum");
            return false;
        }
        // Address bytes per record type: S0/S1/S5/S9 two, S2/S6/S8 three, S3/S7 four.
        static constexpr int kAddressBytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
        const int addressBytes = kAddressBytes[type - '0'];
        if (record.size() < static_cast<std::size_t>(addressBytes) + 2) {
            error = AtLine(name, n, "record too short for its address");
            return false;
        }
        if (type >= '7') return true;
        if (type < '1' || type > '3') continue;  // header and count records
        std::uint32_t address = 0;
        for (int i = 0; i < addressBytes; ++i)
            address = address << 8 | record[1 + static_cast<std::size_t>(i)];
        const std::size_t length = record.size() - 2 - static_cast<std::size_t>(addressBytes);
        if (!image.Put(address, record.data() + 1 + addressBytes, length)) {
            error = AtLine(name, n, Beyond(capacity));
            return false;
        }
    }
    error = name + ": the termination record (S7, S8 or S9) is missing; the file may be cut short";
    return false;
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
    qsizetype i = 0;
    while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i]))) ++i;
    if (i < data.size() && data[i] == ':') return ImageFormat::IntelHex;
    if (i + 1 < data.size() && (data[i] == 'S' || data[i] == 's') && data[i + 1] >= '0' && data[i + 1] <= '9')
        return ImageFormat::SRecord;
    return ImageFormat::Raw;
}

ImageFormat ImageFormatForPath(const QString& path) {
    ImageFormat format = ImageFormat::Raw;
    ParseImageFormat(QFileInfo(path).suffix().toStdString(), format);
    return format;
}

bool DecodeImage(const QByteArray& data, ImageFormat format, int capacity, const std::string& name,
                 std::vector<std::uint8_t>& bytes, std::string& error) {
    switch (format) {
        case ImageFormat::IntelHex:
            return DecodeIntelHex(data, capacity, name, bytes, error);
        case ImageFormat::SRecord:
            return DecodeSRecord(data, capacity, name, bytes, error);
        case ImageFormat::Raw:
            break;
    }
    bytes.assign(data.begin(), data.end());
    return true;
}

QByteArray EncodeImage(const std::vector<std::uint8_t>& bytes, ImageFormat format) {
    if (format == ImageFormat::Raw)
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QByteArray out;
    const bool hex = format == ImageFormat::IntelHex;
    if (!hex) out.append("S00D00006D65726C69782D636C69FC\n");  // header "merlix-cli"
    for (std::size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
        const std::size_t n = std::min<std::size_t>(kBytesPerLine, bytes.size() - at);
        std::vector<std::uint8_t> record;
        if (hex) {
            record = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(at >> 8),
                      static_cast<std::uint8_t>(at), 0x00};
        } else {
            record = {static_cast<std::uint8_t>(n + 3), static_cast<std::uint8_t>(at >> 8),
                      static_cast<std::uint8_t>(at)};
        }
        record.insert(record.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        std::uint8_t sum = 0;
        for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
        out.append(hex ? ":" : "S1");
        for (std::uint8_t b : record) AppendHexByte(out, b);
        AppendHexByte(out, hex ? static_cast<std::uint8_t>(-sum) : static_cast<std::uint8_t>(~sum));
        out.append('\n');
    }
    out.append(hex ? ":00000001FF\n" : "S9030000FC\n");
    return out;
}

}  // namespace eeprom
