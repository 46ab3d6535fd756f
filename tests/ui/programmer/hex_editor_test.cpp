// The programmer window's hex editor driven by keys, mouse and drops as a
// technician drives it, offscreen: typing and its undo steps, selection and
// copy, find, go-to, compare and F3, a dropped file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

#include <numeric>

#include "eeprom/checksums.h"
#include "ui/programmer/checksums_panel.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_search_bar.h"

namespace {

using ui::ChecksumsPanel;
using ui::HexEditor;
using ui::HexSearchBar;

std::vector<std::uint8_t> Counting(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    return data;
}

class HexEditorTest : public ::testing::Test {
protected:
    HexEditorTest() {
        editor.resize(640, 320);
        editor.show();
        editor.setFocus();
    }
    void Keys(const char* text) { QTest::keyClicks(&editor, QString::fromLatin1(text)); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&editor, key, modifiers);
    }
    HexEditor editor;
};

// Typing nibbles and ASCII: one undo step per run of typing, a new run after
// the cursor moves; undo and redo put back exactly the bytes and nothing else.
TEST_F(HexEditorTest, TypingMergesIntoRunsThatUndoAndRedoExactly) {
    const auto original = Counting(0x40000);
    editor.SetData(original);
    QSignalSpy edited(&editor, &HexEditor::DataEdited);
    editor.SetCursorOffset(0x100);
    Keys("a1b2c");  // 0x100 = A1, 0x101 = B2, 0x102 high nibble C
    EXPECT_EQ(editor.Data()[0x100], 0xA1);
    EXPECT_EQ(editor.Data()[0x101], 0xB2);
    EXPECT_EQ(editor.Data()[0x102], 0xC2);
    EXPECT_EQ(editor.CursorOffset(), 0x102);
    Keys("g");  // not a hex digit: nothing
    EXPECT_EQ(editor.UndoStack().count(), 1);
    Key(Qt::Key_Right);
    Key(Qt::Key_Tab);  // the ASCII column
    Keys("Hi");
    EXPECT_EQ(editor.Data()[0x103], 'H');
    EXPECT_EQ(editor.Data()[0x104], 'i');
    EXPECT_EQ(editor.UndoStack().count(), 2);
    editor.SetCursorOffset(editor.Data().size() - 1);
    Key(Qt::Key_Tab);
    Keys("ffe");  // the last byte: the cursor stays, the step keeps one byte
    EXPECT_EQ(editor.Data().back(), 0xEF);
    EXPECT_EQ(editor.UndoStack().count(), 3);
    EXPECT_GT(edited.count(), 0);

    auto edited_bytes = editor.Data();
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.CursorOffset(), 0x103);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.Data(), original);
    EXPECT_EQ(editor.CursorOffset(), 0x100);
    Key(Qt::Key_Y, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(editor.Data(), edited_bytes);

    // A replaced buffer is one named step; read-only refuses typing.
    auto filled = std::vector<std::uint8_t>(editor.Data().size(), 0xFF);
    editor.ReplaceData(filled, QStringLiteral("Fill FF"));
    EXPECT_EQ(editor.UndoStack().undoText(), QStringLiteral("Fill FF"));
    editor.SetReadOnly(true);
    Keys("00");
    EXPECT_EQ(editor.Data(), filled);
    editor.SetReadOnly(false);
    editor.UndoStack().undo();
    EXPECT_EQ(editor.Data(), edited_bytes);
}

