// Whole-chip transfers in both modes, the classic sequences (one byte per
// transaction, fixed waits) and the fast ones, on the bench with the virtual
// counter, against the physical limit of the adapter. Every row reports:
//   bench_ms   bench time of the transfer (1 us per port access, the bus's
//              bit times, the chips' write cycles, the program's waits);
//   limit_ms   what must happen at the least: the bus time of the bytes that
//              must move (nine bit times at 90 kHz each) or, on the serial
//              lines, 6 us per bit into the chip (two latch loads of three
//              accesses) and 7 us per bit out of it (two loads and a status
//              read), plus the chip's own write cycles;
//   ratio      bench_ms / limit_ms;
//   port_ms    the port accesses alone at 1 us each (what the transfer costs a
//              real port apart from its waits).
// A write row includes its verify read where the transfer makes one (the
// serial chips), and so does its limit.
//
// The i2c-dev rows run the i2c-dev adapter on its fake /dev/i2c-N over the
// same bench bus, at 100 kHz and 400 kHz. Their limit is that adapter's bus
// model: a START, nine bit times per byte (addresses included), a bit time
// per repeated START and one for the STOP, at the bus clock, plus the
// chip's write cycles; `ioctls` counts the kernel calls.
// The spidev rows run SpidevAdapter on the bench's fake node: their limit is
// the bits that must cross the bus at the adapter's clock (one instruction
// for the whole array, each page or word with its instruction, WREN before a
// 25xx page, EWEN and EWDS around a 93Cxx write) plus the write cycles; the
// port_ms column does not apply and shows 0.
//
// The BM_Part rows move a whole larger part (a 24C256, a 25M02) with the
// whole-part transfers, on the parallel adapter (its PCF8584 clocks the bus
// at 90 kHz, so its limit is the serial lines' or the 24C16 rows' figures),
// i2c-dev at 400 kHz and spidev at 1 MHz (the limits as above, for one
// instruction over the whole part, and a write's pages with their cycles).
//
// The Ch341a rows run Ch341aAdapter on the bench's fake CH341A: the 24C16
// over its I2C stream at 100 and 400 kHz, the serial chips over its SPI
// stream (select on the pin stream). Their limit is the bits at the bus clock
// (the SPI stream at 1.5 MHz) plus a millisecond per round trip the protocol
// forces: one per transfer whose answer the program needs (each I2C transfer,
// each acknowledge poll, each SPI transfer with its select and release, the
// engine's check that a chip answers), one per 32 packets beyond. A write
// adds the write cycles and the poll that sees the chip ready;
// `round_trips` counts the adapter's waits for answers.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "benchmarks/counting_port_io.h"
#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/whole_part_transfers.h"
#include "hardware/ch341a/ch341a_adapter.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/port_adapter.h"
#include "hardware/spidev/spidev_adapter.h"
#include "platform/counter.h"
#include "simulator/fake_ch341a.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/fake_spidev.h"
#include "simulator/simulated_bench.h"

using namespace eeprom;

