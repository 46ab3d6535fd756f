// The backend both faces share: fault names, the faults reaching the bench,
// and the bench state folder keeping every virtual chip between runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "hardware/ch341a/ch341a_descriptor.h"
#include "hardware/i2c_dev/i2c_dev_descriptor.h"
#include "hardware/port_adapter.h"
#include "platform/port_io.h"
#include "simulator/fake_ch341a.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/serial_chip.h"
#include "startup/backend.h"
#include "startup/bench_state.h"

namespace {

using simulator::SimulatedBench;

TEST(BenchFaultOption, NamesInAnyCaseAndUnknownOnesRefused) {
    startup::BenchFaults faults;
    std::string error;
    ASSERT_TRUE(startup::ParseBenchFaults("slave-nack,CHIP-NO-STORE,,slow-parts", faults, error)) << error;
    EXPECT_TRUE(faults.slaveNack && faults.chipNoStore && faults.slowParts);
    EXPECT_FALSE(faults.busBusy || faults.adapterAbsent || faults.controllerAbsent);
    startup::BenchFaults other;
    EXPECT_FALSE(startup::ParseBenchFaults("bus-busy,smoke", other, error));
    EXPECT_EQ(error,
              "--bench-fault takes adapter-absent, controller-absent, bus-busy, slave-nack, chip-no-store, "
              "slow-parts, not 'smoke'");
    EXPECT_FALSE(startup::ParseBenchFaults(",", other, error));
}

// The adapter options both faces map their command lines onto: what each
// value chooses, and every clash refused with one sentence.
TEST(AdapterOptions, EachChoiceAndEachClash) {
    struct Case {
        const char* adapter;       // --adapter's value, null: not given
        const char* benchAdapter;  // --bench-adapter's value, null: not given
        bool bench;                // --bench
        bool direct;               // --direct
        std::string chosen;        // "auto", the adapter's name, or "bench KIND"
        int parallelPort;
        bool twoMessages;
        int clockHz;
        std::string error;  // empty: accepted
    };
    const Case cases[] = {
        {nullptr, nullptr, false, false, "auto", 0, false, 100'000, ""},
        {"LPT2", nullptr, false, false, "lpt2", hardware::kLpt2, false, 100'000, ""},
        {"i2c-dev:/dev/i2c-7", nullptr, false, false, "i2c-dev:/dev/i2c-7", 0, false, 100'000, ""},
        {"spidev:/dev/spidev0.1", nullptr, false, false, "spidev:/dev/spidev0.1", 0, false, 100'000, ""},
        {nullptr, "i2c-dev:two-message,400k", false, false, "bench i2c-dev", 0, true, 400'000, ""},
        {nullptr, "SPIDEV", true, false, "bench spidev", 0, false, 100'000, ""},
        {"i2c-dev:", nullptr, false, false, "auto", 0, false, 100'000,
         "--adapter takes lpt1, lpt2, i2c-dev:/dev/i2c-N, spidev:/dev/spidevB.C or ch341a[:N|:all], not "
         "'i2c-dev:'"},
        {"CH341A:2", nullptr, false, false, "ch341a:2", 0, false, 100'000, ""},
        {"ch341a:two", nullptr, false, false, "auto", 0, false, 100'000,
         "--adapter ch341a takes :N (the programmer, from 0) or :all, and an I2C clock ,20k, ,100k, ,400k or "
         ",750k, not 'ch341a:two'"},
        {nullptr, "ch341a:3,750k", false, false, "bench ch341a", 0, false, 750'000, ""},
        {nullptr, "ch341a:fast", false, false, "auto", 0, false, 100'000,
         "--bench-adapter ch341a takes a count of programmers (1 to 16) and an I2C clock (20k, 100k, 400k, "
         "750k), not 'fast'"},
        {nullptr, "i2c-dev:fast", false, false, "auto", 0, false, 100'000,
         "--bench-adapter i2c-dev takes the options two-message, 100k and 400k, not 'fast'"},
        {nullptr, "spidev:400k", false, false, "auto", 0, false, 100'000,
         "--bench-adapter takes parallel, i2c-dev[:two-message,400k], spidev or ch341a[:COUNT,400k], not "
         "'spidev:400k'"},
        {"lpt1", nullptr, false, true, "auto", 0, false, 100'000,
         "--bench, --direct, --ppdev and --adapter exclude each other"},
        {"lpt1", "spidev", false, false, "auto", 0, false, 100'000,
         "--bench-adapter runs on the simulated bench, so it takes no --direct, --ppdev or --adapter"},
    };
    for (const Case& c : cases) {
        startup::AdapterArguments given;
        given.bench = c.bench;
        given.direct = c.direct;
        given.adapter = c.adapter != nullptr;
        given.adapterName = c.adapter ? c.adapter : "";
        given.benchAdapter = c.benchAdapter != nullptr;
        given.benchAdapterName = c.benchAdapter ? c.benchAdapter : "";
        const std::string named = given.adapterName + " " + given.benchAdapterName;
        startup::BackendOptions options;
        std::string error;
        const bool ok = startup::ApplyAdapterArguments(given, options, error);
        EXPECT_EQ(error, c.error) << named;
        if (!ok) continue;
        const std::string chosen =
            options.bench ? std::string("bench ") + options.benchAdapter.adapter->adapter->name
            : options.choice.adapter && !(options.choice.adapter->portAccess && options.choice.index == 0)
                ? options.choice.adapter->spell(options.choice)
                : "auto";
        EXPECT_EQ(chosen, c.chosen) << named;
        EXPECT_EQ(startup::HeldParallelPort(options), c.parallelPort) << named;
        EXPECT_EQ(options.benchAdapter.twoMessages, c.twoMessages) << named;
        EXPECT_EQ(options.benchAdapter.clockHz, c.clockHz) << named;
    }
}

// Without an adapter option, after the parallel port: a USB bridge is taken
// and said, a PC's SMBus never (the bench instead, saying why).
TEST(AdapterBackend, OnlyALoneUsbBridgeIsChosenWithoutAsking) {
    platform::VirtualCounter clock;
    SimulatedBench bench(clock);
    for (const bool bridge : {true, false}) {
        simulator::FakeI2cDev::Config config;
        config.busNumber = 4;
        config.name = bridge ? "MCP2221 usb-i2c bridge" : "SMBus I801 adapter at efa0";
        simulator::FakeI2cDev devices(bench, config);
        startup::AdapterBackend backend;
        backend.UseDevices(devices);
        std::string error;
        ASSERT_TRUE(backend.Open({}, error)) << error;
        if (!backend.OnBench() && backend.ThroughPorts())
            GTEST_SKIP() << "this machine has a parallel port: " << backend.Notice();
        if (bridge) {
            EXPECT_EQ(backend.Adapter(), &hardware::kI2cDevAdapter);
            EXPECT_EQ(backend.Notice().rfind(
                          "using i2c-dev /dev/i2c-4: /dev/i2c-4 is the one USB-to-I2C bridge", 0),
                      0u)
                << backend.Notice();
            EXPECT_EQ(backend.Label(), "i2c-dev /dev/i2c-4, the one USB-to-I2C bridge");
            const std::unique_ptr<eeprom::Session> session = backend.NewSession();
            EXPECT_TRUE(!session->Parallel() && session->i2c && !session->lines && !session->spi &&
                        !session->sniffer);
        } else {
            EXPECT_TRUE(backend.OnBench());
            // Every search said, as one list: "...: no parallel port ...; no CH341A ...; no i2c-dev ...".
            const std::string notice = backend.Notice();
            EXPECT_NE(notice.find("; no i2c-dev bus is a USB bridge this user can open"), std::string::npos)
                << notice;
            EXPECT_NE(notice.find("CH341A"), std::string::npos) << notice;
            EXPECT_EQ(notice.find(".;"), std::string::npos) << notice;
        }
    }
}

// A CH341A is taken without asking when it is the only one (after the
// parallel port), said with its 5 V warning; with two, --adapter chooses.
// Three on the bench are three backends, the fault NAME@N on one only.
TEST(AdapterBackend, Ch341aAloneChosenAndSeveralSplit) {
    platform::VirtualCounter clock;
    SimulatedBench bench(clock);
    SimulatedBench second(clock);
    simulator::FakeCh341a usb(bench);
    for (const int programmers : {1, 2}) {
        if (programmers == 2) usb.Add(second, {.bus = 2, .address = 9});
        startup::AdapterBackend backend;
        backend.UseUsb(usb);
        std::string error;
        ASSERT_TRUE(backend.Open({}, error)) << error;
        if (!backend.OnBench() && backend.ThroughPorts())
            GTEST_SKIP() << "this machine has a parallel port: " << backend.Notice();
        if (programmers == 1) {
            EXPECT_EQ(backend.Adapter(), &hardware::kCh341aAdapter);
            EXPECT_EQ(backend.Label(),
                      "CH341A 0 (USB bus 1 address 4, I2C at 100 kHz), the one CH341A connected");
            EXPECT_NE(backend.TakeVoltageWarning().find("5 V"), std::string::npos);
            EXPECT_EQ(backend.TakeVoltageWarning(), "");
            const std::unique_ptr<eeprom::Session> session = backend.NewSession();
            EXPECT_TRUE(!session->Parallel() && session->i2c && session->lines && session->spi &&
                        !session->sniffer);
        } else {
            EXPECT_NE(
                backend.Notice().find("2 CH341A programmers are connected: --adapter ch341a:N chooses one"),
                std::string::npos)
                << backend.Notice();
        }
    }

    startup::BackendOptions options;
    std::string error;
    ASSERT_TRUE(startup::ParseBenchAdapter("ch341a:3", options, error)) << error;
    ASSERT_TRUE(startup::ParseBenchFaults("slow-parts,chip-no-store@2", options.faults, error)) << error;
    std::vector<startup::BackendOptions> each;
    ASSERT_TRUE(startup::SplitAdapters(options, {}, each, error)) << error;
    ASSERT_EQ(each.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(startup::AdapterName(each[n]), "bench ch341a:" + std::to_string(n));
        EXPECT_TRUE(each[n].faults.slowParts);
        EXPECT_EQ(each[n].faults.chipNoStore, n == 2);
    }
    startup::BackendOptions real;
    ASSERT_TRUE(startup::ParseAdapter("ch341a:400k", real, error)) << error;
    EXPECT_EQ(real.choice.index * 1'000'000 + real.choice.clockHz, 400'000);
    ASSERT_TRUE(startup::ParseAdapter("ch341a:1,750k", real, error)) << error;
    EXPECT_EQ(real.choice.index * 1'000'000 + real.choice.clockHz, 1'750'000);
    real = {};
    EXPECT_FALSE(startup::SplitAdapters(real, {"ch341a:1", "lpt1"}, each, error));
    EXPECT_EQ(error, "--adapter is given more than once only for CH341A programmers, not lpt1");
    EXPECT_FALSE(startup::SplitAdapters(real, {"ch341a:1", "CH341A:1"}, each, error));
    EXPECT_EQ(error, "--adapter CH341A:1 is named twice: each adapter runs once");
    ASSERT_TRUE(startup::SplitAdapters(real, {"ch341a:all"}, each, error, &usb)) << error;
    ASSERT_EQ(each.size(), 2u);
    EXPECT_EQ(startup::AdapterName(each[1]), "ch341a:1");
}

TEST(AdapterBackend, FaultsAreOnFromTheStart) {
    {
        startup::BackendOptions options;
        options.bench = true;
        std::string error;
        ASSERT_TRUE(startup::ParseBenchFaults("adapter-absent,bus-busy,slave-nack,chip-no-store,slow-parts",
                                              options.faults, error));
        startup::AdapterBackend backend;
        ASSERT_TRUE(backend.Open(options, error)) << error;
        const SimulatedBench::Config& config = backend.Bench()->config();
        EXPECT_EQ(config.port, SimulatedBench::Port::None);
        EXPECT_TRUE(config.busHeldBusy && config.slavesNack && config.chipNoStore);
        EXPECT_TRUE(backend.Bench()->SlowParts());
        EXPECT_NE(backend.Notice().find("no adapter attached"), std::string::npos) << backend.Notice();
        EXPECT_EQ(&backend.Io(), backend.Bench());
    }
}

TEST(BenchState, EveryChipComesBackInTheNextRun) {
    QTemporaryDir dir;
    const std::string folder = QDir(dir.path()).filePath("state/bench").toStdString();
    const startup::BenchState state(folder);
    std::string error;
    platform::VirtualCounter clock;
    {
        SimulatedBench bench(clock);
        bench.Eeprom()[0x7FF] = 0x42;
        bench.SetRegister(0x40, 0x05, 0xAB);
        bench.SetChipListChoice("93C46 (16)");
        bench.SocketChip()->Memory()[3] = 0x5A;
        bench.SetChipListChoice("AT25C160");
        ASSERT_TRUE(state.LoadSocket(bench, error)) << error;  // nothing saved yet: as made
        bench.SocketChip()->Memory()[0] = 0x11;
        ASSERT_TRUE(state.Save(bench, error)) << error;
        bench.SetChipListChoice("93C46 (16)");
        bench.SocketChip()->Memory()[3] = 0x5A;
        // A link planted at a state file's name is replaced, never written through.
        QFile victim(dir.filePath("victim"));
        ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
        victim.write("mine");
        victim.close();
        QFile::remove(QString::fromStdString(folder + "/register-42.bin"));
        ASSERT_TRUE(victim.link(QString::fromStdString(folder + "/register-42.bin")));
        ASSERT_TRUE(state.Save(bench, error)) << error;
        ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
        EXPECT_EQ(victim.readAll(), "mine");
        // A chip dump can be a customer's data: private files in a private folder.
        struct stat st {};
        ASSERT_EQ(::lstat((folder + "/register-42.bin").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    SimulatedBench next(clock);
    ASSERT_TRUE(state.LoadBus(next, error)) << error;
    EXPECT_EQ(next.Eeprom()[0x7FF], 0x42);
    EXPECT_EQ(next.Register(0x40, 0x05), 0xAB);
    // The same chip whatever its organisation; another type keeps its own file.
    next.SetChipListChoice("93C46 (8)");
    ASSERT_TRUE(state.LoadSocket(next, error)) << error;
    EXPECT_EQ(next.SocketChip()->Memory()[3], 0x5A);
    next.SetChipListChoice("AT25C160");
    ASSERT_TRUE(state.LoadSocket(next, error)) << error;
    EXPECT_EQ(next.SocketChip()->Memory()[0], 0x11);

    // A file of the wrong size was not ours: refused, and the chip stays as it was.
    QFile stray(QString::fromStdString(folder + "/eeprom-24c16.bin"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly | QIODevice::Truncate));
    stray.write("short");
    stray.close();
    SimulatedBench third(clock);
    EXPECT_FALSE(state.LoadBus(third, error));
    EXPECT_NE(error.find("holds 5 bytes, not 2048"), std::string::npos) << error;
    EXPECT_NE(third.Eeprom()[0x7FF], 0x42);

    ASSERT_TRUE(state.Clear(error)) << error;
    EXPECT_TRUE(state.LoadBus(third, error)) << error;
}

}  // namespace
