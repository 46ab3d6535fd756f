// Raw image files: loads read the whole head before the image changes, saves
// are atomic, and every failure is one sentence naming the file and why.
#include "eeprom/image_file.h"
#include "eeprom/image_formats.h"

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
    Image image{kImageSize};
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
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(target, ownerOnly));
    ASSERT_TRUE(SaveImageFile(link, image, 16, error)) << error;
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Read(target), QByteArray(16, '\xEE'));
    // The new file keeps the old one's mode.
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(QFile::encodeName(target).toStdString()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
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

// HEX and S-record: chosen by extension on save, told by content on load,
// gaps read 0xFF, and a bad file is refused by line without touching the image.
TEST_F(ImageFile, HexAndSRecordRoundTripByExtensionAndContent) {
    for (const char* name : {"image.hex", "image.srec"}) {
        SCOPED_TRACE(name);
        Image source{kImageSize};
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 7);
        std::string error;
        ASSERT_TRUE(SaveImageFile(Path(name), source, 300, error)) << error;
        // Stored under a name that says nothing: the content decides.
        ASSERT_TRUE(QFile::rename(Path(name), Path("image.dat")));
        EXPECT_EQ(LoadImageFile(Path("image.dat"), image, error).bytesLoaded, 300) << error;
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + 300, source.begin()));
        EXPECT_EQ(image[300], 0xEE);
        QFile::remove(Path("image.dat"));
    }
}

// A 24M02's 256 KiB: HEX with an extended linear address record before each
// 64 KiB, S-record in S2 records ended by S8; both come back whole, and the
// same file is refused for a part of 128 KiB.
TEST(ImageRecords, PartsOver64KiBRoundTrip) {
    std::vector<std::uint8_t> bytes(262144);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 16));
    struct Case {
        ImageFormat format;
        const char* marks;  // a record the file must hold
    };
    for (const Case& c :
         {Case{ImageFormat::IntelHex, ":020000040003F7\n"}, Case{ImageFormat::SRecord, "\nS804000000FB\n"}}) {
        SCOPED_TRACE(ImageFormatName(c.format));
        const QByteArray text = EncodeImage(bytes, c.format);
        EXPECT_TRUE(text.contains(c.marks));
        std::vector<std::uint8_t> back;
        std::string error;
        ASSERT_TRUE(DecodeImage(text, c.format, 262144, "f", back, error)) << error;
        EXPECT_EQ(back, bytes);
        EXPECT_FALSE(DecodeImage(text, c.format, 131072, "f", back, error));
    }
}

// A name that says a format is read in it, whatever the content looks like;
// only a name that says nothing leaves it to the content.
TEST_F(ImageFile, TheNameSaysTheFormatAndTheContentOnlyWhenItSaysNothing) {
    const QByteArray hex = ":020010001122BB\n:00000001FF\n";
    struct Case {
        const char* name;
        QByteArray content;
        int loaded;  // -1: refused
    };
    for (const Case& c :
         {Case{"a.bin", hex, static_cast<int>(hex.size())}, Case{"a.dat", hex, 0x12},
          Case{"a.HEX", "\xEF\xBB\xBF" + hex, -1}, Case{"a.s19", hex, -1}, Case{"a.hex", "\x01\x02", -1}}) {
        SCOPED_TRACE(c.name);
        image.fill(0xEE);
        const ImageLoadResult result = LoadImageFile(Write(c.name, c.content), image, error);
        EXPECT_EQ(result.ok ? result.bytesLoaded : -1, c.loaded) << error;
        if (!result.ok) {
            EXPECT_EQ(Untouched(), kImageSize);
        }
    }
}

