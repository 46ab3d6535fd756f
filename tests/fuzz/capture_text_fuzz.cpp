// Fuzzes the bench's capture reader (--traffic FILE, "Open capture..."):
// decoder text in, second-master transfers out. Beyond not crashing, every
// transfer the player gets must be one it can play: it opens with a START, a
// STOP can only close it, and reading the text from a file gives the very
// transfers the text gives.
#include <cstdlib>
#include <string>
#include <vector>

#include "simulator/simulated_bench.h"
#include "tests/fuzz/fuzz_input_file.h"

using simulator::BusEvent;
using simulator::BusTransfer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<BusTransfer> transfers;
    const bool any = simulator::ParseCaptureText(text, transfers);
    if (any == transfers.empty()) std::abort();
    for (const BusTransfer& t : transfers) {
        if (t.empty() || t.front().kind != BusEvent::Kind::Start) std::abort();
        for (std::size_t i = 1; i + 1 < t.size(); ++i) {
            if (t[i].kind == BusEvent::Kind::Start || t[i].kind == BusEvent::Kind::Stop) std::abort();
        }
    }

    std::vector<BusTransfer> fromFile;
    std::string error;
    const bool fileAny =
        simulator::ParseCaptureFile(fuzz::WriteInputFile(data, size).toStdString(), fromFile, error);
    if (fileAny != any || fromFile != transfers || fileAny != error.empty()) std::abort();
    return 0;
}
