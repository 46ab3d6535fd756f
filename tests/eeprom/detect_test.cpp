// Detection on every adapter: parts with contents of their own are named for
// sure, by their wrap and their device addresses, and nothing is written to
// them; an erased part, whose contents show no wrap, leaves several
// candidates and no sure answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "eeprom/chip_progress.h"
#include "eeprom/detect.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

struct Case {
    const char* part;
    bool erased;
    bool sure;
};

std::vector<std::string> Names(const Detection& found) {
    std::vector<std::string> names;
    for (const hardware::ChipPart* part : found.candidates) names.emplace_back(part->name);
    return names;
}

// Puts `c.part` in its socket with a different byte at each address (or
// erased) and returns what detection found; the part is left as it was.
template <typename Detect>
Detection DetectWith(testsupport::AdapterRig& rig, const Case& c, Detect detect) {
    rig.PutPart(c.part);
    std::vector<std::uint8_t>& memory = rig.PartMemory(c.part);
    for (std::size_t k = 0; k < memory.size(); ++k) {
        memory[k] = c.erased ? 0xFF : static_cast<std::uint8_t>(k ^ (k >> 8) * 7 ^ (k >> 16) * 31);
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
    return found;
}

class DetectI2cParts : public testsupport::OnEveryAdapter {};

TEST_P(DetectI2cParts, NamesThePartByItsWrapAndRefusesToGuessWhenErased) {
    for (const Case& c : {Case{"24C02", false, true}, Case{"24C16", false, true}, Case{"24C256", false, true},
                          Case{"24M02", false, true}, Case{"24C01", false, true}, Case{"24C515", false, true},
                          Case{"24C256", true, false}}) {
        SCOPED_TRACE(std::string(c.part) + (c.erased ? " erased" : ""));
        const Detection found = DetectWith(rig, c, [this] { return DetectI2c(rig.I2c()); });
        EXPECT_TRUE(std::find(found.answering.begin(), found.answering.end(), 0x20) != found.answering.end())
            << "the register devices answer too";
        if (c.sure) {
            EXPECT_EQ(found.candidates.front()->name, c.part);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Adapters, DetectI2cParts, testsupport::kEveryI2cAdapter, testsupport::AdapterName);

class DetectSpiParts : public testsupport::OnEveryAdapter {};

TEST_P(DetectSpiParts, NamesThePartByItsAddressBytesAndWrap) {
    RecordingProgress progress;
    for (const Case& c : {Case{"25010", false, true}, Case{"25040", false, true}, Case{"25640", false, true},
                          Case{"25M02", false, true}, Case{"25M01", true, false}}) {
        SCOPED_TRACE(std::string(c.part) + (c.erased ? " erased" : ""));
        DetectWith(rig, c, [&] {
            if (hardware::SpiMaster* spi = rig.Spi()) return DetectSpi(*spi, progress);
            return DetectSpi(rig.Lines(), progress);
        });
    }
    EXPECT_TRUE(progress.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Adapters, DetectSpiParts, testsupport::kSerialAdapters, testsupport::AdapterName);

}  // namespace