TEST_F(ImageFile, HexFilesAreCheckedLineByLine) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    // Extended linear address 0, a gap, and a start address record.
    const QByteArray good = ":020000040000FA\n:020010001122BB\n\n:0400000500000000F7\n:00000001FF\n";
    ASSERT_TRUE(DecodeImage(good, ImageFormat::IntelHex, 2048, "f.hex", bytes, error)) << error;
    ASSERT_EQ(bytes.size(), 0x12u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[0x10], 0x11);
    EXPECT_EQ(bytes[0x11], 0x22);
    // An extended segment address counts in 16-byte paragraphs, a linear one in 64 KiB.
    ASSERT_TRUE(DecodeImage(":020000020010EC\n:020000001122CB\n:00000001FF\n", ImageFormat::IntelHex, 2048,
                            "f", bytes, error))
        << error;
    ASSERT_EQ(bytes.size(), 0x102u);
    EXPECT_EQ(bytes[0x100], 0x11);

    // Every case is refused by name and line, or accepted (error null).
    struct Case {
        ImageFormat format;
        QByteArray text;
        const char* error;
    };
    constexpr ImageFormat kHex = ImageFormat::IntelHex;
    constexpr ImageFormat kSrec = ImageFormat::SRecord;
    for (const Case& c : {
             Case{kHex, ":020010001122BC\n:00000001FF\n", "f line 1: bad checksum"},
             Case{kHex, ":00000001FF\n", "f: the file holds no data"},
             Case{kSrec, "S00600004844521B\nS9030000FC\n", "f: the file holds no data"},
             Case{kHex, ":00000001FF\n:020010001122BB\n",
                  "f line 2: a record after the end record of line 1"},
             Case{kHex, "; by hand\n:020010001122BB\n:00000001FF\n",
                  "f line 1: a comment line, which these files cannot hold"},
             Case{kSrec, "S10500101122B7\n# by hand\nS9030000FC\n",
                  "f line 2: a comment line, which these files cannot hold"},
             Case{kHex, "\xEF\xBB\xBF:020010001122BB\n:00000001FF\n",
                  "f: the file starts with a UTF-8 byte-order mark; save it as plain ASCII text without one"},
             Case{kHex, QByteArray(":\0000\0", 4),
                  "f: the file is UTF-16 text or binary, not ASCII; save it as plain ASCII text"},
             // One address given twice: the same value is fine, another is refused with both lines.
             Case{kHex, ":020010001122BB\n:0100110022CC\n:00000001FF\n", nullptr},
             Case{kHex, ":020010001122BB\n:0100110033BB\n:00000001FF\n",
                  "f line 2: gives address 0x11 the value 33 where line 1 gave it 22; nothing was written"},
             Case{kHex, "\n:020010001122BB\n:02001000112\n", "f line 3: not an Intel HEX record"},
             Case{kHex, ":020010001122BB\n",
                  "f: the end-of-file record is missing; the file may be cut short"},
             Case{kHex, ":0201FF001122CB\n:00000001FF\n",
                  "f line 1: data beyond the chip's end (0x100 bytes); nothing was written"},
             Case{kHex, ":020000040001F9\n:020000001122CB\n:00000001FF\n",
                  "f line 2: data beyond the chip's end (0x100 bytes); nothing was written"},
             // Inside a type 02 segment the offset wraps at 64 KiB: a record across it is refused.
             Case{kHex, ":020000020000FC\n:02FFFF001122CD\n:00000001FF\n",
                  "f line 2: a data record that runs past its 64 KiB segment's end, where the format wraps "
                  "to the segment's start; split it at the boundary"},
             Case{kSrec, "S10500101122B7\nS9030000FC\n", nullptr},
             Case{kSrec, "S10500101122B8\nS9030000FC\n", "f line 1: bad checksum"},
             Case{kSrec, "S00600004844521B\nS10500101122B7\n",
                  "f: neither a termination record (S7, S8 or S9) nor a count record (S5 or S6) ends it; "
                  "the file may be cut short"},
             // srec_cat's default (S1, an S5 count, no S9) and S3 with a count instead of S7 are whole
             // when the count matches; a count is checked with a termination record too.
             Case{kSrec, "S00600004844521B\nS1070010112233443E\nS5030001FB\n", nullptr},
             Case{kSrec, "S30900000010112233443C\nS5030001FB\n", nullptr},
             Case{kSrec, "S1070010112233443E\nS5030002FA\nS9030000FC\n",
                  "f line 2: the count record gives 2 data records where the file holds 1 before it; "
                  "records were lost or added"},
             Case{kSrec, "S5030000FC\nS1070010112233443E\n",
                  "f: neither a termination record (S7, S8 or S9) nor a count record (S5 or S6) ends it; "
                  "the file may be cut short"},
             Case{kSrec, "S10500101122B7\nX\n", "f line 2: not an S-record"},
             Case{kSrec, "S2060001001122C5\nS9030000FC\n",
                  "f line 1: data beyond the chip's end (0x100 bytes); nothing was written"},
         }) {
        SCOPED_TRACE(c.text.toStdString());
        error.clear();
        EXPECT_EQ(DecodeImage(c.text, c.format, 256, "f", bytes, error), c.error == nullptr);
        EXPECT_EQ(error, c.error ? c.error : "");
    }
    EXPECT_EQ(DetectImageFormat("  :00000001FF"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat("S9030000FC"), ImageFormat::SRecord);
    EXPECT_EQ(DetectImageFormat("SX\x01"), ImageFormat::Raw);
    EXPECT_EQ(DetectImageFormat("\xEF\xBB\xBF:00000001FF"), ImageFormat::IntelHex);
    EXPECT_EQ(DetectImageFormat(QByteArray("\xFF\xFES\0"
                                           "1\0",
                                           6)),
              ImageFormat::SRecord);

    // The window's load refuses the file and leaves the image alone.
    Write("bad.hex", ":020010001122BC\n:00000001FF\n");
    EXPECT_FALSE(LoadImageFile(Path("bad.hex"), image, error).ok);
    EXPECT_EQ(error, "Cannot load \"" + Path("bad.hex").toStdString() + "\" line 1: bad checksum");
    EXPECT_EQ(image[0x10], 0xEE);
}
