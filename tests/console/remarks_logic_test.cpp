// The remarks base without its window: the line rules, the sorted list, and
// base files that keep every byte of what they load.
#include "console/remarks_logic.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>

using namespace console;

namespace {

std::vector<std::string> Entries(std::initializer_list<const char*> texts) {
    return {texts.begin(), texts.end()};
}

TEST(RemarkLines, AddingTheSameRegisterTwiceRenamesItsLine) {
    RemarksList list;
    EXPECT_EQ(AddRemark(list, "A0", "10", "5A", "first").placed, 1);
    const RemarkEdit other = AddRemark(list, "B0", "20", "00", "other");
    EXPECT_EQ(other.placed, 1);  // new lines go below the blank entry
    EXPECT_EQ(other.removed, -1);
    EXPECT_EQ(list.Entries(), Entries({"", "B0 20 00 other", "A0 10 5A first"}));
    // The line keeps its first data value and is re-added in sorted place;
    // the line to select is the renamed one, not what now sits at its old index.
    const RemarkEdit renamed = AddRemark(list, "A0", "10", "77", "second");
    EXPECT_EQ(renamed.removed, 2);
    EXPECT_EQ(renamed.placed, 1);
    EXPECT_EQ(list.Entries(), Entries({"", "A0 10 5A second", "B0 20 00 other"}));
    EXPECT_EQ(AddRemark(list, "A0", "10", "77", "").placed, -1);
    EXPECT_EQ(list.Count(), 3);
}

TEST(RemarkLines, ShortFieldsNeverMatchAndInsertANewLine) {
    RemarksList list;
    AddRemark(list, "A", "10", "5A", "one");
    AddRemark(list, "A", "10", "5A", "two");
    EXPECT_EQ(list.Entries(), Entries({"", "A 10 5A two", "A 10 5A one"}));
    EXPECT_FALSE(RemarkKeyMatches("A 10 5A", "A 10"));
    EXPECT_FALSE(RemarkKeyMatches("A0 1", "A0 1"));
    EXPECT_TRUE(RemarkKeyMatches("A0 10", "A0 10"));
    EXPECT_FALSE(RemarkKeyMatches("a0 10 5A x", "A0 10"));  // the key is case-sensitive
}

TEST(RemarkLines, ChoosingSplitsTheFields) {
    const auto fields = ChooseRemark("A0 10 5A amplifier gain");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->address, "A0");
    EXPECT_EQ(fields->subAddress, "10");
    EXPECT_EQ(fields->data, "5A");
    EXPECT_EQ(fields->lastRemark, " amplifier gain");
    EXPECT_FALSE(ChooseRemark(""));
    const auto bare = ChooseRemark("a0 1f 5a");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->address + bare->subAddress + bare->data, "A01F5A");
    EXPECT_EQ(bare->lastRemark, "");
}

TEST(RemarkLines, LinesThatNameNoRegisterFillNothing) {
    // Free text from a base file must never turn into a bus address.
    for (const char* line :
         {"A0 1", "A0 10", "Amplifier registers", "A0 10 -- gain", "G0 10 5A x", " A0 10 5A"}) {
        EXPECT_FALSE(ChooseRemark(line)) << line;
    }
}

TEST(SortedList, AddSortedIgnoresCaseAndGoesAfterEqualEntries) {
    RemarksList list;
    list.AddSorted("b");
    list.AddSorted("A");
    EXPECT_EQ(list.AddSorted("a"), 2);
    list.AddSorted("B0");
    EXPECT_EQ(list.Entries(), Entries({"", "A", "a", "b", "B0"}));
    EXPECT_EQ(list.InsertAt(99, "0"), 5);
    list.DeleteAt(0);
    list.DeleteAt(42);
    EXPECT_EQ(list.Entries(), Entries({"A", "a", "b", "B0", "0"}));
}

TEST(SortedList, BulkAddEqualsOneByOneOnASortedList) {
    std::mt19937 random(7);
    const auto word = [&] {
        std::string s(1 + random() % 4, ' ');
        for (char& c : s) c = "aAbB0 "[random() % 6];
        return s;
    };
    for (int round = 0; round < 50; ++round) {
        RemarksList one, bulk;
        for (int i = 0; i < 20; ++i) {
            const std::string w = word();
            one.AddSorted(w);
            bulk.AddSorted(w);
        }
        std::vector<std::string> added;
        for (int i = 0; i < 30; ++i) added.push_back(word());
        for (const std::string& w : added) one.AddSorted(w);
        bulk.AddSortedMany(added);
        ASSERT_EQ(one.Entries(), bulk.Entries()) << "round " << round;
    }
}

TEST(SortedList, RemoveDuplicatesKeepsFirstCopies) {
    RemarksList list;
    for (const char* e : {"x", "", "y", "x", "X", "x", "y"}) list.InsertAt(list.Count(), e);
    list.RemoveDuplicates();
    EXPECT_EQ(list.Entries(), Entries({"", "x", "y", "X"}));
}

TEST(RemarkText, ShowsAnyBytesAndGivesThemBackUnchanged) {
    const std::string utf8 = "A0 10 5A \xD0\x93\xD0\xB0\xD0\xB9\xD0\xBD";  // Cyrillic in UTF-8
    const std::string cp1251 = "A0 10 5A \xC3\xE0\xE9\xED\xFF";  // the same word in an 8-bit code page
    const std::string bom = "\xEF\xBB\xBF"
                            "A0 10";
    EXPECT_EQ(DisplayText(utf8), QString::fromUtf8(utf8.c_str()));
    EXPECT_EQ(DisplayText(cp1251).size(), static_cast<qsizetype>(cp1251.size()));
    for (const std::string& bytes : {utf8, cp1251, bom, std::string("A0\0B", 4)}) {
        EXPECT_EQ(BytesFromDisplay(DisplayText(bytes), bytes), bytes);
    }
    // What the user types is stored as UTF-8.
    EXPECT_EQ(BytesFromDisplay(QStringLiteral("A0 10 5A Gr\u00FC\u00DFe"), cp1251),
              "A0 10 5A Gr\xC3\xBC\xC3\x9F"
              "e");
}

