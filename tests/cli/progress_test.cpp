// The progress line on a terminal: a 2 KiB chip moves its position some
// thousands of times, and the line must be drawn about ten times a second by
// its clock, not once per move, with the last position always shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/progress.h"
#include "platform/counter.h"

namespace {

TEST(ProgressLine, RedrawsAtMostTenTimesASecondAndOnceAtTheEnd) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    platform::VirtualCounter clock(0);  // moves only when the test says
    {
        cli::ProgressLine line(true, out, &clock);
        line.Begin("writing", 2048);
        // Two seconds of a transfer, a millisecond a byte, each byte's position
        // reported three times over (the engine rewinds at page ends).
        for (int done = 1; done <= 2048; ++done) {
            clock.Advance(1000);
            for (int again = 0; again < 3; ++again) line.Update(done - again);
        }
        line.Update(2048);  // the end reported again draws nothing
        line.Begin("verifying", 2048);
        line.Update(100);  // within the same instant: shown only as the phase ends
    }
    std::fclose(out);
    const std::string drawn(text, size);
    std::free(text);
    int redraws = 0;
    for (std::size_t at = drawn.find(" bytes "); at != std::string::npos; at = drawn.find(" bytes ", at + 1))
        ++redraws;
    // The first draw, one each 0.1 s, the 100% line once, and the verifying
    // phase's first and last.
    EXPECT_EQ(redraws, 1 + 20 + 1 + 2) << drawn;
    EXPECT_NE(drawn.find(" 2048/2048 bytes 100%"), std::string::npos);
    EXPECT_EQ(drawn.find(" 2048/2048 bytes 100%"), drawn.rfind(" 2048/2048 bytes 100%"));
    EXPECT_NE(drawn.find("\rverifying   100/2048 bytes   4%"), std::string::npos) << drawn;
    // One line throughout: each phase is drawn over the last, and the end clears it for what follows.
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
    EXPECT_EQ(drawn.back(), '\r');
}

}  // namespace