// Shift+arrows and a mouse drag select; Ctrl+C puts the bytes on the
// clipboard as hex; the cursor byte alone when nothing is selected.
TEST_F(HexEditorTest, SelectionCopiesAsHex) {
    editor.SetData(Counting(300));
    QSignalSpy selection(&editor, &HexEditor::SelectionChanged);
    editor.SetCursorOffset(0x0E);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(editor.SelectionStart(), 0x0E);
    EXPECT_EQ(editor.SelectionLength(), 19);
    EXPECT_GE(selection.count(), 3);
    Key(Qt::Key_Home);
    EXPECT_EQ(editor.SelectionLength(), 0);
    EXPECT_EQ(editor.CursorOffset(), 0x20);
    EXPECT_EQ(editor.SelectionAsHex(), QStringLiteral("20"));
    Key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.SelectionLength(), 300 - 0x20);

    // A drag over two rows in the hex column, painted on the way.
    const int line = QFontMetrics(editor.font()).height();
    QTest::mousePress(editor.viewport(), Qt::LeftButton, {}, QPoint(line * 5, line / 2));
    const qint64 pressed = editor.CursorOffset();
    QTest::mouseMove(editor.viewport(), QPoint(line * 5, line * 2 + line / 2));
    QTest::mouseRelease(editor.viewport(), Qt::LeftButton, {}, QPoint(line * 5, line * 2 + line / 2));
    EXPECT_EQ(editor.SelectionStart(), pressed);
    EXPECT_EQ(editor.SelectionLength(), 33);
    EXPECT_FALSE(editor.grab().isNull());

    editor.SelectRange(0xFE, 3);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("FE FF 00"));
}

// Hex and quoted text, forwards and backwards, wrapping round; the hit is
// selected and repeating the search moves on.
TEST_F(HexEditorTest, FindsHexAndTextAndWraps) {
    auto data = std::vector<std::uint8_t>(4096, 0);
    for (std::size_t at : {0x10u, 0x800u, 0xFF0u}) std::copy_n("abc\x12", 4, data.begin() + at);
    editor.SetData(data);
    QByteArray bytes;
    QString error;
    ASSERT_TRUE(HexEditor::ParseFindText(QStringLiteral("\"abc\""), bytes, error));
    editor.SetCursorOffset(0x11);
    ASSERT_TRUE(editor.Find(bytes));
    EXPECT_EQ(editor.SelectionStart(), 0x800);
    EXPECT_EQ(editor.SelectionLength(), 3);
    ASSERT_TRUE(editor.Find(bytes));
    EXPECT_EQ(editor.CursorOffset(), 0xFF0);
    ASSERT_TRUE(editor.Find(bytes));  // wraps
    EXPECT_EQ(editor.CursorOffset(), 0x10);
    ASSERT_TRUE(HexEditor::ParseFindText(QStringLiteral(" 63 12 "), bytes, error));
    EXPECT_EQ(bytes, QByteArray("c\x12"));
    ASSERT_TRUE(editor.Find(bytes, true));  // backwards from 0x10: wraps to the last
    EXPECT_EQ(editor.CursorOffset(), 0xFF2);
    ASSERT_TRUE(editor.Find(bytes, true));
    EXPECT_EQ(editor.CursorOffset(), 0x802);
    ASSERT_TRUE(HexEditor::ParseFindText(QStringLiteral("0x6312"), bytes, error));
    EXPECT_EQ(bytes, QByteArray("c\x12"));
    EXPECT_FALSE(editor.Find(QByteArray("abd")));
    EXPECT_EQ(editor.CursorOffset(), 0x802);

    for (const char* bad : {"", "1g", "123", "-1", "0x", "\"abc"}) {
        EXPECT_FALSE(HexEditor::ParseFindText(QString::fromLatin1(bad), bytes, error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

// Against a compare image: the count of differing bytes, F3 stepping run by
// run and wrapping, Shift+F3 back; verify marks take part.
TEST_F(HexEditorTest, CompareCountsDifferencesAndStepsThroughRuns) {
    const auto data = Counting(1024);
    editor.SetData(data);
    EXPECT_FALSE(editor.NextDifference());
    auto other = data;
    for (std::size_t at : {0x20u, 0x21u, 0x22u, 0x200u, 0x3FFu}) other[at] ^= 0xFF;
    editor.SetCompare(&other);
    EXPECT_EQ(editor.DifferenceCount(), 5);
    std::vector<std::uint8_t> marks(1024, 0);
    marks[0x100] = 1;
    editor.SetMarks(marks);

    std::vector<std::pair<qint64, qint64>> forward;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(editor.NextDifference());
        forward.emplace_back(editor.CursorOffset(), editor.SelectionLength());
    }
    EXPECT_EQ(forward, (std::vector<std::pair<qint64, qint64>>{
                           {0x20, 3}, {0x100, 1}, {0x200, 1}, {0x3FF, 1}, {0x20, 3}}));
    editor.SetCursorOffset(0x21);
    ASSERT_TRUE(editor.PreviousDifference());
    EXPECT_EQ(editor.CursorOffset(), 0x3FF);

    editor.SetCursorOffset(0x20);
    QTest::keyClicks(&editor, QStringLiteral("df"));  // the byte now matches the compare
    EXPECT_EQ(editor.DifferenceCount(), 4);
    editor.SetCompare(nullptr);
    EXPECT_EQ(editor.DifferenceCount(), 0);
}

// The word view puts two bytes in a word, high byte first as the buffer holds
// them: a click lands on the byte under it in either view, and typing a word's
// four digits sets its two bytes in that order.
TEST_F(HexEditorTest, WordViewClicksAndTypesInTheBuffersOrder) {
    editor.SetData(Counting(64));
    editor.SetWordView(true);
    const qreal digit = QFontMetricsF(editor.font()).horizontalAdvance(QLatin1Char('0'));
    // The row's fifth word (bytes 8 and 9) starts 21 digits into the hex
    // column, its low byte two digits on; the hex column starts after the
    // four offset digits and a gap of two.
    const QPoint lowByteOfFifthWord(static_cast<int>(4 + digit * (4 + 2 + 23 + 0.5)), 5);
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, Qt::NoModifier, lowByteOfFifthWord);
    EXPECT_EQ(editor.CursorOffset(), 9);
    editor.SetCursorOffset(0x10);
    QTest::keyClicks(&editor, QStringLiteral("abcd"));
    EXPECT_EQ(editor.Data()[0x10], 0xAB);
    EXPECT_EQ(editor.Data()[0x11], 0xCD);
    editor.SetWordView(false);  // the same spot is the eighth byte's low digit in bytes
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, Qt::NoModifier, lowByteOfFifthWord);
    EXPECT_EQ(editor.CursorOffset(), 7);
}

// A local file dropped onto the view is passed on; a web address is not.
TEST_F(HexEditorTest, DroppedLocalFileIsEmitted) {
    editor.SetData(Counting(128));
    QSignalSpy dropped(&editor, &HexEditor::FileDropped);
    for (const QUrl& url : {QUrl(QStringLiteral("https://example.org/a.hex")),
                            QUrl::fromLocalFile(QStringLiteral("/tmp/dump.hex"))}) {
        QMimeData mime;
        mime.setUrls({url});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor.viewport(), &enter);
        EXPECT_EQ(enter.isAccepted(), url.isLocalFile());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor.viewport(), &drop);
    }
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toString(), QStringLiteral("/tmp/dump.hex"));
}

