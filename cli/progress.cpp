// The progress line; see progress.h.
#include "cli/progress.h"

#include <algorithm>

#include "cli/json.h"

namespace cli {

namespace {

constexpr double kRedrawSeconds = 0.1;  // ten redraws a second at most

}  // namespace

double ProgressLine::Seconds() {
    std::int64_t now = 0, frequency = 0;
    if (!clock_.Now(now) || !clock_.Frequency(frequency) || frequency <= 0) return 0;
    return static_cast<double>(now - start_) / static_cast<double>(frequency);
}

void ProgressLine::Begin(const std::string& phase, int total) {
    Finish();
    phase_ = phase;
    total_ = std::max(total, 1);
    shown_ = -1;
    done_ = 0;
    if (!clock_.Now(start_)) start_ = 0;
    Update(0);
}

void ProgressLine::Update(int done) {
    // The engine rewinds its position at the end of each page; the line only
    // ever moves forward within a phase.
    done = std::max(std::clamp(done, 0, total_), done_);
    done_ = done;
    if (!enabled_ || done == shown_) return;
    // A terminal over a slow link must not slow the transfer down: the line
    // is drawn first, then at most every tenth of a second, and at the end.
    const double now = Seconds();
    if (shown_ >= 0 && done != total_ && now - drawnAt_ < kRedrawSeconds) return;
    Draw(now);
}

void ProgressLine::Draw(double now) {
    shown_ = done_;
    drawnAt_ = now;
    const double rate = now > 0 ? done_ / now : 0;
    if (json_) {
        JsonObject line;
        line.String("phase", phase_).Int("bytes", done_).Int("total", total_).Number("rate", rate, 1);
        std::fprintf(out_, "%s\n", line.Text().c_str());
        std::fflush(out_);
        open_ = true;
        return;
    }
    char left[32] = "--:--";
    if (rate > 0) {
        const int remain = static_cast<int>((total_ - done_) / rate + 0.5);
        std::snprintf(left, sizeof left, "%d:%02d", remain / 60, remain % 60);
    }
    const int width = std::fprintf(out_, "\r%-9s %5d/%d bytes %3d%%  %7.1f B/s  %s left ", phase_.c_str(),
                                   done_, total_, done_ * 100 / total_, rate, left);
    width_ = std::max(width_, width - 1);
    std::fflush(out_);
    open_ = true;
}

void ProgressLine::Finish() {
    if (!open_) return;
    // What came after the last redraw (a write stopped between pages) is shown before the line ends.
    if (shown_ != done_) Draw(Seconds());
    // The next phase, the result line or a message takes the same line.
    if (!json_) std::fprintf(out_, "\r%*s\r", width_, "");
    std::fflush(out_);
    open_ = false;
}

}  // namespace cli
