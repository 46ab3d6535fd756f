// Every memory part of the chip table through the whole-part fast transfers,
// on every adapter that reaches its socket: a read of what the part holds, a
// write of a pattern that differs in each byte (so a wrong block, half or
// address byte shows), its verify, and a fill of a range that crosses a page
// boundary. Then the 25xx block protection: refused, then written with
// unprotect and set again.
#include <gtest/gtest.h>
#include <linux/i2c.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "eeprom/chip_progress.h"
#include "eeprom/whole_part_transfers.h"
#include "platform/i2c_drivers.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

using testsupport::AdapterKind;
using testsupport::AdapterRig;

std::vector<std::string> PartNames(hardware::ChipFamily family) {
    std::vector<std::string> names;
    for (const hardware::ChipPart& part : hardware::kMemoryParts) {
        if (part.family == family && part.listText.empty()) names.emplace_back(part.name);
    }
    return names;
}

// A different byte at every address of a 256 KiB part: block and half bits count.
Image Pattern(int size, int seed) {
    Image image(size);
    for (int k = 0; k < size; ++k)
        image[static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>(k ^ (k >> 8) * 7 ^ (k >> 16) * 31 ^ seed);
    return image;
}

PartBus BusOf(AdapterRig& rig, const hardware::ChipPart& part) {
    if (part.family == hardware::ChipFamily::I2c) return rig.I2c();
    if (hardware::SpiMaster* spi = rig.Spi()) return *spi;
    return rig.Lines();
}

void ReadWriteVerifyAndFill(AdapterRig& rig, const std::string& name) {
    const hardware::ChipPart& part = *hardware::FindMemoryPart(name);
    rig.PutPart(name);
    std::vector<std::uint8_t>& memory = rig.PartMemory(name);
    ASSERT_EQ(memory.size(), static_cast<std::size_t>(part.bytes));
    const Image before = Pattern(part.bytes, 0x5A);
    std::copy(before.begin(), before.end(), memory.begin());
    RecordingProgress progress;
    const PartBus bus = BusOf(rig, part);
    // The socket's part takes 0x50..: the 24C16 beside it must not answer too.
    const std::vector<std::uint8_t> eeprom = rig.Eeprom();

    Image image(part.bytes);
    ASSERT_TRUE(ReadPartFast(bus, part, image, progress));
    EXPECT_EQ(image, before);

    const Image written = Pattern(part.bytes, 0xA5);
    ASSERT_TRUE(WritePartFast(bus, part, written, progress));
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), written.begin()));
    Image marks(part.bytes, kMarkSeen);
    int mismatches = -1;
    ASSERT_TRUE(VerifyPartFast(bus, part, written, marks, progress, mismatches));
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(marks, Image(part.bytes, kMarkNone));

    // A range from three bytes before a page boundary to past the next one.
    const PartWrite range{part.pageSize - 3, part.pageSize + 5};
    ASSERT_TRUE(FillPartFast(bus, part, 0x00, progress, range));
    Image filled = written;
    std::fill_n(filled.begin() + range.first, range.count, 0x00);
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), filled.begin()));
    ASSERT_TRUE(VerifyPartFast(bus, part, written, marks, progress, mismatches));
    EXPECT_EQ(mismatches,
              std::count(filled.begin(), filled.end(), 0) - std::count(written.begin(), written.end(), 0));
    EXPECT_TRUE(progress.messages.empty()) << progress.messages.front();
    EXPECT_EQ(rig.Eeprom(), eeprom);
    if (part.family == hardware::ChipFamily::Spi) {
        EXPECT_TRUE(rig.LinesAtRest());
    }
}

class PartRoundTrip : public ::testing::TestWithParam<std::tuple<AdapterKind, std::string>> {
protected:
    AdapterRig rig{std::get<0>(GetParam())};
};

TEST_P(PartRoundTrip, ReadsWritesVerifiesAndFills) { ReadWriteVerifyAndFill(rig, std::get<1>(GetParam())); }

// The same over i2c-dev with each kernel driver's rules: its limits, shapes
// and errno, on the smallest and largest parts of each addressing (an
// SMBus-only bus reaches only the one-address-byte parts).
std::vector<std::tuple<std::string, std::string>> DriverCases() {
    std::vector<std::tuple<std::string, std::string>> cases;
    for (const platform::I2cDriverRules& driver : platform::I2cDriverTable()) {
        const bool smbusOnly = (driver.functions & I2C_FUNC_I2C) == 0;
        for (const char* part : {"24C02", "24C16", "24C256", "24M02"}) {
            if (!smbusOnly || std::string_view(part).starts_with("24C0") || std::string_view(part) == "24C16")
                cases.emplace_back(driver.driver, part);
        }
    }
    return cases;
}

class PartOverI2cDriver : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {
protected:
    AdapterRig rig{*platform::I2cDriverByModule(std::get<0>(GetParam()))};
};