// The editor, its bar and its checksums in one window, as the programmer
// window holds them.
class HexEditorWindowTest : public ::testing::Test {
protected:
    HexEditorWindowTest() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(editor);
        layout->addWidget(bar);
        layout->addWidget(sums);
        window.resize(800, 500);
        window.show();
        QApplication::setActiveWindow(&window);
        editor->setFocus();
    }
    QWidget window;
    HexEditor* editor = new HexEditor(&window);
    HexSearchBar* bar = new HexSearchBar(editor, &window);
    ChecksumsPanel* sums = new ChecksumsPanel(editor, &window);
};

// Ctrl+G opens the bar on an offset typed in hex (by default) or decimal;
// an offset past the end or not a number is refused with a sentence.
TEST_F(HexEditorWindowTest, GoesToOffsetsTypedInHexOrDecimal) {
    editor->SetData(Counting(0x10000));
    QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    auto* input = bar->findChild<QLineEdit*>();
    ASSERT_TRUE(input->hasFocus());
    QTest::keyClicks(input, QStringLiteral("abc"));
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_EQ(editor->CursorOffset(), 0xABC);
    EXPECT_TRUE(editor->hasFocus());

    bar->findChild<QComboBox*>()->setCurrentIndex(1);  // decimal
    const std::pair<const char*, qint64> offsets[] = {{"496", 0x1F0},  {"0x1f1", 0x1F1}, {"1F2h", 0x1F2},
                                                      {"$1f3", 0x1F3}, {"65536", -1},    {"12x", -1},
                                                      {"-1", -1},      {"", -1}};
    for (const auto& [text, offset] : offsets) {
        EXPECT_EQ(bar->GoTo(QString::fromLatin1(text)), offset >= 0) << text;
        if (offset >= 0) {
            EXPECT_EQ(editor->CursorOffset(), offset) << text;
        }
        EXPECT_EQ(bar->Message().isEmpty(), offset >= 0) << text;
    }

    // The largest buffer: the offset column widens, the last byte is reached.
    editor->SetData(std::vector<std::uint8_t>(16 << 20, 0xFF));
    EXPECT_TRUE(bar->GoTo(QStringLiteral("0xFFFFFF")));
    QTest::keyClick(editor, Qt::Key_PageDown);
    EXPECT_EQ(editor->CursorOffset(), 0xFFFFFF);
    EXPECT_FALSE(editor->grab().isNull());
    for (auto [size, digits] :
         {std::pair<qint64, int>{0, 4}, {0x10000, 4}, {0x10001, 5}, {0x40000, 5}, {16 << 20, 6}})
        EXPECT_EQ(HexEditor::OffsetDigits(size), digits) << size;
}

