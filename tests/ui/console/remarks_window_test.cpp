// The remarks base in the main window on the simulated bench: adding and
// renaming lines, choosing one into the console, the base files through the
// file-dialog seam, and the key search the hex view shares.
#include <QFile>
#include <QTemporaryDir>

#include "eeprom/hex_layout.h"
#include "support/bench_fixture.h"
#include "ui/main/app_state.h"

namespace {

using testsupport::BenchFixture;

class RemarksWindow : public BenchFixture {
protected:
    void SetConsole(const QString& address, const QString& sub, const QString& data) {
        MainDialog& d = dialog();
        d.Edit(ids::kSendAddress)->setText(address);
        d.Edit(ids::kSendSubAddress)->setText(sub);
        d.Edit(ids::kSendData)->setText(data);
    }
    void Add(const QString& address, const QString& sub, const QString& data, const QString& note) {
        SetConsole(address, sub, data);
        TypeInto(ids::kRemarkText, note);
        Click(ids::kAddRemark);
    }
    // The user picks entry `index` from the drop-down list.
    void Choose(int index) {
        QComboBox* combo = dialog().Console().m_remarks;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    QStringList Shown() const {
        QStringList texts;
        QComboBox* combo = const_cast<RemarksWindow*>(this)->dialog().Console().m_remarks;
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts;
    }
    std::vector<std::string> Lines() { return dialog().Console().m_remarkLines.Entries(); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QByteArray ReadFile(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    void WriteFile(const QString& path, const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void SaveTo(const QString& path) {
        savePathAnswer = path;
        Click(ids::kSaveBase);
    }
    void LoadFrom(const QString& path) {
        openPathAnswer = path;
        Click(ids::kLoadBase);
    }

    QTemporaryDir dir;
};

TEST_F(RemarksWindow, AddingARegisterTwiceKeepsTheFirstDataAndTheNewNote) {
    MainDialog& d = dialog();
    Add("A0", "10", "5A", "first");
    EXPECT_EQ(Shown(), (QStringList{"", "A0 10 5A first"}));
    EXPECT_EQ(d.Console().m_remarks->currentIndex(), 1);
    EXPECT_EQ(Text(ids::kRemarkText), "");
    EXPECT_EQ(dialog().Console().LastRemark(), "first");

    Add("A0", "10", "77", "second");
    EXPECT_EQ(Shown(), (QStringList{"", "A0 10 5A second"}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "A0 10 5A second"}));
    EXPECT_EQ(dialog().Console().LastRemark(), "second");
    // Without a note nothing is added.
    Click(ids::kAddRemark);
    EXPECT_EQ(Shown().size(), 2);
}

TEST_F(RemarksWindow, RenamingSelectsTheRenamedLine) {
    MainDialog& d = dialog();
    Add("A0", "10", "5A", "gain");
    Add("B0", "20", "00", "other");  // inserted at 1, so the list is out of order
    EXPECT_EQ(Shown(), (QStringList{"", "B0 20 00 other", "A0 10 5A gain"}));
    Add("A0", "10", "5A", "volume");
    EXPECT_EQ(Shown(), (QStringList{"", "A0 10 5A volume", "B0 20 00 other"}));
    EXPECT_EQ(d.Console().m_remarks->currentText(), "A0 10 5A volume");
}

TEST_F(RemarksWindow, ShortFieldsInsertANewLineEachTime) {
    Add("A", "10", "5A", "one");
    Add("A", "10", "5A", "two");
    EXPECT_EQ(Shown(), (QStringList{"", "A 10 5A two", "A 10 5A one"}));
}

TEST_F(RemarksWindow, ChoosingALineFillsTheConsoleWithoutATransfer) {
    MainDialog& d = dialog();
    Add("A0", "10", "5A", "amplifier gain");
    Add("40", "05", "C3", "volume");
    SetConsole("00", "00", "80");
    d.Chip().m_chipList->setCurrentIndex(0);
    d.Console().m_online->setChecked(true);
    recorder().log.clear();
    const std::uint64_t writes = bench().RegisterWrites();

    Choose(Shown().indexOf("40 05 C3 volume"));
    EXPECT_EQ(Text(ids::kSendAddress), "40");
    EXPECT_EQ(Text(ids::kSendSubAddress), "05");
    EXPECT_EQ(Text(ids::kSendData), "C3");
    EXPECT_EQ(d.Console().m_slider->value(), 0xC3);
    EXPECT_EQ(d.Console().m_spin->Pos(), 0xC3);
    EXPECT_FALSE(d.Console().m_online->isChecked());
    EXPECT_EQ(dialog().Console().LastRemark(), " volume");  // from character 8, the blank included
    EXPECT_TRUE(recorder().log.empty());
    EXPECT_EQ(bench().RegisterWrites(), writes);
}

TEST_F(RemarksWindow, ChoosingTheBlankEntryOnlyUnchecksOnline) {
    MainDialog& d = dialog();
    Add("A0", "10", "5A", "gain");
    SetConsole("42", "07", "99");
    TypeInto(ids::kRemarkText, "draft");
    d.Console().m_online->setChecked(true);
    Choose(0);
    EXPECT_FALSE(d.Console().m_online->isChecked());
    EXPECT_EQ(Text(ids::kSendAddress), "42");
    EXPECT_EQ(Text(ids::kSendSubAddress), "07");
    EXPECT_EQ(Text(ids::kSendData), "99");
    EXPECT_EQ(Text(ids::kRemarkText), "draft");
    EXPECT_EQ(dialog().Console().LastRemark(), "gain");
}

TEST_F(RemarksWindow, ALineThatNamesNoRegisterFillsNothing) {
    // A heading in a base file must not become a bus address.
    WriteFile(Path("head.baz"), "Amplifier board\r\n");
    LoadFrom(Path("head.baz"));
    SetConsole("42", "07", "99");
    Choose(Shown().indexOf("Amplifier board"));
    EXPECT_EQ(Text(ids::kSendAddress), "42");
    EXPECT_EQ(Text(ids::kSendData), "99");
    EXPECT_EQ(dialog().Console().m_slider->value(), 0x80);
}

TEST_F(RemarksWindow, SavedBaseIsEachLineThenCrLf) {
    Add("A0", "10", "5A", "gain");
    Add("40", "05", "C3", "volume");
    const QString path = Path("base.baz");
    SaveTo(path);
    EXPECT_EQ(saveRequests, QStringList{"*.baz"});
    EXPECT_TRUE(messages.isEmpty());
    const QByteArray expected("\r\n40 05 C3 volume\r\nA0 10 5A gain\r\n");
    const QByteArray bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), expected.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
}

TEST_F(RemarksWindow, LoadingTheSavedBaseBackLeavesOneCopyOfEachLine) {
    for (int i = 0; i < 3; ++i) Add("A", "10", "5A", "thrice");
    Add("A", "20", "00", "twice");
    Add("A", "20", "00", "twice");
    Add("B0", "30", "11", "once");
    const QString path = Path("base.baz");
    SaveTo(path);
    LoadFrom(path);
    EXPECT_EQ(openRequests, QStringList{"*.baz"});
    QStringList shown = Shown();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown[0], "");
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"", "A 10 5A thrice", "A 20 00 twice", "B0 30 11 once"}));
    EXPECT_EQ(Shown().size(), dialog().Console().m_remarkLines.Count());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RemarksWindow, EightBitNotesSurviveLoadChooseAndSave) {
    // A note in an 8-bit code page: not UTF-8, shown byte for byte.
    const QByteArray line = "A0 10 5A Verst\xe4rker";
    WriteFile(Path("old.baz"), "\r\n" + line + "\r\n");
    LoadFrom(Path("old.baz"));
    ASSERT_EQ(Shown().size(), 2);
    EXPECT_EQ(Shown()[1], QString::fromLatin1(line));
    Choose(1);
    EXPECT_EQ(dialog().Console().LastRemark(), std::string(" Verst\xe4rker"));
    SaveTo(Path("again.baz"));
    EXPECT_EQ(ReadFile(Path("again.baz")), "\r\n" + line + "\r\n");
}

