// The port trace: one line per access in the documented format, on disk
// before the next access, runs counted, the files it may replace, and a failed
// trace file never blocks the port.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/one_sentence.h"
#include "platform/scratch_root.h"
#include "platform/tracing_port_io.h"

namespace {

class EchoPorts final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t port) override {
        return static_cast<std::uint8_t>(port == 0x37B ? 0x84 : last);
    }
    void Out(std::uint16_t, std::uint8_t value) override { last = value; }
    std::uint8_t last = 0;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TracingPortIoTest, WritesEachAccessAtOnceAndARunAsOneCountedLine) {
    ScratchRoot dir;
    const std::string path = dir.path() + "/trace.txt";
    EchoPorts inner;
    std::FILE* stream = std::tmpfile();
    {
        platform::TracingPortIo trace(inner, path);
        platform::TracingPortIo streamed(inner, stream);
        ASSERT_TRUE(trace.Ok());

        trace.Out(0x3F0, 0x01);
        EXPECT_EQ(inner.last, 0x01);
        EXPECT_EQ(Contents(path), "out 03F0 01\n");  // readable while the tracer still runs
        EXPECT_EQ(trace.In(0x37B), 0x84);
        EXPECT_EQ(Contents(path), "out 03F0 01\nin 037B 84\n");
        for (int i = 0; i < 99999; ++i) trace.In(0x37B);
        EXPECT_EQ(Contents(path), "out 03F0 01\nin 037B 84 x100000\n");  // the count grows in place
        trace.Out(0x77A, 0xAB);
        trace.Out(0x77A, 0xAC);
        trace.Out(0x77A, 0xAC);
        EXPECT_EQ(Contents(path), "out 03F0 01\nin 037B 84 x100000\nout 077A AB\nout 077A AC x2\n");

        // On a stream a run's line goes out when the run ends.
        streamed.Out(0x378, 0xFD);
        for (int i = 0; i < 3; ++i) streamed.In(0x37B);
        streamed.Out(0x378, 0xFD);
    }
    std::rewind(stream);
    char text[128] = {};
    EXPECT_EQ(std::string(text, std::fread(text, 1, sizeof text, stream)),
              "out 0378 FD\nin 037B 84 x3\nout 0378 FD\n");
    std::fclose(stream);
}

// What the trace may write over: a new file or a regular one (made private),
// never a symbolic link, a FIFO, a device or the capture being played, all
// of which are left as they were.
TEST(TracingPortIoTest, ReplacesOnlyARegularFileThatIsNotTheCapture) {
    ScratchRoot dir;
    const std::string old = dir.path() + "/old.txt";
    const std::string capture = dir.path() + "/capture.txt";
    const std::string link = dir.path() + "/link.txt";
    const std::string fifo = dir.path() + "/fifo";
    for (const std::string& file : {old, capture}) std::ofstream(file) << "keep me\n";
    ::chmod(old.c_str(), 0644);
    ASSERT_EQ(::symlink(capture.c_str(), link.c_str()), 0);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EchoPorts inner;

    const struct {
        std::string path;
        const char* reason;  // nullptr: the trace is made
    } cases[] = {
        {dir.path() + "/new.txt", nullptr},
        {old, nullptr},
        {link, "symbolic link"},
        {fifo, "FIFO"},
        {"/dev/null", "device"},
        {capture, "capture file being played"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        platform::TracingPortIo trace(inner, c.path, capture);
        if (!c.reason) {
            ASSERT_TRUE(trace.Ok()) << trace.Error();
            trace.Out(0x378, 0xFD);
            EXPECT_EQ(Contents(c.path), "out 0378 FD\n");
            struct stat st {};
            ASSERT_EQ(::lstat(c.path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
            continue;
        }
        EXPECT_FALSE(trace.Ok());
        EXPECT_TRUE(IsOneSentence(trace.Error()));
        EXPECT_NE(trace.Error().find(c.path), std::string::npos) << trace.Error();
        EXPECT_NE(trace.Error().find(c.reason), std::string::npos) << trace.Error();
    }
    EXPECT_EQ(Contents(capture), "keep me\n");
    struct stat st {};
    EXPECT_TRUE(::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_TRUE(::lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}

TEST(TracingPortIoTest, UnwritableFileStillPassesAccessesThrough) {
    EchoPorts inner;
    platform::TracingPortIo trace(inner, "/nonexistent-dir/trace.txt");
    EXPECT_FALSE(trace.Ok());
    EXPECT_NE(trace.Error().find("/nonexistent-dir/trace.txt"), std::string::npos);
    trace.Out(0x378, 0x55);
    EXPECT_EQ(trace.In(0x378), 0x55);
}

}  // namespace