// F3 repeats the last search, whatever is compared; without a search it
// steps through the differences.
TEST_F(HexEditorWindowTest, F3FollowsFindHitsOrDifferences) {
    auto data = std::vector<std::uint8_t>(512, 0);
    data[0x40] = data[0x140] = 0x5A;
    editor->SetData(data);
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    auto* input = bar->findChild<QLineEdit*>();
    QTest::keyClicks(input, QStringLiteral("5a"));
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_EQ(editor->CursorOffset(), 0x40);
    QTest::keyClick(editor, Qt::Key_F3);
    EXPECT_EQ(editor->CursorOffset(), 0x140);
    QTest::keyClick(editor, Qt::Key_F3);
    EXPECT_EQ(editor->CursorOffset(), 0x40);
    EXPECT_FALSE(bar->Message().isEmpty());  // wrapped round
    QTest::keyClick(editor, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(editor->CursorOffset(), 0x140);

    auto other = data;
    other[0x100] = 1;
    editor->SetCompare(&other);
    QTest::keyClick(editor, Qt::Key_F3);
    EXPECT_EQ(editor->CursorOffset(), 0x40);
    EXPECT_TRUE(editor->NextDifference());
    EXPECT_EQ(editor->CursorOffset(), 0x100);
}

// The sums of the buffer and of the selection, computed when asked for and
// not on every cursor step.
TEST_F(HexEditorWindowTest, ChecksumsFollowBufferAndSelectionLazily) {
    const QByteArray digits("123456789");
    editor->SetData(std::vector<std::uint8_t>(digits.begin(), digits.end()));
    sums->Refresh();
    EXPECT_TRUE(sums->Text().contains(QStringLiteral("Buffer CRC-32: CBF43926")))
        << sums->Text().toStdString();
    EXPECT_TRUE(sums->Text().contains(QStringLiteral("Buffer sum: DD")));
    EXPECT_TRUE(sums->Text().contains(
        QStringLiteral("15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225")));
    const int computed = sums->Computations();
    for (int i = 0; i < 5; ++i) QTest::keyClick(editor, Qt::Key_Right);
    sums->Refresh();
    EXPECT_EQ(sums->Computations(), computed);

    editor->SelectRange(0, 1);
    sums->Refresh();
    EXPECT_EQ(sums->Computations(), computed + 1);
    EXPECT_TRUE(sums->Text().contains(QStringLiteral("Selection sum: 31")));
}

}  // namespace
