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
        const char* listEntry;  // empty: the 24C16 on the bus, or the part's socket
        int bytes;
        int written;  // one page (16 bytes I2C, 256 SPI), one Microwire word
        int digits;   // of a chip address: as many as the last one needs
    };
    for (const Case& c : {Case{"24C16", "", 2048, 16, 4}, Case{"93C46x16", "93C46 (16)", 128, 2, 4},
                          Case{"25M01", "", 131072, 256, 5}}) {
        SCOPED_TRACE(c.chip);
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench(clock);
        if (*c.listEntry) bench.SetChipListChoice(c.listEntry);
        const bool part = c.bytes > 2048;
        const auto memory = [&]() -> std::vector<std::uint8_t>& {
            static std::vector<std::uint8_t> none{0};
            if (part) return bench.PartMemory(c.chip) ? *bench.PartMemory(c.chip) : none;
            return *c.listEntry ? bench.SocketChip()->Memory() : bench.Eeprom();
        };
        InterruptingPort port(bench, [&] { return memory()[0] == 0x5A; });
        int code = -1;
        testing::internal::CaptureStderr();
        {
            eeprom::Session session(port, clock);
            cli::CommandContext context{.session = session};
            context.bench = startup::BenchControl(&bench);
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
        char range[160];
        std::snprintf(range, sizeof range,
                      "bytes 0x%0*X..0x%0*X (%d of %d) of the %s hold the new data; bytes "
                      "0x%0*X..0x%0*X were not written",
                      c.digits, 0, c.digits, c.written - 1, c.written, c.bytes, c.chip, c.digits, c.written,
                      c.digits, c.bytes - 1);
        EXPECT_NE(said.find(std::string("interrupted: ") + range), std::string::npos) << said;
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
