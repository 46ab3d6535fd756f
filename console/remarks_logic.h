// The remarks base without its window: the technician's notebook of bus
// registers, one line per (device address, sub-address) pair,
// "A0 10 5A note" (address, sub-address, data, note, one blank apart). The
// remarks combo (1060) mirrors a RemarksList: the window shows
// DisplayText(entry) for each entry and works by index.
//
// Bytes, not characters, are the truth. Base files are 8-bit text, and files
// written elsewhere use whatever 8-bit code page their system had, so an entry
// is kept as the exact bytes of its line: loading never loses or mangles a
// line, and a base loaded and saved again keeps its bytes. Character positions
// in the line rules (the key is the first five, the data 6-7, ...) are byte
// positions; the fields are ASCII in practice.
//
// Showing bytes as text: DisplayText() decodes an entry as UTF-8 when it is
// valid UTF-8, and otherwise as Latin-1, where every byte is one character,
// so nothing is dropped or replaced. BytesFromDisplay() goes back: text the
// user did not change returns the bytes it came from, new text becomes UTF-8.
// A saved base is therefore UTF-8 for everything typed in Merlix, and keeps
// the loaded bytes of the lines it read (docs/remarks-format.md).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace console {

// The combo's list. Adding sorts, inserting at an index does not; both are
// needed because the combo is sorted, yet "Add remarks" inserts new lines at
// index 1 unsorted.
class RemarksList {
public:
    // One blank entry, as at start.
    RemarksList() : entries_(1) {}

    const std::vector<std::string>& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& At(int index) const { return entries_.at(static_cast<std::size_t>(index)); }

    // Places `entry` where a sorted list would: a binary search with a
    // case-insensitive comparison (ASCII letters fold, other bytes compare by
    // value), after any entries equal to it. Like any sorted combo, it
    // trusts the list to be in order; in a list that is not, the entry
    // lands where the search ends. Returns its index.
    int AddSorted(std::string entry);
    // Adds many entries in sorted places at once, in O(n log n): the result
    // equals adding them one by one when the list is in order. (In a list out
    // of order each entry's place is searched among the entries that were
    // there before the call.)
    void AddSortedMany(std::vector<std::string> entries);
    // Inserts at `index` (clamped to 0..Count()) without sorting; returns
    // the index used.
    int InsertAt(int index, std::string entry);
    // Deletes the entry at `index`; an index out of range changes nothing.
    void DeleteAt(int index);
    // For each entry from the first, later entries with exactly its bytes are
    // deleted; the first copy stays where it is. Linear time.
    void RemoveDuplicates();
    void Clear() { entries_.clear(); }

private:
    std::vector<std::string> entries_;
};

// Case-insensitive order of the sorted list (ASCII letters fold).
bool RemarkLess(const std::string& a, const std::string& b);

inline constexpr std::size_t kRemarkKeyLength = 5;

// The key of a remark line: address + " " + sub-address.
std::string RemarkKey(const std::string& address, const std::string& subAddress);
// The first five bytes of `line` equal `key` exactly. A key that is not five
// characters long (a field shorter than two) matches no line.
bool RemarkKeyMatches(const std::string& line, const std::string& key);
// Index of the first entry at or after `from` matching `key`, or -1.
int FindRemark(const RemarksList& list, const std::string& key, int from = 0);
// Index of the last entry matching `key`, or -1: the hex view and the console
// select every match in turn, so the last one wins.
int FindLastRemark(const RemarksList& list, const std::string& key);

// The note of the register line for (address, subAddress), both 8-bit
// values written as the console does ("A0", "10"): the bytes from 9 on, blanks
// at either end taken off, of the last matching line (the one the hex view
// and the console would select). Empty when there is none.
std::string RegisterNote(const RemarksList& list, std::uint8_t address, std::uint8_t subAddress);

// What "Add remarks" did to the list, so that the combo can do the same:
// `removed` is the index of the line that was taken out (-1: none), `placed`
// the index where the new line now is (-1: nothing changed).
struct RemarkEdit {
    int removed = -1;
    int placed = -1;
};

// "Add remarks" on the list. An empty note changes nothing. When a line with
// the key exists (first match), it is renamed: address, sub-address, its old
// data value (the three bytes from 6 on) and the new note; it is deleted and
// added back in sorted place. Otherwise "address sub data note" is inserted
// at index 1, unsorted. The line to select is the one at `placed`: in a list
// that is out of order the renamed line can land away from its old index, and
// selecting the old index would show another register's line.
RemarkEdit AddRemark(RemarksList& list, const std::string& address, const std::string& subAddress,
                     const std::string& data, const std::string& note);

// A chosen line split into the console's fields.
struct RemarkFields {
    std::string address;     // bytes 0-1
    std::string subAddress;  // bytes 3-4
    std::string data;        // bytes 6-7
    std::string lastRemark;  // from byte 8 on, its leading blank included
};
// The fields of a chosen line. Nothing for the blank entry, and nothing for a
// line that does not name a register: a base file may hold any text line (a
// heading, a line from another tool), and its characters must not become a
// bus address. A register line has two hexadecimal digits at 0-1, 3-4 and
// 6-7; lower-case digits are returned upper-cased, as the edits show them.
std::optional<RemarkFields> ChooseRemark(const std::string& line);

// Showing and editing entries (see the top of this file).
QString DisplayText(const std::string& bytes);
std::string BytesFromDisplay(const QString& text, const std::string& original);

// Base files.
inline constexpr std::size_t kMaxRemarkLineBytes = 4096;
inline constexpr qint64 kMaxRemarkFileBytes = 16 * 1024 * 1024;
inline constexpr std::size_t kMaxRemarkFileLines = 100000;

// The file image of a list: every entry from index 0 followed by CR LF.
std::string RemarksFileBytes(const RemarksList& list);

// The lines of a file image: CR and LF both end a line, empty lines are
// skipped, and text after the last CR or LF is a line too. Lines longer than
// kMaxRemarkLineBytes are cut there, and at most kMaxRemarkFileLines are
// taken; `cutLines` and `capped` report it.
std::vector<std::string> SplitRemarkLines(std::string_view bytes, int& cutLines, bool& capped);

struct RemarksLoadResult {
    bool ok = false;
    int linesRead = 0;    // non-empty lines taken from the file
    std::string warning;  // set when lines were cut or not all of the file was taken
};

// "Save Base": atomic; on failure the old file is as it was and `error` says so.
bool SaveRemarksFile(const QString& path, const RemarksList& list, std::string& error);
// "Load Base": reads the file (at most kMaxRemarkFileBytes) before the list
// changes, adds its lines in sorted places to what the list holds, then removes
// duplicates. A file that cannot be read leaves the list unchanged.
RemarksLoadResult LoadRemarksFile(const QString& path, RemarksList& list, std::string& error);

}  // namespace console
