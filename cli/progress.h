// The progress line on stderr: bytes, percent, rate and time left, redrawn in
// place on a terminal and never written into a pipe or a log, where a
// carriage-return line would only be noise. It is redrawn at most ten times a
// second by its clock, and once more when the phase is done. For scripts and
// front ends each redraw can be one JSON object a line instead:
// {"phase":"writing","bytes":4096,"total":32768,"rate":1523.4} (rate in bytes
// a second).
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/memory_job.h"
#include "platform/counter.h"

namespace cli {

class ProgressLine final : public eeprom::JobProgress {
public:
    // `enabled` false (a pipe, --quiet or --json) keeps the line silent.
    // `clock` (the steady clock when null) paces the redraws and gives the rate.
    explicit ProgressLine(bool enabled, std::FILE* out = stderr, platform::Counter* clock = nullptr)
        : ProgressLine(enabled ? ProgressStyle::Line : ProgressStyle::None, out, clock) {}
    explicit ProgressLine(ProgressStyle style, std::FILE* out = stderr, platform::Counter* clock = nullptr)
        : enabled_(style != ProgressStyle::None),
          json_(style == ProgressStyle::Json),
          out_(out),
          clock_(clock ? *clock : steady_) {}
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine() override { ProgressLine::Finish(); }
    // A new phase ("reading", "writing", "verifying") over `total` bytes.
    void Begin(const std::string& phase, int total) override;
    void Update(int done) override;
    // Clears the line (shows the phase's end first), so that the next phase
    // or whatever follows is written over it: one line, redrawn in place.
    void Finish() override;
    // Bytes of the phase done so far, shown or not.
    int Done() const override { return done_; }
    // The transfers under this line stop between pages once `*flag` is set.
    void CancelOn(const volatile std::sig_atomic_t* flag) { cancel_ = flag; }
    bool Cancelled() const override { return cancel_ && *cancel_; }

private:
    double Seconds();  // by the clock, since the phase began
    void Draw(double now);

    bool enabled_;
    bool json_;
    std::FILE* out_;
    platform::SteadyCounter steady_;
    platform::Counter& clock_;
    std::string phase_;
    int total_ = 0;
    int shown_ = -1;  // the bytes the line shows; -1 before it is drawn
    int done_ = 0;
    double drawnAt_ = 0;
    bool open_ = false;
    int width_ = 0;  // the widest line drawn, cleared by Finish
    const volatile std::sig_atomic_t* cancel_ = nullptr;
    std::int64_t start_ = 0;
};

// The engine's Progress for one stretch of a transfer (eeprom/memory_job.h).
using eeprom::StretchProgress;

}  // namespace cli
