// The progress line; see progress.h.
#include "cli/progress.h"

#include <algorithm>

namespace cli {

void ProgressLine::Begin(const std::string& phase, int total) {
    Finish();
    phase_ = phase;
    total_ = std::max(total, 1);
    shown_ = -1;
    done_ = 0;
    start_ = std::chrono::steady_clock::now();
    Update(0);
}

void ProgressLine::Update(int done) {
    // The engine rewinds its position at the end of each page; the line only
    // ever moves forward within a phase.
    done = std::max(std::clamp(done, 0, total_), done_);
    done_ = done;
    if (!enabled_) return;
    const int percent = done * 100 / total_;
    // Redrawn only when the percentage moves: a terminal over a slow link
    // must not slow the transfer down.
    if (percent == shown_ && done != total_) return;
    shown_ = percent;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0;
    char left[32] = "--:--";
    if (rate > 0) {
        const int remain = static_cast<int>((total_ - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%d:%02d", remain / 60, remain % 60);
    }
    std::fprintf(out_, "\r%-9s %5d/%d bytes %3d%%  %7.1f B/s  %s left ", phase_.c_str(), done, total_,
                 percent, rate, left);
    std::fflush(out_);
    open_ = true;
}

void ProgressLine::Finish() {
    if (!open_) return;
    std::fputc('\n', out_);
    open_ = false;
}

void StretchProgress::SetPosition(int position) {
    if (range_ <= 0) return;
    line_.Update(offset_ + static_cast<int>(static_cast<long long>(position) * bytes_ / range_));
}

}  // namespace cli
