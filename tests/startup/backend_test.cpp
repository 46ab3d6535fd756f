// The backend both faces share: fault names, the faults reaching the bench,
// and the bench state folder keeping every virtual chip between runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/port_io.h"
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

TEST(AdapterBackend, FaultsAreOnFromTheStart) {
    {
        startup::BackendOptions options;
        options.backend = startup::BackendOptions::Backend::Bench;
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