namespace {

using benchsupport::CountingPortIo;

struct NullProgress final : Progress {};

enum class Mode { Classic, Fast };
enum class Direction { Read, Write };

constexpr double kI2cByteUs = 100.0;  // nine bit times at 90 kHz
constexpr double kBitInUs = 6.0;
constexpr double kBitOutUs = 7.0;

// One transfer on a fresh bench (seed 1: the same parts every run).
struct Rig {
    explicit Rig(const std::string& entry) {
        adapter.SetBase(hardware::kLpt1);
        adapter.SetLatch(0xFD);
        adapter.ConfigurePort();
        adapter.ResetAdapter(0, adapter.Latch());
        if (!entry.empty()) {
            ApplyChipChoice(chip, entry);
            bench.SetChipListChoice(entry);
        }
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    }

    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
    CountingPortIo counting{bench};
    hardware::PortAdapter adapter{counting, clock};
    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    NullProgress progress;
};

double SerialReadLimitUs(const ChipParams& chip) {
    const bool microwire = chip.family == eeprom::ChipFamily::Microwire;
    const int sent = microwire ? 1 + 2 + chip.addressBits + 1 : 8 + chip.addressBits;
    const int received = chip.capacity * (microwire ? chip.organisation : 8);
    return sent * kBitInUs + received * kBitOutUs;
}

double SerialWriteLimitUs(const ChipParams& chip, double cycleUs) {
    double us = SerialReadLimitUs(chip);  // the verify
    if (chip.family == eeprom::ChipFamily::Microwire) {
        const int bits = 1 + 2 + chip.addressBits + 1 + chip.organisation;
        us += chip.capacity * (bits * kBitInUs + cycleUs);
    } else {
        const int page = SpiPageSize(chip);
        const int pages = chip.capacity / page;
        us += pages * ((8 + 8 + chip.addressBits + 8 * page) * kBitInUs + cycleUs);
    }
    return us;
}

void Report(benchmark::State& state, double benchUs, double limitUs, std::uint64_t accesses) {
    state.counters["bench_ms"] = benchUs / 1000.0;
    state.counters["limit_ms"] = limitUs / 1000.0;
    state.counters["ratio"] = benchUs / limitUs;
    state.counters["port_ms"] = static_cast<double>(accesses) / 1000.0;
}

void SerialChip(benchmark::State& state, const char* entry, Mode mode, Direction direction) {
    for (auto _ : state) {
        Rig rig(entry);
        const std::int64_t start = rig.clock.Peek();
        const std::uint64_t accesses = rig.counting.count;
        if (direction == Direction::Read && mode == Mode::Fast) {
            ReadChipFast(rig.adapter, rig.chip, rig.image, rig.marks, rig.progress);
        } else if (direction == Direction::Read) {
            ReadSerialChip(rig.adapter, rig.chip, rig.image, rig.marks, rig.progress);
        } else if (mode == Mode::Fast) {
            WriteChipFast(rig.adapter, rig.chip, rig.image, rig.marks, rig.progress);
        } else {
            WriteSerialChip(rig.adapter, rig.chip, rig.image, rig.marks, rig.progress);
        }
        const double benchUs = static_cast<double>(rig.clock.Peek() - start);
        const double cycleUs = static_cast<double>(rig.bench.SocketWriteCycleUs());
        const double limitUs = direction == Direction::Read ? SerialReadLimitUs(rig.chip)
                                                            : SerialWriteLimitUs(rig.chip, cycleUs);
        Report(state, benchUs, limitUs, rig.counting.count - accesses);
    }
}

// The 24C16 whole: its eight 256-byte blocks at A0, A2, ... AE.
void I2cChip(benchmark::State& state, Mode mode, Direction direction) {
    const int pageSize = I2cPageSize("24C16");
    for (auto _ : state) {
        Rig rig("");
        const std::int64_t start = rig.clock.Peek();
        const std::uint64_t accesses = rig.counting.count;
        bool ok = true;
        for (int block = 0; block < kPageCount; ++block) {
            const int dev = 0xA0 + 2 * block;
            if (direction == Direction::Read) {
                ok &= mode == Mode::Fast
                          ? ReadI2cBlockFast(rig.adapter, block, dev, rig.image, rig.marks, rig.progress)
                          : ReadI2cPage(rig.adapter, block, dev, rig.image, rig.marks, rig.progress);
            } else {
                ok &= mode == Mode::Fast
                          ? WriteI2cPagesFast(rig.adapter, block, dev, pageSize, rig.image, rig.progress)
                          : WriteI2cPage(rig.adapter, block, dev, rig.image, rig.progress);
            }
        }
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(rig.clock.Peek() - start);
        const double cycleUs = static_cast<double>(rig.bench.EepromWriteCycleUs());
        // A read: address, word address, address again, 256 bytes per block.
        // A write: address and word address, the page, and the cycle.
        const double limitUs = direction == Direction::Read ? kPageCount * (3 + kPageSize) * kI2cByteUs
                                                            : kPageCount * (kPageSize / pageSize) *
                                                                  ((2 + pageSize) * kI2cByteUs + cycleUs);
        Report(state, benchUs, limitUs, rig.counting.count - accesses);
    }
}

// The 24C16 whole through i2c-dev at `clockHz`: fast transfers only.
void I2cDevChip(benchmark::State& state, int clockHz, Direction direction) {
    const int pageSize = I2cPageSize("24C16");
    for (auto _ : state) {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        simulator::FakeI2cDev fake{bench, {.clockHz = clockHz}};
        hardware::I2cDevAdapter adapter{fake, clock};
        std::string error;
        if (!adapter.Open(fake.Path(), error)) state.SkipWithError(error.c_str());
        Image image{kImageSize};
        Image marks{kImageSize};
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
        NullProgress progress;
        const std::int64_t start = clock.Peek();
        bool ok = true;
        for (int block = 0; block < kPageCount; ++block) {
            const int dev = 0xA0 + 2 * block;
            ok &= direction == Direction::Read
                      ? ReadI2cBlockFast(adapter, block, dev, image, marks, progress)
                      : WriteI2cPagesFast(adapter, block, dev, pageSize, image, progress);
        }
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(clock.Peek() - start);
        // The adapter's own clock, as the device tree gives it.
        const std::vector<int> speeds = adapter.Capabilities().speedsHz;
        const double bitUs = 1e6 / (speeds.empty() ? clockHz : speeds.front());
        const double cycleUs = static_cast<double>(bench.EepromWriteCycleUs());
        // A read: START, address and word address, repeated START, address
        // and the block, STOP. A write: START, address, word address and the
        // page, STOP, and the cycle.
        const double readBits = 1 + 9 * 2 + 1 + 9 * (1 + kPageSize) + 1;
        const double writeBits = 1 + 9 * (2 + pageSize) + 1;
        const double limitUs = direction == Direction::Read
                                   ? kPageCount * readBits * bitUs
                                   : kPageCount * (kPageSize / pageSize) * (writeBits * bitUs + cycleUs);
        Report(state, benchUs, limitUs, 0);
        state.counters["ioctls"] = fake.Calls();
    }
}

// A serial chip over spidev on a fresh bench, the bus at `clockHz`.
void SpidevChip(benchmark::State& state, const char* entry, int clockHz, Direction direction) {
    for (auto _ : state) {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        simulator::FakeSpidev::Config config;
        config.maxSpeedHz = clockHz;
        config.orgHigh = std::string(entry).ends_with(" (16)");
        simulator::FakeSpidev node{bench, config};
        hardware::SpidevAdapter spi{node, clock};
        std::string error;
        if (!spi.Open(node.Path(), error)) state.SkipWithError(error.c_str());
        ChipParams chip;
        ApplyChipChoice(chip, entry);
        bench.SetChipListChoice(entry);
        Image image{kImageSize};
        Image marks{kImageSize};
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
        NullProgress progress;
        const std::int64_t start = clock.Peek();
        const bool ok = direction == Direction::Read ? ReadChipFast(spi, chip, image, marks, progress)
                                                     : WriteChipFast(spi, chip, image, marks, progress);
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(clock.Peek() - start);
        const double bitUs = 1e6 / spi.ClockHz();
        const bool microwire = chip.family == eeprom::ChipFamily::Microwire;
        const double readBits = microwire
                                    ? 1 + 2 + chip.addressBits + 1 + 1 + chip.capacity * chip.organisation
                                    : 8 + chip.addressBits + 8.0 * chip.capacity;
        double limitUs = readBits * bitUs;
        if (direction == Direction::Write) {
            const double cycleUs = static_cast<double>(bench.SocketWriteCycleUs());
            if (microwire) {
                const int enableBits = 1 + 2 + 2 + chip.addressBits - 1;  // EWEN, EWDS
                const int wordBits = 1 + 2 + chip.addressBits + 1 + chip.organisation;
                limitUs += 2 * enableBits * bitUs + chip.capacity * (wordBits * bitUs + cycleUs);
            } else {
                const int page = SpiPageSize(chip);
                limitUs += chip.capacity / page * ((8 + 8 + chip.addressBits + 8 * page) * bitUs + cycleUs);
            }
        }
        Report(state, benchUs, limitUs, 0);
    }
}

// A whole larger part on the bench: `adapter` "parallel", "i2cdev" or "spidev".
void PartChip(benchmark::State& state, const char* partName, const std::string& adapter, int clockHz,
              Direction direction) {
    const hardware::ChipPart& part = *hardware::FindMemoryPart(partName);
    const bool i2c = part.family == hardware::ChipFamily::I2c;
    for (auto _ : state) {
        platform::VirtualCounter clock;
        simulator::SimulatedBench bench{clock};
        std::string error;
        if (!bench.PutPart(partName, error)) state.SkipWithError(error.c_str());
        CountingPortIo counting{bench};
        hardware::PortAdapter parallel{counting, clock};
        simulator::FakeI2cDev i2cNode{bench, {.clockHz = clockHz}};
        hardware::I2cDevAdapter i2cDev{i2cNode, clock};
        simulator::FakeSpidev::Config config;
        config.maxSpeedHz = clockHz;
        simulator::FakeSpidev spiNode{bench, config};
        hardware::SpidevAdapter spidev{spiNode, clock};
        if (adapter == "parallel") {
            parallel.SetBase(hardware::kLpt1);
            parallel.SetLatch(0xFD);
            parallel.ConfigurePort();
            parallel.ResetAdapter(0, parallel.Latch());
        } else if (!(i2c ? i2cDev.Open(i2cNode.Path(), error) : spidev.Open(spiNode.Path(), error))) {
            state.SkipWithError(error.c_str());
        }
        const PartBus bus = adapter == "parallel"
                                ? (i2c ? PartBus(static_cast<hardware::I2cMaster&>(parallel))
                                       : PartBus(static_cast<hardware::SerialLines&>(parallel)))
                            : i2c ? PartBus(i2cDev)
                                  : PartBus(spidev);
        Image image(part.bytes);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
        NullProgress progress;
        const std::int64_t start = clock.Peek();
        const bool ok = direction == Direction::Read ? ReadPartFast(bus, part, image, progress)
                                                     : WritePartFast(bus, part, image, progress);
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(clock.Peek() - start);
        const double cycleUs =
            static_cast<double>(i2c ? bench.I2cPart()->WriteCycleUs() : bench.SocketWriteCycleUs());
        const int pages = part.bytes / part.pageSize;
        const int address = part.addressBytes;
        double limitUs = 0;
        if (adapter == "parallel" && i2c) {
            limitUs = direction == Direction::Read
                          ? (3 + address + part.bytes) * kI2cByteUs
                          : pages * ((1 + address + part.pageSize) * kI2cByteUs + cycleUs);
        } else if (adapter == "parallel") {
            const int header = 8 * (1 + address);
            limitUs = direction == Direction::Read
                          ? header * kBitInUs + 8.0 * part.bytes * kBitOutUs
                          : pages * ((8 + header + 8 * part.pageSize) * kBitInUs + cycleUs);
        } else if (i2c) {
            const double bitUs = 1e6 / clockHz;
            limitUs = direction == Direction::Read
                          ? (1 + 9 * (1 + address) + 1 + 9 * (1 + part.bytes) + 1) * bitUs
                          : pages * ((1 + 9 * (1 + address + part.pageSize) + 1) * bitUs + cycleUs);
        } else {
            const double bitUs = 1e6 / spidev.ClockHz();
            const int header = 8 * (1 + address);
            limitUs = direction == Direction::Read
                          ? (header + 8.0 * part.bytes) * bitUs
                          : pages * ((8 + header + 8 * part.pageSize) * bitUs + cycleUs);
        }
        Report(state, benchUs, limitUs, adapter == "parallel" ? counting.count : 0);
    }
}

// The CH341A on a fresh bench of its own, a test pattern to write.
struct Ch341aRig {
    explicit Ch341aRig(const std::string& entry) {
        fake.StrapOrg(entry.ends_with(" (16)"));
        if (!entry.empty()) {
            ApplyChipChoice(chip, entry);
            bench.SetChipListChoice(entry);
        }
        if (!adapter.Open(0, error)) return;
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    }
    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
    simulator::FakeCh341a fake{bench};
    hardware::Ch341aAdapter adapter{fake, clock};
    std::string error;
    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    NullProgress progress;
};

constexpr double kRoundTripUs = 1000.0;

// Round trips one SPI transfer of `bytes` forces: its packets (the select, 31
// bytes each, the release), 32 to a round trip.
double Ch341aSpiTrips(int bytes) {
    const int per = hardware::Ch341aAdapter::kPacketBytes - 1;
    const int packets = 2 + (bytes + per - 1) / per;
    const int perTrip = hardware::Ch341aAdapter::kPacketsPerRoundTrip;
    return (packets + perTrip - 1) / perTrip;
}

void Ch341aI2cChip(benchmark::State& state, int clockHz, Direction direction) {
    const int pageSize = I2cPageSize("24C16");
    for (auto _ : state) {
        Ch341aRig rig("");
        if (!rig.error.empty() || !rig.adapter.SetI2cSpeedHz(clockHz)) state.SkipWithError("no programmer");
        const std::int64_t start = rig.clock.Peek();
        const std::uint64_t trips = rig.fake.RoundTrips();
        bool ok = true;
        for (int block = 0; block < kPageCount; ++block) {
            const int dev = 0xA0 + 2 * block;
            ok &= direction == Direction::Read
                      ? ReadI2cBlockFast(rig.adapter, block, dev, rig.image, rig.marks, rig.progress)
                      : WriteI2cPagesFast(rig.adapter, block, dev, pageSize, rig.image, rig.progress);
        }
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(rig.clock.Peek() - start);
        const double bitUs = 1e6 / clockHz;
        const double cycleUs = static_cast<double>(rig.bench.EepromWriteCycleUs());
        // As the i2c-dev rows' bits; a read is one transfer a block, a page
        // write one transfer and the acknowledge poll that sees the cycle over.
        const double readBits = 1 + 9 * 2 + 1 + 9 * (1 + kPageSize) + 1;
        const double writeBits = 1 + 9 * (2 + pageSize) + 1;
        const double pollBits = 1 + 9 + 1;
        const double limitUs = direction == Direction::Read
                                   ? kPageCount * (readBits * bitUs + kRoundTripUs)
                                   : kPageCount * (kPageSize / pageSize) *
                                         ((writeBits + pollBits) * bitUs + 2 * kRoundTripUs + cycleUs);
        Report(state, benchUs, limitUs, 0);
        state.counters["round_trips"] = static_cast<double>(rig.fake.RoundTrips() - trips);
    }
}

void Ch341aSerialChip(benchmark::State& state, const char* entry, Direction direction) {
    for (auto _ : state) {
        Ch341aRig rig(entry);
        if (!rig.error.empty()) state.SkipWithError(rig.error.c_str());
        const ChipParams& chip = rig.chip;
        const std::int64_t start = rig.clock.Peek();
        const std::uint64_t trips = rig.fake.RoundTrips();
        hardware::SpiMaster& spi = rig.adapter;  // the SPI stream, not the pins
        const bool ok = direction == Direction::Read
                            ? ReadChipFast(spi, chip, rig.image, rig.marks, rig.progress)
                            : WriteChipFast(spi, chip, rig.image, rig.marks, rig.progress);
        if (!ok) state.SkipWithError("transfer failed");
        const double benchUs = static_cast<double>(rig.clock.Peek() - start);
        const double bitUs = 1e6 / hardware::Ch341aAdapter::kSpiClockHz;
        const bool microwire = chip.family == eeprom::ChipFamily::Microwire;
        const int bytes = chip.capacity * (microwire ? chip.organisation / 8 : 1);
        // The check that a chip answers (RDSR, or a Microwire READ of one
        // unit), then the whole chip in READs of 256 bytes, as the engine
        // splits it; a Microwire frame is padded to whole bytes.
        const auto transferUs = [&](int frameBytes) {
            return frameBytes * 8 * bitUs + Ch341aSpiTrips(frameBytes) * kRoundTripUs;
        };
        const auto readBytes = [&](int data) {
            return microwire ? (5 + chip.addressBits + 8 * data + 7) / 8 : 1 + chip.addressBits / 8 + data;
        };
        double limitUs = transferUs(microwire ? readBytes(chip.organisation / 8) : 2);
        for (int done = 0; done < bytes; done += 256)
            limitUs += transferUs(readBytes(std::min(256, bytes - done)));
        if (direction == Direction::Write) {
            const double cycleUs = static_cast<double>(rig.bench.SocketWriteCycleUs());
            // Each unit or page in a transfer of its own, the write cycle, and
            // the one-byte poll (a 25xx's RDSR two) that sees it ready.
            const int pollBytes = microwire ? 1 : 2;
            const double pollUs = pollBytes * 8 * bitUs + Ch341aSpiTrips(pollBytes) * kRoundTripUs;
            if (microwire) {
                const int frameBytes = (1 + 2 + chip.addressBits + 1 + chip.organisation + 7) / 8;
                const int enableBytes = (1 + 2 + 2 + chip.addressBits - 1 + 7) / 8;
                limitUs += 2 * (enableBytes * 8 * bitUs + Ch341aSpiTrips(enableBytes) * kRoundTripUs);
                limitUs += chip.capacity * (frameBytes * 8 * bitUs +
                                            Ch341aSpiTrips(frameBytes) * kRoundTripUs + cycleUs + pollUs);
            } else {
                const int page = SpiPageSize(chip);
                const int writeBytes = 1 + chip.addressBits / 8 + page;
                const double wrenUs = 8 * bitUs + Ch341aSpiTrips(1) * kRoundTripUs;
                limitUs += chip.capacity / page *
                           (wrenUs + writeBytes * 8 * bitUs + Ch341aSpiTrips(writeBytes) * kRoundTripUs +
                            cycleUs + pollUs);
            }
        }
        Report(state, benchUs, limitUs, 0);
        state.counters["round_trips"] = static_cast<double>(rig.fake.RoundTrips() - trips);
    }
}

void Register() {
    struct PartRow {
        const char* part;
        const char* adapter;
        int clockHz;
    };
    for (const PartRow& row : {PartRow{"24C256", "parallel", 0}, PartRow{"24C256", "i2cdev", 400'000},
                               PartRow{"25M02", "parallel", 0}, PartRow{"25M02", "spidev", 1'000'000}}) {
        for (Direction direction : {Direction::Read, Direction::Write}) {
            const std::string name = std::string("BM_Part") +
                                     (direction == Direction::Read ? "Read" : "Write") + "_" + row.part +
                                     "_" + row.adapter;
            benchmark::RegisterBenchmark(name.c_str(), PartChip, row.part, std::string(row.adapter),
                                         row.clockHz, direction)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const int hz : {100'000, 400'000}) {
        for (Direction direction : {Direction::Read, Direction::Write}) {
            const std::string name = std::string("BM_Ch341a") + std::to_string(hz / 1000) + "kHz_Fast" +
                                     (direction == Direction::Read ? "Read" : "Write") + "_24C16";
            benchmark::RegisterBenchmark(name.c_str(), Ch341aI2cChip, hz, direction)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (Direction direction : {Direction::Read, Direction::Write}) {
        const std::string d = direction == Direction::Read ? "Read" : "Write";
        for (const auto& [name, entry] :
             {std::pair{"93C66x8", "93C66 (8)"}, std::pair{"93C66x16", "93C66 (16)"},
              std::pair{"93C86x8", "93C86 (8)"}, std::pair{"93C86x16", "93C86 (16)"},
              std::pair{"AT25C160", "AT25C160"}}) {
            benchmark::RegisterBenchmark(("BM_Ch341a_Fast" + d + "_" + name).c_str(), Ch341aSerialChip, entry,
                                         direction)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const int hz : {100'000, 400'000}) {
        for (Direction direction : {Direction::Read, Direction::Write}) {
            const std::string name = std::string("BM_Fast") +
                                     (direction == Direction::Read ? "Read" : "Write") + "_24C16_i2cdev_" +
                                     std::to_string(hz / 1000) + "kHz";
            benchmark::RegisterBenchmark(name.c_str(), I2cDevChip, hz, direction)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    struct Serial {
        const char* name;
        const char* entry;
    };
    const Serial serial[] = {
        {"93C46x8", "93C46 (8)"},   {"93C46x16", "93C46 (16)"}, {"93C86x8", "93C86 (8)"},
        {"93C86x16", "93C86 (16)"}, {"AT25C010", "AT25C010"},   {"AT25C160", "AT25C160"},
    };
    for (Mode mode : {Mode::Fast, Mode::Classic}) {
        const std::string m = mode == Mode::Fast ? "Fast" : "Classic";
        for (Direction direction : {Direction::Read, Direction::Write}) {
            const std::string d = direction == Direction::Read ? "Read" : "Write";
            benchmark::RegisterBenchmark(("BM_" + m + d + "_24C16").c_str(), I2cChip, mode, direction)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
            for (const Serial& chip : serial) {
                benchmark::RegisterBenchmark(("BM_" + m + d + "_" + chip.name).c_str(), SerialChip,
                                             chip.entry, mode, direction)
                    ->Iterations(1)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    for (int clockHz : {1'000'000, 400'000}) {
        const std::string speed = clockHz == 1'000'000 ? "1MHz" : "400kHz";
        for (Direction direction : {Direction::Read, Direction::Write}) {
            const std::string d = direction == Direction::Read ? "Read" : "Write";
            for (const Serial& chip : {Serial{"AT25C160", "AT25C160"}, Serial{"93C66x8", "93C66 (8)"},
                                       Serial{"93C66x16", "93C66 (16)"}}) {
                benchmark::RegisterBenchmark(("BM_Spidev" + speed + "_Fast" + d + "_" + chip.name).c_str(),
                                             SpidevChip, chip.entry, clockHz, direction)
                    ->Iterations(1)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
