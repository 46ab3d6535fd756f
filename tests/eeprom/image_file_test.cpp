// Raw image files: loads read the whole head before the image changes, saves
// are atomic, and every failure is one sentence naming the file and why.
#include "eeprom/image_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>

using namespace eeprom;

namespace {

class ImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        image.fill(0xEE);
    }
    QString Path(const char* name) const { return dir.filePath(name); }
    QString Write(const char* name, const QByteArray& bytes) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return Path(name);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray Counting(int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i % 200);  // never the 0xEE of an untouched byte
        return bytes;
    }
    int Untouched() const {
        int n = 0;
        for (std::uint8_t b : image) n += b == 0xEE;
        return n;
    }
    // Reads are not denied to root, whatever the mode says.
    static bool PermissionsApply() { return geteuid() != 0; }

    QTemporaryDir dir;
    ImageArray image{};
    std::string error;
};

TEST_F(ImageFile, LoadCopiesTheFilesBytesOnly) {
    const QByteArray bytes = Counting(100);
    const ImageLoadResult result = LoadImageFile(Write("a.bin", bytes), image, error);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.bytesLoaded, 100);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image.data()), 100), bytes);
    EXPECT_EQ(Untouched(), kImageSize - 100);

    const QByteArray big = Counting(4096);
    EXPECT_EQ(LoadImageFile(Write("big.bin", big), image, error).bytesLoaded, kImageSize);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image.data()), kImageSize), big.left(kImageSize));
}

TEST_F(ImageFile, EmptyFileLoadsNothing) {
    const ImageLoadResult result = LoadImageFile(Write("empty.bin", {}), image, error);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.bytesLoaded, 0);
    EXPECT_EQ(Untouched(), kImageSize);
}

// Only a regular file is read: a FIFO would hang the window in the open, a
// device would never end.
TEST_F(ImageFile, UnreadablePathsSayWhyAndChangeNothing) {
    const QString fifo = Path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::pair<QString, std::string> cases[] = {
        {Path("missing.bin"),
         "Cannot load \"" + Path("missing.bin").toStdString() + "\": No such file or directory."},
        {dir.path(), "it is a folder, not a file."},
        {fifo, "it is a named pipe (FIFO), not a regular file."},
        {"/dev/zero", "it is a device, not a regular file."},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_FALSE(LoadImageFile(path, image, error).ok) << path.toStdString();
        EXPECT_NE(error.find("\"" + path.toStdString() + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    EXPECT_EQ(Untouched(), kImageSize);
}

TEST_F(ImageFile, FileWithoutReadPermissionSaysSo) {
    if (!PermissionsApply()) GTEST_SKIP() << "running as root: a mode of 000 does not deny reads";
    const QString locked = Write("locked.bin", Counting(10));
    QFile::setPermissions(locked, {});
    EXPECT_FALSE(LoadImageFile(locked, image, error).ok);
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(Untouched(), kImageSize);
}

TEST_F(ImageFile, SaveWritesTheChipsSizeClamped) {
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i);
    const QString path = Path("out.bin");
    ASSERT_TRUE(SaveImageFile(path, image, 128, error)) << error;
    EXPECT_EQ(Read(path), QByteArray(reinterpret_cast<const char*>(image.data()), 128));
    ASSERT_TRUE(SaveImageFile(path, image, 5000, error));
    EXPECT_EQ(Read(path).size(), kImageSize);
    ASSERT_TRUE(SaveImageFile(path, image, -3, error));
    EXPECT_EQ(Read(path).size(), 0);
}

// A save renames a new file over the old one, which for a device node or a
// FIFO would replace the node itself; a symbolic link is saved through.
TEST_F(ImageFile, SaveReplacesOnlyARegularFile) {
    const QString fifo = Path("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QStringList refused{fifo, dir.path()};
    // A device node of our own (like /dev/null) where we may make one: as root.
    const QString device = Path("null");
    if (mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) refused << device;
    for (const QString& path : refused) {
        EXPECT_FALSE(SaveImageFile(path, image, kImageSize, error)) << path.toStdString();
        EXPECT_NE(error.find("\"" + path.toStdString() + "\""), std::string::npos) << error;
        EXPECT_NE(error.find("not a"), std::string::npos) << error;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(QFile::encodeName(fifo).toStdString()));
    if (refused.size() > 2) {
        EXPECT_TRUE(std::filesystem::is_character_file(QFile::encodeName(device).toStdString()));
    }

    const QString target = Write("target.bin", Counting(10));
    const QString link = Path("link.bin");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(SaveImageFile(link, image, 16, error)) << error;
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Read(target), QByteArray(16, '\xEE'));
}

TEST_F(ImageFile, SaveIntoAMissingFolderFails) {
    const QString path = Path("no/such/folder/out.bin");
    EXPECT_FALSE(SaveImageFile(path, image, kImageSize, error));
    EXPECT_NE(error.find(path.toStdString()), std::string::npos);
    EXPECT_NE(error.find("nothing was written"), std::string::npos) << error;
}

TEST_F(ImageFile, FailedSaveLeavesTheOldFile) {
    const QByteArray old = Counting(300);
    const QString path = Write("old.bin", old);

    // A disk that fills part-way: the kernel refuses bytes past a file size
    // limit, as it would on a full disk, after the first ones went out.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = SaveImageFile(path, image, kImageSize, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(Read(path), old);
    EXPECT_NE(error.find("the old file is unchanged"), std::string::npos) << error;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.bin"});  // no temporary left behind
}

TEST_F(ImageFile, SaveIntoAReadOnlyFolderLeavesTheOldFile) {
    if (!PermissionsApply()) GTEST_SKIP() << "running as root: a read-only folder does not deny writes";
    const QByteArray old = Counting(300);
    const QString path = Write("old.bin", old);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(SaveImageFile(path, image, kImageSize, error));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(Read(path), old);
    EXPECT_NE(error.find("the old file is unchanged"), std::string::npos) << error;
}

}  // namespace