TEST_F(RemarksWindow, LoadAddsToTheListAndKeepsTheSelection) {
    MainDialog& d = dialog();
    Add("C0", "00", "01", "kept");
    WriteFile(Path("in.baz"), "\r\nB0 11 00 y\nA0 10 5A x");
    LoadFrom(Path("in.baz"));
    EXPECT_EQ(Shown(), (QStringList{"", "A0 10 5A x", "B0 11 00 y", "C0 00 01 kept"}));
    EXPECT_EQ(d.Console().m_remarks->currentText(), "C0 00 01 kept");
}

TEST_F(RemarksWindow, FailedSaveAndLoadAreReportedAndChangeNothing) {
    Add("A0", "10", "5A", "gain");
    const QStringList before = Shown();
    SaveTo(Path("no/such/folder/base.baz"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("base.baz")) << messages[0].toStdString();

    messages.clear();
    LoadFrom(Path("missing.baz"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("missing.baz")) << messages[0].toStdString();
    EXPECT_EQ(Shown(), before);

    // A cancelled dialog does nothing at all.
    messages.clear();
    SaveTo(QString());
    LoadFrom(QString());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Shown(), before);
}

TEST_F(RemarksWindow, HexViewSelectionFindsTheRegistersLineByTheSameKey) {
    MainDialog& d = dialog();
    Add("A1", "23", "5A", "first");
    Add("A1", "24", "00", "other");
    // A line that is just "A 23": a key of four characters must not find it.
    WriteFile(Path("short.baz"), "A 23\r\n");
    LoadFrom(Path("short.baz"));
    ClickHexItem(HexOffsetItem(0x23));
    EXPECT_EQ(d.Console().m_remarks->currentText(), "A1 23 5A first");
    // A device address shorter than two characters finds nothing.
    d.Edit(ids::kDeviceAddress)->setText("A");
    d.UpdateData(true);
    ClickHexItem(HexOffsetItem(0x24));
    ClickHexItem(HexOffsetItem(0x23));
    EXPECT_EQ(d.Console().m_remarks->currentIndex(), 0);
}

}  // namespace
