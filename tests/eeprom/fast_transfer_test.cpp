// The I2C fast transfers on every adapter with I2C (the parallel one on the
// bench, the in-memory one and i2c-dev on its fake), and the backup read on
// those with serial lines too. On each, I2C blocks reach the chip and come
// back with the classic transfers' image and marks, pages never cross the
// chip's, the transfers keep within what the adapter takes, and the
// acknowledge poll ends at its bound on a stuck chip. The serial socket's
// suite is serial_fast_transfer_test.cpp.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <span>

#include "eeprom/backup.h"
#include "eeprom/fast_chip_transfers.h"
#include "eeprom/fast_transfer_fixture.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

using fasttest::All;
using fasttest::Pattern;

class FastTransfers : public fasttest::ChipFixture {};
// The I2C transfers alone, on the adapters without serial lines too.
class FastI2cTransfers : public FastTransfers {};

// A bridge over the rig's adapter that takes one message of at most 9 bytes
// per transfer and refuses anything else.
class NarrowBridge final : public hardware::I2cMaster {
public:
    static constexpr std::size_t kLongest = 9;
    explicit NarrowBridge(hardware::I2cMaster& inner) : inner_(inner) {}
    std::int64_t NowUs() override { return inner_.NowUs(); }
    void SleepMs(int ms) override { inner_.SleepMs(ms); }
    hardware::I2cResult Transfer(std::span<const hardware::I2cMessage> messages) override {
        if (messages.size() == 1 && messages[0].bytes.size() <= kLongest) return inner_.Transfer(messages);
        ++refused;
        return {hardware::I2cStatus::NotSupported, 0, hardware::I2cResult::kAddressByte};
    }
    bool WaitForFreeBus() override { return inner_.WaitForFreeBus(); }
    void Prepare() override { inner_.Prepare(); }
    void Recover() override { inner_.Recover(); }
    hardware::I2cCapabilities Capabilities() const override {
        hardware::I2cCapabilities caps = inner_.Capabilities();
        caps.maxMessages = 1;
        caps.maxMessageBytes = static_cast<int>(kLongest);
        caps.maxReadBytes = 0;  // reads as narrow as writes
        caps.writeThenReadOnly = true;
        return caps;
    }
    int refused = 0;

private:
    hardware::I2cMaster& inner_;
};

TEST_P(FastI2cTransfers, PlanWithinWhatTheAdapterTakes) {
    NarrowBridge bridge(rig.I2c());
    image = Pattern(7);
    ASSERT_TRUE(WriteI2cPagesFast(bridge, 4, 0xA8, I2cPageSize("24C16"), image, progress));
    EXPECT_TRUE(std::equal(image.begin() + 1024, image.begin() + 1280, rig.Eeprom().begin() + 1024));
    image.fill(0);
    ASSERT_TRUE(ReadI2cBlockFast(bridge, 4, 0xA9, image, marks, progress));
    EXPECT_TRUE(std::equal(image.begin() + 1024, image.begin() + 1280, Pattern(7).begin() + 1024));
    EXPECT_EQ(bridge.refused, 0);
    EXPECT_TRUE(progress.messages.empty());
}

TEST_P(FastI2cTransfers, BlocksAndPagesKeepToTheChipsPages) {
    image = Pattern(3);
    ASSERT_TRUE(WriteI2cPagesFast(rig.I2c(), 2, 0xA4, I2cPageSize("24C16"), image, progress));
    ASSERT_TRUE(WriteI2cPagesFast(rig.I2c(), 3, 0xA6, kSafeI2cPageSize, image, progress));
    EXPECT_TRUE(std::equal(image.begin() + 512, image.begin() + 1024, rig.Eeprom().begin() + 512));

    // A block read fills its page and clears its marks, and only those.
    marks.fill(kMarkSeen);
    image.fill(0);
    ASSERT_TRUE(ReadI2cBlockFast(rig.I2c(), 2, 0xA5, image, marks, progress));
    EXPECT_TRUE(std::equal(image.begin() + 512, image.begin() + 768, Pattern(3).begin() + 512));
    EXPECT_TRUE(All(image, 0, 512, 0));
    EXPECT_TRUE(All(marks, 512, 768, kMarkNone));
    EXPECT_TRUE(All(marks, 768, kImageSize, kMarkSeen));
    EXPECT_TRUE(progress.messages.empty());

    // Pages of 32 cross the 24C16's 16-byte pages: the chip wraps each
    // write inside its page and the second half lands over the first.
    image = Pattern(4);
    ASSERT_TRUE(WriteI2cPagesFast(rig.I2c(), 1, 0xA2, 32, image, progress));
    EXPECT_FALSE(std::equal(image.begin() + 256, image.begin() + 512, rig.Eeprom().begin() + 256));
    EXPECT_TRUE(std::equal(image.begin() + 256 + 16, image.begin() + 256 + 32, rig.Eeprom().begin() + 256));

    // A block past the end of a smaller image is refused before the bus is touched.
    Image bytes{128};
    EXPECT_FALSE(ReadI2cBlockFast(rig.I2c(), 0, 0xA1, bytes, bytes, progress));
    EXPECT_FALSE(WriteI2cPagesFast(rig.I2c(), 1, 0xA2, 16, bytes, progress, 16));
}

TEST_P(FastI2cTransfers, AcknowledgePollingEndsAtItsBoundOnAStuckChip) {
    rig.ForceWriteCycleUs(60'000);
    image = Pattern(5);
    const std::int64_t start = rig.I2c().NowUs();
    EXPECT_FALSE(WriteI2cPagesFast(rig.I2c(), 0, 0xA0, 16, image, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>{kI2cTimeoutMessage});
    // One page, the 20 ms of polling and one poll after them (a CH341A's
    // takes a few USB frames), and the reset after it.
    EXPECT_GE(rig.I2c().NowUs() - start, kChipWaitLimitMs * 1000);
    EXPECT_LT(rig.I2c().NowUs() - start, (kChipWaitLimitMs + 8) * 1000);
}

TEST_P(FastTransfers, BackupHoldsWhatTheChipHeld) {
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("backups"));
    image = Pattern(6);
    ASSERT_TRUE(WriteI2cPagesFast(rig.I2c(), 5, 0xAA, 16, image, progress));
    Choose("AT25C010");
    std::fill_n(rig.SocketMemory().begin(), 128, std::uint8_t{0x3C});
    for (const BackupTarget& target : {BackupTarget{"24C16", 0xAA, 5}, BackupTarget{"AT25C010"}}) {
        SCOPED_TRACE(target.chip);
        QString path;
        std::string error;
        ASSERT_TRUE(BackUpBeforeWrite(FastBackupReads(rig.I2c(), rig.Lines(), chip), chip, target, folder,
                                      progress, path, error))
            << error;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        const QByteArray held =
            target.page >= 0 ? QByteArray(reinterpret_cast<const char*>(Pattern(6).data()) + 5 * 256, 256)
                             : QByteArray(128, '\x3C');
        EXPECT_EQ(saved, held);
    }
}

INSTANTIATE_TEST_SUITE_P(Adapters, FastTransfers, testsupport::kEveryAdapter, testsupport::AdapterName);
INSTANTIATE_TEST_SUITE_P(Adapters, FastI2cTransfers, testsupport::kEveryI2cAdapter, testsupport::AdapterName);

}  // namespace
