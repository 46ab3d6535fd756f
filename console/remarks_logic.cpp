// The remarks base: the sorted list, the line rules and the base files.
#include "console/remarks_logic.h"

#include <algorithm>
#include <unordered_set>

#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"

namespace console {

using namespace eeprom;

namespace {

unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// The insertion point a sorted list's binary search finds: after every entry
// that does not sort after `entry`.
std::size_t SortedPlace(const std::vector<std::string>& entries, const std::string& entry) {
    std::size_t low = 0;
    std::size_t high = entries.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (RemarkLess(entry, entries[mid])) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return low;
}

// Bytes [pos, pos+count) of `line`, as far as it reaches.
std::string Bytes(const std::string& line, std::size_t pos, std::size_t count = std::string::npos) {
    return pos < line.size() ? line.substr(pos, count) : std::string();
}

}  // namespace

bool RemarkLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
}

int RemarksList::AddSorted(std::string entry) {
    const std::size_t place = SortedPlace(entries_, entry);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(place), std::move(entry));
    return static_cast<int>(place);
}

void RemarksList::AddSortedMany(std::vector<std::string> added) {
    // Sorted among themselves, the new entries find non-decreasing places in
    // the old list (a binary search is monotonic in the searched value, in or
    // out of order), so one merge pass places them all.
    std::stable_sort(added.begin(), added.end(), RemarkLess);
    std::vector<std::size_t> places;
    places.reserve(added.size());
    for (const std::string& entry : added) places.push_back(SortedPlace(entries_, entry));

    std::vector<std::string> merged;
    merged.reserve(entries_.size() + added.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < added.size(); ++i) {
        while (next < places[i]) merged.push_back(std::move(entries_[next++]));
        merged.push_back(std::move(added[i]));
    }
    while (next < entries_.size()) merged.push_back(std::move(entries_[next++]));
    entries_ = std::move(merged);
}

int RemarksList::InsertAt(int index, std::string entry) {
    const int place = std::clamp(index, 0, Count());
    entries_.insert(entries_.begin() + place, std::move(entry));
    return place;
}

void RemarksList::DeleteAt(int index) {
    if (index < 0 || index >= Count()) return;
    entries_.erase(entries_.begin() + index);
}

void RemarksList::RemoveDuplicates() {
    std::vector<bool> keep(entries_.size());
    {
        std::unordered_set<std::string_view> seen;
        seen.reserve(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) keep[i] = seen.insert(entries_[i]).second;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!keep[i]) continue;
        if (out != i) entries_[out] = std::move(entries_[i]);
        ++out;
    }
    entries_.resize(out);
}

std::string RemarkKey(const std::string& address, const std::string& subAddress) {
    return address + " " + subAddress;
}

bool RemarkKeyMatches(const std::string& line, const std::string& key) {
    return key.size() == kRemarkKeyLength && line.compare(0, kRemarkKeyLength, key) == 0;
}

int FindRemark(const RemarksList& list, const std::string& key, int from) {
    for (int i = std::max(from, 0); i < list.Count(); ++i) {
        if (RemarkKeyMatches(list.At(i), key)) return i;
    }
    return -1;
}

std::string RegisterNote(const RemarksList& list, std::uint8_t address, std::uint8_t subAddress) {
    const int at = FindLastRemark(list, RemarkKey(eeprom::HexByte(address), eeprom::HexByte(subAddress)));
    if (at < 0) return {};
    const std::string& line = list.At(at);
    if (line.size() <= 9) return {};
    const std::size_t first = line.find_first_not_of(' ', 9);
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(' ') + 1 - first);
}

int FindLastRemark(const RemarksList& list, const std::string& key) {
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (RemarkKeyMatches(list.At(i), key)) return i;
    }
    return -1;
}

