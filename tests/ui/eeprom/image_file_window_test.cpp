// "Load eeprom" and "Save eeprom" in the main window: the file dialog's
// preset, what a load shows, the size a save writes for the chip chosen,
// failures that change nothing and say why, and a chip copied through a file
// on the bench.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include <algorithm>

#include "eeprom/chip_table.h"
#include "eeprom/hex_layout.h"
#include "eeprom/image.h"
#include "support/bench_fixture.h"
#include "ui/main/app_state.h"

namespace {

class ImageFileWindow : public testsupport::BenchFixture {
protected:
    void SetUp() override {
        BenchFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        session().image.fill(0xEE);
        dialog().Chip().RefreshHexView();
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString WriteFile(const char* name, int size) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 199);  // never 0xEE
        file.write(bytes);
        return Path(name);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Load(const QString& path) {
        openPathAnswer = path;
        Click(ids::kLoadImage);
    }
    qint64 SavedSize(const char* name) {
        savePathAnswer = Path(name);
        Click(ids::kSaveImage);
        return QFileInfo(savePathAnswer).size();
    }
    void Choose(const QString& entry) { ChooseChip(entry); }
    QString ItemAt(int offset) { return dialog().Chip().m_hexView->item(HexOffsetItem(offset))->text(); }
    // Modes do not stop root.
    static bool PermissionsApply() { return geteuid() != 0; }

    QTemporaryDir dir;
};

TEST_F(ImageFileWindow, LoadChangesTheFilesBytesOnlyAndShowsPageZero) {
    for (int k = 0; k < 3; ++k) Click(ids::kNextPage);
    Load(WriteFile("short.bin", 100));
    EXPECT_EQ(openRequests, QStringList{"*.bin *.hex *.ihex *.srec *.s19 *.mot"});
    for (int i = 0; i < kImageSize; ++i) ASSERT_EQ(session().image[i], i < 100 ? i % 199 : 0xEE) << i;
    EXPECT_EQ(Text(ids::kPage), "0");
    EXPECT_EQ(ItemAt(99), "63 ");
    EXPECT_EQ(ItemAt(100), "EE ");
    EXPECT_EQ(Text(ids::kDeviceAddress), "A7");  // the device stays as the user set it
    EXPECT_TRUE(messages.isEmpty());

    Load(WriteFile("long.bin", 4096));
    for (int i = 0; i < kImageSize; ++i) ASSERT_EQ(session().image[i], i % 199) << i;
}

TEST_F(ImageFileWindow, EmptyFileChangesNoByteButShowsPageZero) {
    Click(ids::kNextPage);
    session().marks[5] = kMarkMismatch;
    Load(WriteFile("empty.bin", 0));
    EXPECT_TRUE(std::all_of(session().image.begin(), session().image.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(session().marks[5], kMarkMismatch);
    EXPECT_EQ(Text(ids::kPage), "0");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ImageFileWindow, CancelledDialogsDoNothing) {
    Click(ids::kNextPage);
    openPathAnswer.clear();
    savePathAnswer.clear();
    Click(ids::kLoadImage);
    Click(ids::kSaveImage);
    EXPECT_EQ(saveRequests, QStringList{"*.bin"});
    EXPECT_EQ(Text(ids::kPage), "1");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ImageFileWindow, SaveWritesWhatTheChosenChipHolds) {
    Choose("93C46 (8)");
    EXPECT_EQ(SavedSize("a.bin"), 128);
    Choose("93C46 (16)");
    EXPECT_EQ(SavedSize("b.bin"), 128);
    Choose("AT25C160");
    EXPECT_EQ(SavedSize("c.bin"), 2048);
    // A blank entry keeps the last chip's size until an I2C transfer.
    Choose("93C06 (8)");
    Choose("");
    EXPECT_EQ(SavedSize("d.bin"), 32);
    Click(ids::kReadEeprom);
    EXPECT_EQ(SavedSize("e.bin"), 2048);
    const QByteArray saved = ReadFile(Path("e.bin"));
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), session().image.begin(),
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ImageFileWindow, LoadsThatCannotReadSayWhyAndChangeNothing) {
    Click(ids::kNextPage);
    Load(dir.path());
    Load(Path("missing.bin"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(dir.path())) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains("missing.bin")) << messages[1].toStdString();
    EXPECT_TRUE(std::all_of(session().image.begin(), session().image.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(Text(ids::kPage), "1");

    if (!PermissionsApply()) GTEST_SKIP() << "running as root: file modes do not stop reads";
    const QString locked = WriteFile("locked.bin", 64);
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    Load(locked);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[2].contains("locked.bin"));
    EXPECT_TRUE(std::all_of(session().image.begin(), session().image.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
}

TEST_F(ImageFileWindow, SaveThatCannotWriteLeavesTheOldFileAndSaysSo) {
    // A folder where the file should be cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.bin"));
    savePathAnswer = Path("taken.bin");
    Click(ids::kSaveImage);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("taken.bin")) << messages[0].toStdString();
    EXPECT_TRUE(QFileInfo(Path("taken.bin")).isDir());

    if (!PermissionsApply()) GTEST_SKIP() << "running as root: a read-only folder still takes files";
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    const QString old = dir.filePath("ro/old.bin");
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old contents");
    }
    QFile::setPermissions(dir.filePath("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    savePathAnswer = old;
    Click(ids::kSaveImage);
    QFile::setPermissions(dir.filePath("ro"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains("old.bin"));
    EXPECT_EQ(ReadFile(old), QByteArray("old contents"));
}

// A chip copied to a blank one of its kind through a file.
TEST_F(ImageFileWindow, ChipCopiedThroughAFileReadsBackTheSame) {
    Choose("93C56 (16)");
    std::vector<std::uint8_t>& source = bench().SocketChip()->Memory();
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const std::vector<std::uint8_t> original = source;
    Click(ids::kReadEeprom);
    savePathAnswer = Path("chip.bin");
    Click(ids::kSaveImage);
    EXPECT_EQ(QFileInfo(savePathAnswer).size(), 256);

    session().image.fill(0);
    Load(savePathAnswer);
    bench().InsertSocketChip(simulator::MakeSerialChip("93C56 (16)"));  // a fresh chip
    ASSERT_NE(bench().SocketChip()->Memory(), original);
    Click(ids::kWriteEeprom);
    EXPECT_TRUE(std::all_of(session().marks.begin(), session().marks.end(),
                            [](std::uint8_t m) { return m == kMarkNone; }));
    session().image.fill(0x55);
    Click(ids::kReadEeprom);
    EXPECT_EQ(bench().SocketChip()->Memory(), original);
    EXPECT_EQ(ReadFile(savePathAnswer),
              QByteArray(reinterpret_cast<const char*>(session().image.data()), 256));
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
