// The first failed transfer of a backend that reaches a real port. PortIo's
// reads and writes cannot fail (a failed read gives 0xFF), so such a backend
// keeps one sentence for its caller to take after a transfer. Only the first
// is kept: it explains the failures that follow it.
#pragma once

#include <string>
#include <utility>

namespace platform {

class FirstIoError {
public:
    // Moves the kept sentence into `error`; false, leaving `error` alone,
    // when no transfer has failed since the last take.
    bool TakeIoError(std::string& error) {
        if (ioError_.empty()) return false;
        error = std::move(ioError_);
        ioError_.clear();
        return true;
    }

protected:
    ~FirstIoError() = default;

    void NoteIoError(std::string sentence) {
        if (ioError_.empty()) ioError_ = std::move(sentence);
    }
    void ClearIoError() { ioError_.clear(); }

private:
    std::string ioError_;
};

}  // namespace platform