RemarkEdit AddRemark(RemarksList& list, const std::string& address, const std::string& subAddress,
                     const std::string& data, const std::string& note) {
    RemarkEdit edit;
    if (note.empty()) return edit;
    const std::string key = RemarkKey(address, subAddress);
    edit.removed = FindRemark(list, key);
    if (edit.removed >= 0) {
        // The register keeps the data value it was first noted with; only
        // the note changes.
        std::string renamed = key + " " + Bytes(list.At(edit.removed), 6, 3) + note;
        list.DeleteAt(edit.removed);
        edit.placed = list.AddSorted(std::move(renamed));
        return edit;
    }
    edit.placed = list.InsertAt(1, key + " " + data + " " + note);
    return edit;
}

std::optional<RemarkFields> ChooseRemark(const std::string& line) {
    const auto hexPair = [&line](std::size_t pos) {
        std::string field = Bytes(line, pos, 2);
        if (field.size() != 2) return std::string();
        for (char& c : field) {
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - ('a' - 'A'));
            if (!IsUpperHexDigit(c)) return std::string();
        }
        return field;
    };
    RemarkFields fields{hexPair(0), hexPair(3), hexPair(6), Bytes(line, 8)};
    if (fields.address.empty() || fields.subAddress.empty() || fields.data.empty()) return std::nullopt;
    return fields;
}

QString DisplayText(const std::string& bytes) {
    const QByteArray raw = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString text = QString::fromUtf8(raw);
    // Decoding and encoding back must give the same bytes; anything else
    // (invalid sequences, a byte-order mark the decoder would swallow) is
    // shown byte for byte.
    if (text.toUtf8() == raw) return text;
    return QString::fromLatin1(raw);
}

std::string BytesFromDisplay(const QString& text, const std::string& original) {
    if (DisplayText(original) == text) return original;
    return text.toUtf8().toStdString();
}

std::string RemarksFileBytes(const RemarksList& list) {
    std::string bytes;
    std::size_t total = 0;
    for (const std::string& entry : list.Entries()) total += entry.size() + 2;
    bytes.reserve(total);
    for (const std::string& entry : list.Entries()) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

std::vector<std::string> SplitRemarkLines(std::string_view bytes, int& cutLines, bool& capped) {
    cutLines = 0;
    capped = false;
    std::vector<std::string> lines;
    std::size_t start = 0;
    const auto take = [&](std::size_t end) {
        if (end == start) return true;
        if (lines.size() == kMaxRemarkFileLines) {
            capped = true;
            return false;
        }
        std::size_t length = end - start;
        if (length > kMaxRemarkLineBytes) {
            length = kMaxRemarkLineBytes;
            ++cutLines;
        }
        lines.emplace_back(bytes.substr(start, length));
        return true;
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        if (!take(i)) return lines;
        start = i + 1;
    }
    // A last line without CR LF is still a line of the base.
    take(bytes.size());
    return lines;
}

bool SaveRemarksFile(const QString& path, const RemarksList& list, std::string& error) {
    const std::string bytes = RemarksFileBytes(list);
    return WriteFileAtomically(path, bytes.data(), static_cast<qint64>(bytes.size()), error);
}

RemarksLoadResult LoadRemarksFile(const QString& path, RemarksList& list, std::string& error) {
    QByteArray bytes;
    bool fileCut = false;
    if (!ReadFileHead(path, kMaxRemarkFileBytes, bytes, fileCut, error, "load")) return {};

    int cutLines = 0;
    bool capped = false;
    std::vector<std::string> lines = SplitRemarkLines(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), cutLines, capped);
    RemarksLoadResult result;
    result.ok = true;
    result.linesRead = static_cast<int>(lines.size());
    if (fileCut) result.warning += "Only the first 16 MiB of the file were read. ";
    if (capped)
        result.warning += "Only the first " + std::to_string(kMaxRemarkFileLines) + " lines were taken. ";
    if (cutLines > 0) {
        result.warning += std::to_string(cutLines) + " line(s) longer than " +
                          std::to_string(kMaxRemarkLineBytes) + " bytes were cut. ";
    }
    if (!result.warning.empty()) result.warning.pop_back();

    list.AddSortedMany(std::move(lines));
    list.RemoveDuplicates();
    return result;
}

}  // namespace console