TEST_P(PartOverI2cDriver, ReadsWritesVerifiesAndFills) {
    ReadWriteVerifyAndFill(rig, std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Drivers, PartOverI2cDriver, ::testing::ValuesIn(DriverCases()),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, std::string>>& info) {
                             std::string name = std::get<0>(info.param) + "_" + std::get<1>(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

std::string CaseName(const ::testing::TestParamInfo<std::tuple<AdapterKind, std::string>>& info) {
    return testsupport::AdapterName({std::get<0>(info.param), info.index}) + "_" + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(I2cParts, PartRoundTrip,
                         ::testing::Combine(testsupport::kEveryI2cAdapter,
                                            ::testing::ValuesIn(PartNames(hardware::ChipFamily::I2c))),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(SpiParts, PartRoundTrip,
                         ::testing::Combine(testsupport::kSerialAdapters,
                                            ::testing::ValuesIn(PartNames(hardware::ChipFamily::Spi))),
                         CaseName);

// A CH341A that stops answering (libusb's TIMEOUT on every bulk IN) or is
// unplugged (NO_DEVICE) in the middle of a job: the job ends within a few
// USB transfers, where 256 retries of a second each would look like a hang,
// and its sentence names the programmer, never the chip.
TEST(AdapterFailure, EndsTheJobAtOnceAndNamesTheAdapterNotTheChip) {
    struct Case {
        const char* what;
        bool unplug;
        bool write;
        const char* says;
    };
    const Case cases[] = {
        {"muted mid-read", false, false,
         "The CH341A (USB bus 1 address 4) stopped answering (its transfers timed out) at byte 0x"},
        {"unplugged mid-read", true, false, "The CH341A (USB bus 1 address 4) was unplugged at byte 0x"},
        {"unplugged mid-write", true, true, "The CH341A (USB bus 1 address 4) was unplugged at byte 0x"},
    };
    const hardware::ChipPart& part = *hardware::FindMemoryPart("24C256");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AdapterRig rig(AdapterKind::Ch341a);
        rig.PutPart(std::string(part.name));
        simulator::FakeCh341a& fake = rig.Ch341aFake();
        constexpr std::uint64_t kGoodTransfers = 40;
        const std::uint64_t failsFrom = fake.BulkTransfers() + kGoodTransfers;
        c.unplug ? fake.UnplugAfter(kGoodTransfers) : fake.MuteAfter(kGoodTransfers);
        RecordingProgress progress;
        Image image(part.bytes, 0x5A);
        EXPECT_FALSE(c.write ? WritePartFast(rig.I2c(), part, image, progress)
                             : ReadPartFast(rig.I2c(), part, image, progress));
        ASSERT_EQ(progress.messages.size(), 1u);
        const std::string& said = progress.messages[0];
        EXPECT_TRUE(said.starts_with(c.says)) << said;
        EXPECT_EQ(said.find("memory"), std::string::npos) << said;
        if (c.write) {
            EXPECT_NE(said.find("hold the new data"), std::string::npos) << said;
        }
        // Three timed-out round trips (an OUT, an IN that waits out its
        // second, the STOP after it), or one transfer to a device that is
        // gone and the STOP that follows it.
        EXPECT_LE(fake.BulkTransfers() - failsFrom, c.unplug ? 2u : 9u);
    }
}

class BlockProtection : public testsupport::OnEveryAdapter {};

// BP1:BP0 = 01 guards the upper quarter, 10 the upper half, 11 the whole part
// (Atmel's AT25010/020/040 datasheet, WRSR: "Top quarter (1/4), Top half
// (1/2), or all"; the same in AT25080B..AT25640B): the chip model ignores a
// byte written there, and the engine refuses a write that touches it.
TEST_P(BlockProtection, GuardsTheUpperQuarterHalfOrAllAndWritesWithUnprotect) {
    const hardware::ChipPart& part = *hardware::FindMemoryPart("25640");
    rig.PutPart("25640");
    std::vector<std::uint8_t>& memory = rig.PartMemory("25640");
    RecordingProgress progress;
    const PartBus bus = BusOf(rig, part);
    const Image image = Pattern(part.bytes, 1);
    for (const auto& [status, from, bits] :
         {std::tuple{0x04, 0x1800, "BP1=0, BP0=1"}, std::tuple{0x08, 0x1000, "BP1=1, BP0=0"},
          std::tuple{0x0C, 0x0000, "BP1=1, BP0=1"}}) {
        SCOPED_TRACE(bits);
        {
            SpiFrames frames(bus, progress);
            std::vector<std::uint8_t> in;
            const auto run = [&](std::vector<std::uint8_t> out) {
                bool ready = false;
                for (int k = 0; k < 10000 && !ready; ++k) ready = (frames.Status() & 0x01) == 0;
                ASSERT_TRUE(ready && frames.Run({0x06}, 0, in) && frames.Run(out, 0, in));
            };
            run({0x01, static_cast<std::uint8_t>(status)});
            const std::uint8_t guarded = memory[static_cast<std::size_t>(from)];
            run({0x02, static_cast<std::uint8_t>(from >> 8), static_cast<std::uint8_t>(from), 0xA5});
            if (from > 0)
                run({0x02, static_cast<std::uint8_t>((from - 1) >> 8), static_cast<std::uint8_t>(from - 1),
                     0x5A});
            run({0x04});  // WRDI, once the last cycle is over
            EXPECT_EQ(memory[static_cast<std::size_t>(from)], guarded) << "a guarded byte was stored";
            if (from > 0) {
                EXPECT_EQ(memory[static_cast<std::size_t>(from - 1)], 0x5A);
            }
        }
        const std::vector<std::uint8_t> before = memory;
        if (from > 0) {
            EXPECT_TRUE(WritePartFast(bus, part, image, progress, {0, from}));
        }
        ASSERT_FALSE(WritePartFast(bus, part, image, progress, {std::max(from - 1, 0), 2}));
        EXPECT_NE(progress.messages.back().find(bits), std::string::npos) << progress.messages.back();
        EXPECT_TRUE(std::equal(memory.begin() + from, memory.end(), before.begin() + from));
    }

    ASSERT_TRUE(WritePartFast(bus, part, image, progress, {0, -1, true}));
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), image.begin()));
    SpiFrames frames(bus, progress);
    EXPECT_EQ(frames.Status() & 0x0C, 0x0C) << "the protection is set again";
}

INSTANTIATE_TEST_SUITE_P(Adapters, BlockProtection, testsupport::kSerialAdapters, testsupport::AdapterName);

}  // namespace
