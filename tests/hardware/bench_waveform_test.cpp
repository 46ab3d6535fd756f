// The bench's bus as a waveform: a register write, a 24C16 read with a
// repeated START and a NACKed address, driven through the PCF8584 (90 kHz)
// and through the fake /dev/i2c-N (400 kHz), must decode back from the SCL
// and SDA edges alone, and, where the analyzer suite's sigrok-cli is
// installed, from the VCD file through its I2C decoder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "simulator/bus_waveform.h"
#include "simulator/fake_i2c_dev.h"

namespace benchtest {
namespace {

using hardware::I2cMessage;
using simulator::BusWaveform;

// What the lines say: S, Sr, P and each byte in hex with A (acknowledged) or
// N; SDA moving while SCL is high is only ever a START or a STOP. Also the
// shortest SCL high time, which is half a bit.
std::string Decode(const std::vector<BusWaveform::Edge>& edges, std::int64_t& shortestHighNs) {
    std::string out;
    bool scl = true;
    bool sda = true;
    bool held = false;
    int bits = 0;
    unsigned value = 0;
    std::int64_t roseNs = 0;
    shortestHighNs = INT64_MAX;
    for (const BusWaveform::Edge& e : edges) {
        if (e.scl != scl && e.sda != sda) return out + " <both lines at once>";
        if (scl && e.scl && e.sda != sda) {
            if (!e.sda) out += held ? " Sr" : " S";
            if (e.sda) out += " P";
            held = !e.sda;
            bits = 0;
            value = 0;
        } else if (!scl && e.scl && held) {
            roseNs = e.atNs;
            if (++bits <= 8) {
                value = value << 1 | (e.sda ? 1 : 0);
            } else {
                char text[8];
                std::snprintf(text, sizeof text, " %02X%c", value, e.sda ? 'N' : 'A');
                out += text;
                bits = 0;
                value = 0;
            }
        } else if (scl && !e.scl && held) {
            shortestHighNs = std::min(shortestHighNs, e.atNs - roseNs);
        }
        scl = e.scl;
        sda = e.sda;
    }
    return out.empty() ? out : out.substr(1);
}

// The shortest time SCL stays high in a VCD text, in nanoseconds, read as any
// viewer reads it: the "#" times counted in the unit its $timescale declares.
std::int64_t ShortestSclHighNs(const std::string& vcd) {
    std::istringstream in(vcd);
    std::string word;
    double unitNs = 0;
    std::int64_t now = 0;
    std::int64_t rose = -1;
    std::int64_t shortest = INT64_MAX;
    while (in >> word) {
        if (word == "$timescale") {
            double count = 0;
            std::string unit;
            in >> count >> unit;
            const std::pair<const char*, double> units[] = {
                {"s", 1e9}, {"ms", 1e6}, {"us", 1e3}, {"ns", 1}, {"ps", 1e-3}};
            for (const auto& [name, ns] : units)
                if (unit == name) unitNs = count * ns;
        } else if (word[0] == '#') {
            now = std::stoll(word.substr(1));
        } else if (word == "1!") {
            rose = now;
        } else if (word == "0!" && rose >= 0) {
            shortest = std::min(shortest, now - rose);
        }
    }
    EXPECT_GT(unitNs, 0) << "no $timescale the test knows";
    return static_cast<std::int64_t>(static_cast<double>(shortest) * unitNs);
}

// sigrok-cli's I2C annotations for `vcd`, the bits' row left out; stderr
// lands in `errors`. False when sigrok-cli is not installed.
bool SigrokDecode(const std::string& vcd, std::string& lines, std::string& errors) {
    if (std::system("command -v sigrok-cli >/dev/null 2>&1") != 0) return false;
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string stem = (dir / ("merlix-waveform-" + std::to_string(::getpid()))).string();
    std::ofstream(stem + ".vcd") << vcd;
    const std::string command = "sigrok-cli -i " + stem +
                                ".vcd -I vcd -P i2c:scl=scl:sda=sda -A i2c=addr-data >" + stem + ".out 2>" +
                                stem + ".err";
    EXPECT_EQ(std::system(command.c_str()), 0);
    auto slurp = [](const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        std::filesystem::remove(path);
        return text.str();
    };
    lines = slurp(stem + ".out");
    errors = slurp(stem + ".err");
    std::filesystem::remove(stem + ".vcd");
    return true;
}

struct Rig {
    const char* name;
    int sclHz;
    std::function<void(simulator::SimulatedBench&, const std::function<void(hardware::I2cMaster&)>&)> run;
};

class BenchWaveformTest : public BenchTest {};

TEST_F(BenchWaveformTest, TransfersDecodeBackFromTheLines) {
    const Rig rigs[] = {
        {"PCF8584", 90'000,
         [this](simulator::SimulatedBench&, const std::function<void(hardware::I2cMaster&)>& transfers) {
             Probe();
             transfers(adapter());
         }},
        {"i2c-dev", 400'000,
         [this](simulator::SimulatedBench& bench,
                const std::function<void(hardware::I2cMaster&)>& transfers) {
             simulator::FakeI2cDev fake(bench, {.clockHz = 400'000});
             hardware::I2cDevAdapter i2c(fake, counter_);
             std::string error;
             ASSERT_TRUE(i2c.Open(fake.Path(), error)) << error;
             transfers(i2c);
         }},
    };
    for (const Rig& rig : rigs) {
        SCOPED_TRACE(rig.name);
        bench_.Bus().RecordWaveform(true);
        bench_.Eeprom()[0x310] = 0x11;
        bench_.Eeprom()[0x311] = 0x22;
        bench_.Eeprom()[0x312] = 0x33;
        rig.run(bench_, [](hardware::I2cMaster& i2c) {
            std::array<std::uint8_t, 2> reg = {0x05, 0x5A};
            EXPECT_EQ(i2c.Transfer(std::array{I2cMessage{0x20, false, reg}}).status,
                      hardware::I2cStatus::Done);
            std::uint8_t word = 0x10;
            std::array<std::uint8_t, 3> page{};
            EXPECT_EQ(
                i2c.Transfer(std::array{I2cMessage{0x53, false, {&word, 1}}, I2cMessage{0x53, true, page}})
                    .status,
                hardware::I2cStatus::Done);
            EXPECT_EQ(page, (std::array<std::uint8_t, 3>{0x11, 0x22, 0x33}));
            EXPECT_EQ(i2c.Transfer(std::array{I2cMessage{0x1D, false, reg}}).status,
                      hardware::I2cStatus::NoAck);
        });
        const BusWaveform* waveform = bench_.Bus().Waveform();
        ASSERT_NE(waveform, nullptr);
        const std::vector<BusWaveform::Edge> edges = waveform->Edges();
        std::int64_t halfBitNs = 0;
        EXPECT_EQ(Decode(edges, halfBitNs), "S 40A 05A 5AA P S A6A 10A Sr A7A 11A 22A 33N P S 3AN P");
        EXPECT_NEAR(halfBitNs, 500'000'000 / rig.sclHz, 1);
        // The file's times in its own unit: a half bit of the known clock, to a tick.
        EXPECT_NEAR(ShortestSclHighNs(simulator::VcdText(*waveform)), 500'000'000 / rig.sclHz, 100);

        std::string lines;
        std::string errors;
        if (!SigrokDecode(simulator::VcdText(*waveform), lines, errors)) {
            GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli): the VCD was checked by "
                            "the edges alone";
        }
        EXPECT_EQ(errors, "");
        EXPECT_EQ(lines, "i2c-1: Start\ni2c-1: Write\ni2c-1: Address write: 20\ni2c-1: ACK\n"
                         "i2c-1: Data write: 05\ni2c-1: ACK\ni2c-1: Data write: 5A\ni2c-1: ACK\ni2c-1: Stop\n"
                         "i2c-1: Start\ni2c-1: Write\ni2c-1: Address write: 53\ni2c-1: ACK\n"
                         "i2c-1: Data write: 10\ni2c-1: ACK\n"
                         "i2c-1: Start repeat\ni2c-1: Read\ni2c-1: Address read: 53\ni2c-1: ACK\n"
                         "i2c-1: Data read: 11\ni2c-1: ACK\ni2c-1: Data read: 22\ni2c-1: ACK\n"
                         "i2c-1: Data read: 33\ni2c-1: NACK\ni2c-1: Stop\n"
                         "i2c-1: Start\ni2c-1: Write\ni2c-1: Address write: 1D\ni2c-1: NACK\ni2c-1: Stop\n");
    }
}

// A bus busy for long keeps its latest transfers, each whole, and the file says it was cut.
TEST(BusWaveform, ALongRecordingKeepsItsLatestTransfersWhole) {
    BusWaveform waveform;
    for (std::size_t i = 0; i < BusWaveform::kKeptSymbols / 4 + 3; ++i) {
        waveform.Start(false, -1, 100'000);
        waveform.Byte(0xA0, BusWaveform::Ack::Low, -1, 100'000);
        waveform.Byte(static_cast<std::uint8_t>(i), BusWaveform::Ack::Low, -1, 100'000);
        waveform.Stop(-1, 100'000);
    }
    ASSERT_TRUE(waveform.Cut());
    std::int64_t halfBitNs = 0;
    EXPECT_EQ(Decode(waveform.Edges(), halfBitNs).substr(0, 18), "S A0A 03A P S A0A ");
    EXPECT_EQ(simulator::VcdText(waveform).rfind("$comment The oldest transfers were dropped", 0), 0u);
}

}  // namespace
}  // namespace benchtest
