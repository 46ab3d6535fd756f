// Reads a file of logic-analyzer I2C decoder text (hardware/decoder_text.h)
// into second-master transfers. Lines that are not bus events are skipped,
// so a whole decoder dump can be fed as it is. An export made row by row
// comes out of time order, so events with a sample range are put in the
// order of their first sample.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "hardware/decoder_text.h"
#include "platform/regular_file.h"
#include "simulator/simulated_bench.h"

namespace simulator {
namespace {

// The whole text is held in memory while it is parsed, so a capture has a
// ceiling: 64 MiB of decoder text is minutes of a 100 kHz bus at full load.
constexpr std::size_t kMaxCaptureBytes = 64u * 1024 * 1024;

}  // namespace

bool ParseCaptureText(const std::string& text, std::vector<BusTransfer>& transfers,
                      std::vector<std::uint64_t>* starts) {
    std::vector<hardware::DecoderLine> items;
    bool ranged = false;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        hardware::DecoderLine item;
        const bool event =
            hardware::ParseDecoderLine(std::string_view(text).substr(begin, end - begin), item);
        begin = end + 1;
        ranged |= item.ranged;
        if (!item.ranged && !items.empty()) item.sample = items.back().sample;  // stays after the one before
        if (event) items.push_back(item);
    }
    // An export made row by row comes out of time order.
    if (ranged) {
        std::stable_sort(items.begin(), items.end(),
                         [](const hardware::DecoderLine& a, const hardware::DecoderLine& b) {
                             return a.sample < b.sample;
                         });
    }
    transfers.clear();
    if (starts) starts->clear();
    hardware::TransferAssembler assembler([&](BusTransfer& transfer, std::uint64_t first) {
        transfers.push_back(std::move(transfer));
        if (starts && ranged) starts->push_back(first);
    });
    for (const hardware::DecoderLine& item : items) assembler.Add(item);
    assembler.Finish();
    return !transfers.empty();
}

bool ParseCaptureFile(const std::string& path, std::vector<BusTransfer>& transfers, std::string& error,
                      std::vector<std::uint64_t>* starts) {
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
    if (!ParseCaptureText(text, transfers, starts)) {
        error = "no I2C bus events in " + path;
        return false;
    }
    error.clear();
    return true;
}

}  // namespace simulator
