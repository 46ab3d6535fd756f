// Fuzzes "Load Base": any bytes as a remarks base file. A base that loads must
// survive a save and a load again byte for byte (a technician's notebook
// that loses or reorders a line on every round trip is lost data), every line
// must show without a byte dropped, and choosing a line yields either nothing
// or three two-digit fields the send console can use.
#include <cstdlib>
#include <string>

#include "console/remarks_logic.h"
#include "eeprom/hex_text.h"
#include "tests/fuzz/fuzz_input_file.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool IsHexPair(const std::string& field) {
    return field.size() == 2 && eeprom::IsUpperHexDigit(field[0]) && eeprom::IsUpperHexDigit(field[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    console::RemarksList list;
    std::string error;
    const console::RemarksLoadResult loaded =
        console::LoadRemarksFile(fuzz::WriteInputFile(data, size), list, error);
    Check(loaded.ok && error.empty());

    // The file image of what was loaded, loaded again into a fresh list: the
    // same entries in the same order.
    const std::string saved = console::RemarksFileBytes(list);
    int cut = 0;
    bool capped = false;
    console::RemarksList again;
    again.AddSortedMany(console::SplitRemarkLines(saved, cut, capped));
    again.RemoveDuplicates();
    Check(cut == 0 && !capped && again.Entries() == list.Entries());

    for (const std::string& entry : list.Entries()) {
        Check(entry.size() <= console::kMaxRemarkLineBytes);
        const QString shown = console::DisplayText(entry);
        Check(shown.toUtf8().toStdString() == entry || shown.toLatin1().toStdString() == entry);
        Check(console::BytesFromDisplay(shown, entry) == entry);
        if (const auto fields = console::ChooseRemark(entry)) {
            Check(IsHexPair(fields->address) && IsHexPair(fields->subAddress) && IsHexPair(fields->data));
        }
    }
    return 0;
}
