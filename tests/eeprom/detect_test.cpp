// Detection on every adapter, and nothing written: a part is named for sure
// only where reading proves it (the largest size of its kind, or its device
// addresses); contents that repeat (a 24C256 holding one 4 KiB block eight
// times, a 25M02 with a 32 KiB period, a part that starts erased) leave the
// smallest size they allow and every larger one as candidates.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "eeprom/chip_progress.h"
#include "eeprom/detect.h"
#include "eeprom/part_facts.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

enum class Holds { Own, Erased, Period4K, Period32K, ErasedStart };

struct Case {
    const char* part;
    Holds holds;
    bool sure;
    const char* smallest;  // the first candidate: the smallest size reading allows
};

std::vector<std::string> Names(const Detection& found) {
    std::vector<std::string> names;
    // Each candidate by every name it goes by ("AT25C010", "25010").
    for (const hardware::ChipPart* part : found.candidates) {
        for (const std::string& name : eeprom::PartNames(*part)) names.push_back(name);
    }
    return names;
}

// Puts `c.part` in its socket with what it holds and returns what
// detection found; the part is left as it was.
template <typename Detect>
Detection DetectWith(testsupport::AdapterRig& rig, const Case& c, Detect detect) {
    rig.PutPart(c.part);
    std::vector<std::uint8_t>& memory = rig.PartMemory(c.part);
    const auto own = [](std::size_t k) {
        return static_cast<std::uint8_t>(k ^ (k >> 8) * 7 ^ (k >> 16) * 31);
    };
    for (std::size_t k = 0; k < memory.size(); ++k) {
        switch (c.holds) {
            case Holds::Own:
                memory[k] = own(k);
                break;
            case Holds::Erased:
                memory[k] = 0xFF;
                break;
            case Holds::Period4K:
                memory[k] = own(k % 4096);
                break;
            case Holds::Period32K:
                memory[k] = own(k % 32768);
                break;
            case Holds::ErasedStart:
                memory[k] = k < 4096 ? 0xFF : own(k);
                break;
        }
    }
    const std::vector<std::uint8_t> before = memory;
    const Detection found = detect();
    EXPECT_EQ(memory, before) << "detection wrote to the part";
    const std::vector<std::string> names = Names(found);
    EXPECT_EQ(found.sure, c.sure) << found.said;
    EXPECT_NE(std::find(names.begin(), names.end(), c.part), names.end()) << found.said;
    if (!c.sure) {
        EXPECT_GT(names.size(), 1u);
    }
    if (!names.empty()) {
        EXPECT_EQ(names.front(), c.smallest) << found.said;
    }
    return found;
}

class DetectI2cParts : public testsupport::OnEveryAdapter {};

TEST_P(DetectI2cParts, SureOnlyWhereReadingProvesThePart) {
    using enum Holds;
    for (const Case& c : {Case{"24C02", Own, true, "24C02"}, Case{"24C01", Own, false, "24C01"},
                          Case{"24C16", Own, true, "24C16"}, Case{"24C256", Own, false, "24C256"},
                          Case{"24C256", Period4K, false, "24C32"}, Case{"24C512", Own, true, "24C512"},
                          Case{"24M02", Own, true, "24M02"}, Case{"24C515", Own, true, "24C515"},
                          Case{"24C256", Erased, false, "24C01"}}) {
        SCOPED_TRACE(std::string(c.part) + " holding " + std::to_string(static_cast<int>(c.holds)));
        const Detection found = DetectWith(rig, c, [this] { return DetectI2c(rig.I2c()); });
        EXPECT_TRUE(std::find(found.answering.begin(), found.answering.end(), 0x20) != found.answering.end())
            << "the register devices answer too";
    }
}

INSTANTIATE_TEST_SUITE_P(Adapters, DetectI2cParts, testsupport::kEveryI2cAdapter, testsupport::AdapterName);

class DetectSpiParts : public testsupport::OnEveryAdapter {};

TEST_P(DetectSpiParts, SureOnlyWhereReadingProvesThePart) {
    RecordingProgress progress;
    using enum Holds;
    for (const Case& c :
         {Case{"25010", Own, false, "AT25C010"}, Case{"25040", Own, true, "AT25C040"},
          Case{"25640", Own, false, "25640"}, Case{"25M02", Own, true, "25M02"},
          Case{"25M02", Period32K, false, "25M01"}, Case{"25M02", ErasedStart, false, "AT25C010"},
          Case{"25M01", Erased, false, "AT25C010"}}) {
        SCOPED_TRACE(std::string(c.part) + " holding " + std::to_string(static_cast<int>(c.holds)));
        DetectWith(rig, c, [&] {
            if (hardware::SpiMaster* spi = rig.Spi()) return DetectSpi(*spi, progress);
            return DetectSpi(rig.Lines(), progress);
        });
    }
    EXPECT_TRUE(progress.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Adapters, DetectSpiParts, testsupport::kSerialAdapters, testsupport::AdapterName);

}  // namespace