TEST(BaseFileLines, SplitOnCrOrLfKeepingTheLastLine) {
    int cut = 0;
    bool capped = false;
    EXPECT_EQ(SplitRemarkLines("\r\nA0 10 00 a\r\n\r\nB\rC\nlast", cut, capped),
              Entries({"A0 10 00 a", "B", "C", "last"}));
    EXPECT_EQ(SplitRemarkLines(std::string(5000, 'x') + "\nshort", cut, capped),
              std::vector<std::string>({std::string(kMaxRemarkLineBytes, 'x'), "short"}));
    EXPECT_EQ(cut, 1);
    EXPECT_FALSE(capped);
}

class BaseFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const char* name) const { return dir.filePath(name); }
    QByteArray Read(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString Write(const char* name, const QByteArray& bytes) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return Path(name);
    }

    QTemporaryDir dir;
    std::string error;
};

TEST_F(BaseFile, SavedBytesAreEachEntryThenCrLf) {
    RemarksList list;
    AddRemark(list, "A0", "10", "5A", "gain");
    AddRemark(list, "40", "02", "FF", "volume");
    const QString path = Path("base.baz");
    ASSERT_TRUE(SaveRemarksFile(path, list, error)) << error;
    EXPECT_EQ(Read(path), QByteArray("\r\n40 02 FF volume\r\nA0 10 5A gain\r\n"));
}

TEST_F(BaseFile, LoadingIntoTheSameListLeavesOneCopyOfEachLine) {
    RemarksList list;
    for (int i = 0; i < 3; ++i) list.InsertAt(1, "A0 10 5A thrice");
    list.InsertAt(1, "B0 10 00 once");
    const QString path = Path("base.baz");
    ASSERT_TRUE(SaveRemarksFile(path, list, error));
    const RemarksLoadResult result = LoadRemarksFile(path, list, error);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.linesRead, 4);
    EXPECT_TRUE(result.warning.empty());
    EXPECT_EQ(list.Entries(), Entries({"", "B0 10 00 once", "A0 10 5A thrice"}));
}

TEST_F(BaseFile, LoadAddsToTheListAndKeepsAnUnendedLastLine) {
    RemarksList list;
    AddRemark(list, "C0", "00", "01", "kept");
    ASSERT_TRUE(LoadRemarksFile(Write("in.baz", "\r\nB0 11 00 y\r\nA0 10 5A x"), list, error).ok);
    EXPECT_EQ(list.Entries(), Entries({"", "A0 10 5A x", "B0 11 00 y", "C0 00 01 kept"}));
}

TEST_F(BaseFile, EightBitTextRoundTripsByteForByte) {
    QByteArray bytes("\r\n");
    for (int c = 0xC0; c <= 0xFF; c += 8) {
        bytes += "A0 " + QByteArray::number(c, 16).toUpper() + " 00 ";
        for (int k = c; k < c + 8; ++k) bytes += static_cast<char>(k);
        bytes += "\r\n";
    }
    RemarksList list;
    ASSERT_TRUE(LoadRemarksFile(Write("cp.baz", bytes), list, error).ok);
    const QString out = Path("out.baz");
    ASSERT_TRUE(SaveRemarksFile(out, list, error));
    EXPECT_EQ(Read(out), bytes);
}

TEST_F(BaseFile, FailuresLeaveListAndFileAlone) {
    RemarksList list;
    AddRemark(list, "A0", "10", "5A", "x");
    const auto before = list.Entries();
    EXPECT_FALSE(LoadRemarksFile(Path("missing.baz"), list, error).ok);
    EXPECT_NE(error.find("missing.baz"), std::string::npos);
    EXPECT_EQ(list.Entries(), before);
    EXPECT_FALSE(SaveRemarksFile(Path("none/x.baz"), list, error));
    EXPECT_NE(error.find("nothing was written"), std::string::npos) << error;
}

TEST_F(BaseFile, HugeBinaryFileLoadsWithinTheCaps) {
    // 50 MB of noise: CR and LF bytes fall where they fall.
    QFile file(Path("noise.baz"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    std::mt19937_64 random(1);
    QByteArray chunk(1 << 20, '\0');
    for (int mb = 0; mb < 50; ++mb) {
        auto* words = reinterpret_cast<std::uint64_t*>(chunk.data());
        for (int i = 0; i < chunk.size() / 8; ++i) words[i] = random();
        ASSERT_EQ(file.write(chunk), chunk.size());
    }
    file.close();

    RemarksList list;
    const RemarksLoadResult result = LoadRemarksFile(file.fileName(), list, error);
    ASSERT_TRUE(result.ok) << error;
    EXPECT_GT(result.linesRead, 1000);
    EXPECT_LE(static_cast<std::size_t>(result.linesRead), kMaxRemarkFileLines);
    EXPECT_NE(result.warning.find("16 MiB"), std::string::npos) << result.warning;
    for (const std::string& entry : list.Entries()) ASSERT_LE(entry.size(), kMaxRemarkLineBytes);
}

}  // namespace
