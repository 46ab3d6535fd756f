// The port trace: one line per access in the documented format, on disk
// before the next access, and a failed trace file never blocks the port.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/scratch_root.h"
#include "platform/tracing_port_io.h"

namespace {

class EchoPorts final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t port) override { return static_cast<std::uint8_t>(port == 0x37B ? 0x84 : last); }
    void Out(std::uint16_t, std::uint8_t value) override { last = value; }
    std::uint8_t last = 0;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TracingPortIoTest, WritesEachAccessAsAWholeLineAtOnce) {
    ScratchRoot dir;
    const std::string path = dir.path() + "/trace.txt";
    EchoPorts inner;
    platform::TracingPortIo trace(inner, path);
    ASSERT_TRUE(trace.Ok());

    trace.Out(0x3F0, 0x01);
    EXPECT_EQ(inner.last, 0x01);
    EXPECT_EQ(Contents(path), "out 03F0 01\n");  // readable while the tracer still runs
    EXPECT_EQ(trace.In(0x37B), 0x84);
    EXPECT_EQ(Contents(path), "out 03F0 01\nin 037B 84\n");
    trace.Out(0x77A, 0xAB);
    EXPECT_EQ(Contents(path), "out 03F0 01\nin 037B 84\nout 077A AB\n");
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
