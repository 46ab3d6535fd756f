// The engine's safety net: checksums against published vectors, the backup
// folder (naming, pruning, refusing a backup of the wrong size) and the verify
// report's readings of real failed writes in the socket.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include "eeprom/backup.h"
#include "eeprom/checksums.h"
#include "eeprom/chip_progress.h"
#include "eeprom/verify_report.h"
#include "support/serial_socket.h"

using namespace eeprom;

namespace {

TEST(Checksums, MatchPublishedVectors) {
    const char* text = "123456789";
    const Checksums sums = ComputeChecksums(reinterpret_cast<const std::uint8_t*>(text), 9);
    EXPECT_EQ(Crc32Text(sums.crc32), "CBF43926");
    EXPECT_EQ(sums.sha256, "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225");
    EXPECT_EQ(Sum8Text(sums.sum8), "DD");  // 0x1DD, carried out of the byte
    const Checksums empty = ComputeChecksums(nullptr, 0);
    EXPECT_EQ(empty.crc32, 0u);
    EXPECT_EQ(empty.sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

class Backups : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString folder = temp.filePath(QStringLiteral("merlix/backups"));
    Image bytes{kImageSize};
    QString path;
    std::string error;
};

std::string Name(const QString& path) { return QFileInfo(path).fileName().toStdString(); }

TEST_F(Backups, NamedInOrderPrivatePrunedPerPartAndNeverAPlantedOrFutureFile) {
    const QDateTime when(QDate(2026, 12, 8), QTime(14, 30, 1));
    ASSERT_TRUE(SaveBackup(folder, WriteTarget("", 3, 0xA7), bytes.data(), kPageSize, when, path, error))
        << error;
    EXPECT_EQ(Name(path), "24C16-A6-p3-20261208-143001-0d968558.bin");  // the CRC-32 of 256 zero bytes
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Another page in the same second comes after it, never by its name.
    ASSERT_TRUE(SaveBackup(folder, WriteTarget("", 2, 0xA5), bytes.data(), kPageSize, when, path, error));
    EXPECT_EQ(Name(path), "24C16-A4-p2-20261208-143001-2-0d968558.bin");
    EXPECT_EQ(ListBackups(folder, "24C16").front().target.page, 2);

    // Files named like backups that do not hold what their names say, and
    // one dated in the future: none is ever deleted or taken as the newest.
    const auto plant = [&](const char* name, const QByteArray& content) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    const QStringList planted = {
        plant("93C46x8-20200101-000000-00000000.bin", QByteArray(128, '\x5A')),  // another CRC
        plant("93C46x8-20200101-000001-c2a8fa9d.bin", QByteArray(64, '\0')),     // cut short
        plant("93C46x8-20200101-000002.bin", QByteArray(128, '\0')),             // no CRC to check
        plant("keep-me.bin", {}),
    };
    const QString future = plant("93C46x8-20990101-000000-c2a8fa9d.bin", QByteArray(128, '\0'));
    const BackupTarget serial = WriteTarget("93C46 (8)", 0, 0xA1);
    QString first;
    for (int i = 0; i <= kBackupsKept; ++i) {
        ASSERT_TRUE(SaveBackup(folder, serial, bytes.data(), 128, when.addSecs(60 + i), path, error));
        if (i == 0) first = path;
    }
    EXPECT_FALSE(QFile::exists(first));
    for (const QString& file : planted + QStringList{future}) EXPECT_TRUE(QFile::exists(file)) << Name(file);
    EXPECT_EQ(ListBackups(folder, "24C16").size(), 2u);  // another part's backups are its own
    const std::vector<BackupEntry> all = ListBackups(folder, "93C46x8");
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kBackupsKept) + 3);
    EXPECT_EQ(all.front().path, path);
    EXPECT_TRUE(all.front().matchesName);
    EXPECT_EQ(all.front().size, 128);
    EXPECT_FALSE(all[all.size() - 1].matchesName);  // the CRC that is not the data's
    EXPECT_FALSE(all[all.size() - 2].matchesName);  // the file cut short
    EXPECT_TRUE(all[all.size() - 3].matchesName);   // an older name without a CRC

    std::vector<std::uint8_t> data;
    EXPECT_FALSE(LoadBackup(planted[0], 128, data, error));
    EXPECT_NE(error.find("has changed since it was taken"), std::string::npos) << error;
}

