// A spooled child never waits for us: it writes far more than a pipe holds
// and ends while we read nothing, and every byte is read afterwards, in
// order, before the end is told.
#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace {

TEST(ChildProcess, ASpooledWriterNeverWaitsAndNothingIsLost) {
    platform::ChildProcess child;
    std::string error;
    // 6 MiB of numbered lines: six times the largest pipe an unprivileged process may ask for.
    ASSERT_EQ(
        child.Begin({"sh", "-c", "seq 1 800000; echo end >&2"}, error, platform::ChildProcess::Output::Spool),
        platform::ChildProcess::Start::Started)
        << error;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    siginfo_t info{};
    while (std::chrono::steady_clock::now() < end &&
           !(::waitid(P_PID, static_cast<id_t>(child.Pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             info.si_pid == child.Pid()))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(info.si_pid, child.Pid()) << "the child ended without our reading a byte";
    EXPECT_EQ(child.PipeSize(), 0u);

    std::string all;
    while (child.PollBytes(all, 1 << 20)) {
    }
    std::string expected;
    for (int i = 1; i <= 800000; ++i) expected += std::to_string(i) + '\n';
    EXPECT_EQ(all.size(), expected.size());
    EXPECT_TRUE(all == expected) << "the spool's bytes come in order, each once";
    EXPECT_EQ(child.PeakWaiting(), expected.size());
    EXPECT_EQ(child.Ending(), "exit status 0");
    EXPECT_EQ(child.LastErrorLine(), "end");
}

}  // namespace
