// The fast transfers and the backup read on every adapter: the parallel one
// on the bench, the in-memory one and (I2C only) i2c-dev on its fake. On each, whole serial chips and I2C
// blocks reach the chips and come back with the classic transfers' image and
// marks, pages never cross the chip's, a chip that does not store is marked
// where it differs, and every poll ends at its bound on a stuck chip.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

#include "eeprom/backup.h"
#include "eeprom/chip_progress.h"
#include "eeprom/fast_transfers.h"
#include "support/adapter_rig.h"

using namespace eeprom;

namespace {

using testsupport::OnEveryAdapter;

Image Pattern(int seed) {
    Image pattern{kImageSize};
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 256);
    return pattern;
}

bool All(const Image& bytes, std::ptrdiff_t from, std::ptrdiff_t to, std::uint8_t value) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to,
                       [value](std::uint8_t b) { return b == value; });
}

class FastTransfers : public OnEveryAdapter {
protected:
    void Choose(const std::string& entry) {
        ApplyChipChoice(chip, entry);
        rig.InsertChip(entry);
    }

    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    RecordingProgress progress;
};

TEST_P(FastTransfers, SerialChipsRoundTripAsTheClassicTransfersDo) {
    // The smallest, a middle and the largest geometry of each family, and
    // the AT25C040 with address bit 8 in its opcodes.
    for (const char* entry : {"93C06 (16)", "93C46 (8)", "93C86 (16)", "AT25C040", "AT25C160"}) {
        SCOPED_TRACE(entry);
        Choose(entry);
        const auto size = static_cast<std::ptrdiff_t>(ImageFileSize(chip));
        image = Pattern(static_cast<int>(size));
        marks.fill(kMarkSeen);
        ASSERT_TRUE(WriteChipFast(rig.Lines(), chip, image, marks, progress));
        ASSERT_EQ(image, Pattern(static_cast<int>(size)));
        ASSERT_TRUE(std::equal(image.begin(), image.begin() + size, rig.SocketMemory().begin()));
        EXPECT_TRUE(All(marks, 0, kImageSize, kMarkSeen)) << "a verified write raises no mark";

        // A read starts from a cleared image and cleared marks.
        image.fill(0x5A);
        ASSERT_TRUE(ReadChipFast(rig.Lines(), chip, image, marks, progress));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + size, Pattern(static_cast<int>(size)).begin()));
        EXPECT_TRUE(All(image, size, kImageSize, 0));
        EXPECT_TRUE(All(marks, 0, kImageSize, kMarkNone));
        EXPECT_TRUE(rig.LinesIdleHigh());
    }
    EXPECT_TRUE(progress.messages.empty());

    // An empty socket answers nothing: said, and the image stays.
    rig.InsertChip("");
    image.fill(0xFF);
    EXPECT_FALSE(ReadChipFast(rig.Lines(), chip, image, marks, progress));
    EXPECT_FALSE(WriteChipFast(rig.Lines(), chip, image, marks, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>(2, kNoChipMessage));
    EXPECT_TRUE(All(image, 0, kImageSize, 0xFF));
}

TEST_P(FastTransfers, ImagesOfTheChipsSizeAndNoFurther) {
    Choose("93C46 (16)");
    Image bytes{ImageFileSize(chip)};
    Image bytesMarks{bytes.Size()};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 3 + 1);
    const Image wanted = bytes;
    ASSERT_TRUE(WriteChipFast(rig.Lines(), chip, bytes, bytesMarks, progress));
    EXPECT_TRUE(std::equal(wanted.begin(), wanted.end(), rig.SocketMemory().begin()));
    bytes.fill(0);
    ASSERT_TRUE(ReadChipFast(rig.Lines(), chip, bytes, bytesMarks, progress));
    EXPECT_EQ(bytes, wanted);

    // A larger chip fills the image and stops at its end; an I2C block past
    // the end is refused before the bus is touched.
    Choose("93C86 (8)");
    ASSERT_TRUE(ReadChipFast(rig.Lines(), chip, bytes, bytesMarks, progress));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rig.SocketMemory().begin()));
    EXPECT_FALSE(ReadI2cBlockFast(rig.I2c(), 0, 0xA1, bytes, bytesMarks, progress));
    EXPECT_FALSE(WriteI2cPagesFast(rig.I2c(), 1, 0xA2, 16, bytes, progress, 16));
    EXPECT_TRUE(progress.messages.empty());
}

TEST_P(FastTransfers, AChipNotStoringIsMarkedWhereItDiffers) {
    Choose("93C46 (8)");
    rig.SetChipNoStore(true);
    image = Pattern(1);
    Image readBack{kImageSize};
    ASSERT_TRUE(WriteChipFast(rig.Lines(), chip, image, marks, progress, &readBack));
    EXPECT_EQ(image, Pattern(1));
    int marked = 0;
    for (std::size_t k = 0; k < 128; ++k) {
        EXPECT_EQ(marks[k] == kMarkMismatch, readBack[k] != image[k]) << k;
        marked += marks[k] == kMarkMismatch;
    }
    EXPECT_GT(marked, 0);
}

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
}

TEST_P(FastI2cTransfers, AcknowledgePollingEndsAtItsBoundOnAStuckChip) {
    rig.ForceWriteCycleUs(60'000);
    image = Pattern(5);
    const std::int64_t start = rig.I2c().NowUs();
    EXPECT_FALSE(WriteI2cPagesFast(rig.I2c(), 0, 0xA0, 16, image, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>{kI2cTimeoutMessage});
    // One page, the 20 ms of polling, and the reset after it.
    EXPECT_GE(rig.I2c().NowUs() - start, kChipWaitLimitMs * 1000);
    EXPECT_LT(rig.I2c().NowUs() - start, (kChipWaitLimitMs + 5) * 1000);
}

TEST_P(FastTransfers, SerialPollsEndAtTheirBoundOnAStuckChip) {
    rig.ForceWriteCycleUs(60'000);
    image = Pattern(5);
    for (const char* entry : {"93C46 (8)", "AT25C010"}) {
        SCOPED_TRACE(entry);
        Choose(entry);
        marks.fill(kMarkNone);
        const std::int64_t start = rig.Lines().NowUs();
        WriteChipFast(rig.Lines(), chip, image, marks, progress);
        // The first unit's poll gives up; nothing after it is written, and
        // the verify shows it.
        EXPECT_LT(rig.Lines().NowUs() - start, (kChipWaitLimitMs + 15) * 1000);
        EXPECT_FALSE(All(marks, 0, kImageSize, kMarkNone));
        EXPECT_EQ(image, Pattern(5));
    }
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