TEST_F(Backups, RestoreRefusesAFileOfAnotherSizeAndSaveSaysWhenTheFolderCannotBeMade) {
    const BackupTarget serial = WriteTarget("93C56 (8)", 0, 0);
    ASSERT_TRUE(SaveBackup(folder, serial, bytes.data(), 128, QDateTime::currentDateTime(), path, error));
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(LoadBackup(path, 256, data, error));
    EXPECT_NE(error.find("shorter than the 256 bytes"), std::string::npos) << error;
    EXPECT_FALSE(LoadBackup(path, 64, data, error));
    EXPECT_NE(error.find("longer than"), std::string::npos) << error;
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(LoadBackup(path, 128, data, error));
    EXPECT_EQ(data.size(), 128u);

    // A plain file where the folder should be.
    QFile blocker(temp.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(SaveBackup(blocker.fileName() + QStringLiteral("/backups"), serial, bytes.data(), 128,
                            QDateTime::currentDateTime(), path, error));
    EXPECT_NE(error.find("Cannot create the backup folder"), std::string::npos) << error;
}

// The larger parts' backups hold the whole part, 256 KiB for a 24M02 or a 25M02,
// and list as what their names say.
TEST_F(Backups, LargerPartsKeepWholeBackups) {
    for (const BackupTarget& target : {BackupTarget{"24M02", 0xA0}, BackupTarget{"25M02"}}) {
        SCOPED_TRACE(target.chip);
        const std::vector<std::uint8_t> whole(262144, 0x3C);
        EXPECT_EQ(BackupBytes(target), 262144);
        ASSERT_TRUE(
            SaveBackup(folder, target, whole.data(), 262144, QDateTime::currentDateTime(), path, error));
        const std::vector<BackupEntry> entries = ListBackups(folder, target.chip);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_TRUE(entries[0].matchesName);
        std::vector<std::uint8_t> data;
        ASSERT_TRUE(LoadBackup(path, 262144, data, error)) << error;
        EXPECT_EQ(data, whole);
    }
}

class VerifyReadings : public ::testing::Test {
protected:
    // Writes a pattern with `entry` chosen while `socket` sits in the socket,
    // and reports on the verify.
    VerifyReport WriteWith(const std::string& entry, const std::string& socket, bool noStore) {
        ApplyChipChoice(chip, entry);
        rig.Insert(socket);
        rig.chip->SetStoreFault(noStore);
        for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<std::uint8_t>(k * 7 + 3);
        const Image written = image;
        Image read{kImageSize};
        EXPECT_TRUE(WriteSerialChip(rig.adapter, chip, image, marks, progress, &read));
        return BuildVerifyReport(written, read, ImageFileSize(chip));
    }

    testsupport::SocketRig rig;
    ChipParams chip;
    Image image{kImageSize};
    Image marks{kImageSize};
    RecordingProgress progress;
};

TEST_F(VerifyReadings, ChipNotStoringReadsFF) {
    const VerifyReport blank = WriteWith("93C46 (8)", "93C46 (8)", true);
    EXPECT_EQ(blank.pattern, VerifyPattern::AllFF);
    EXPECT_EQ(blank.count, 127);  // one written byte is FF itself
    ASSERT_EQ(blank.first.size(), 16u);
    EXPECT_EQ(blank.first[1].offset, 1);
    EXPECT_EQ(blank.first[1].expected, 10);
    EXPECT_EQ(blank.first[1].read, 0xFF);
    const std::string text = FormatVerifyReport(blank);
    EXPECT_NE(text.find("Verify failed: 127 bytes differ."), std::string::npos) << text;
    EXPECT_NE(text.find("reads FF"), std::string::npos);
    EXPECT_NE(text.find("0001: expected 0A, read FF"), std::string::npos) << text;
    EXPECT_NE(text.find("... and 111 more."), std::string::npos);
}

TEST(VerifyReport, ReadsBitPatternsAndStaysSilentWhenNothingDiffers) {
    Image expected{kImageSize}, read{kImageSize};
    expected.fill(0x5A);
    read = expected;
    EXPECT_EQ(BuildVerifyReport(expected, read, 256).count, 0);
    EXPECT_EQ(FormatVerifyReport(BuildVerifyReport(expected, read, 256)), "");
    read[3] = 0x00;
    EXPECT_EQ(BuildVerifyReport(expected, read, 256).pattern, VerifyPattern::All00);
    read[4] = 0x50;  // 0101 1010 -> 0101 0000: bits lost
    EXPECT_EQ(BuildVerifyReport(expected, read, 256).pattern, VerifyPattern::BitsCleared);
    read[3] = read[4] = 0x5A;
    read[5] = 0x7B;  // bits gained
    EXPECT_EQ(BuildVerifyReport(expected, read, 256).pattern, VerifyPattern::BitsSet);
    read[6] = 0x10;  // one lost, one gained: no reading
    const VerifyReport mixed = BuildVerifyReport(expected, read, 256);
    EXPECT_EQ(mixed.pattern, VerifyPattern::None);
    EXPECT_EQ(
        FormatVerifyReport(mixed).find("Verify failed: 2 bytes differ.\n\n0005: expected 5A, read 7B\n"), 0u);

    // A smaller chip that ignores the top address bit: the upper half written
    // last lands on the lower half, and the read-back repeats every 128 bytes.
    for (int i = 0; i < 256; ++i) expected[i] = static_cast<std::uint8_t>(i * 7 + 3);
    for (int i = 0; i < 256; ++i) read[i] = expected[128 + i % 128];
    const VerifyReport aliased = BuildVerifyReport(expected, read, 256);
    EXPECT_EQ(aliased.pattern, VerifyPattern::Repeats);
    EXPECT_EQ(aliased.count, 128);
    EXPECT_NE(FormatVerifyReport(aliased).find("repeat every 128 bytes"), std::string::npos);
}

}  // namespace
