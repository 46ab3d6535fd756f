// Ctrl-C in the middle of a write, in this process: SIGINT is raised from the
// port as soon as the chip holds its first new page, and the write must stop
// after that page, say what the chip holds and where its backup is, and exit
// with 130.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "eeprom/session.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/serial_chip.h"
#include "simulator/simulated_bench.h"

namespace {

// Passes every access to the bench, and raises SIGINT once when `now` first
// says so after a write to the port.
class InterruptingPort final : public platform::PortIo {
public:
    InterruptingPort(platform::PortIo& inner, std::function<bool()> now)
        : inner_(inner), now_(std::move(now)) {}
    std::uint8_t In(std::uint16_t port) override { return inner_.In(port); }
    void Out(std::uint16_t port, std::uint8_t value) override {
        inner_.Out(port, value);
        if (!raised_ && now_()) {
            raised_ = true;
            std::raise(SIGINT);
        }
    }

private:
    platform::PortIo& inner_;
    std::function<bool()> now_;
    bool raised_ = false;
};

TEST(WriteInterrupted, StopsAfterThePageInFlightAndSaysWhatTheChipHolds) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    struct Case {
        const char* chip;
        const char* listEntry;  // empty: the 24C16 on the bus
        int bytes;
        int written;  // one I2C page of 16 bytes, one Microwire word
    };
    for (const Case& c : {Case{"24C16", "", 2048, 16}, Case{"93C46x16", "93C46 (16)", 128, 2}}) {
        SCOPED_TRACE(c.chip);
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench(clock);
        if (*c.listEntry) bench.SetChipListChoice(c.listEntry);
        const auto memory = [&]() -> std::vector<std::uint8_t>& {
            return *c.listEntry ? bench.SocketChip()->Memory() : bench.Eeprom();
        };
        InterruptingPort port(bench, [&] { return memory()[0] == 0x5A; });
        int code = -1;
        testing::internal::CaptureStderr();
        {
            eeprom::Session session(port, clock);
            cli::CommandContext context{.session = session};
            context.bench = &bench;
            context.command = "fill";
            cli::MemoryOptions options;
            options.chip = c.chip;
            options.fillValue = 0x5A;
            code = cli::RunWrite(context, options);
        }
        const std::string said = testing::internal::GetCapturedStderr();

        EXPECT_EQ(code, cli::kExitInterrupted) << said;
        const std::vector<std::uint8_t>& held = memory();
        ASSERT_EQ(static_cast<int>(held.size()), c.bytes);
        for (int i = 0; i < c.bytes; ++i) ASSERT_EQ(held[i], i < c.written ? 0x5A : 0xFF) << i;
        char range[64];
        std::snprintf(range, sizeof range, "bytes 0x0000..0x%04X (%d of %d)", c.written - 1, c.written,
                      c.bytes);
        EXPECT_NE(said.find(std::string("interrupted: ") + range), std::string::npos) << said;
        EXPECT_NE(said.find("were not written and hold their old contents"), std::string::npos) << said;
        // The backup named is the whole chip as it was.
        const std::size_t at = said.find("the old contents are in ");
        ASSERT_NE(at, std::string::npos) << said;
        const std::string backup =
            said.substr(at + 24, said.find(" (merlix-cli restore --chip", at) - at - 24);
        QFile file(QFile::decodeName(backup.c_str()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << backup;
        EXPECT_EQ(file.readAll(), QByteArray(c.bytes, '\xFF'));
        EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL) << "the handler before the write is back";
    }
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
