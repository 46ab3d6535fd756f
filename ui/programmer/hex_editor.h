// The programmer window's hex editor: the buffer a chip is read into and
// written from, shown as offset, 16 bytes and their ASCII per row. It is one
// painted widget (no widget or item per byte), so a 16 MiB buffer shows and
// scrolls as fast as a 128-byte one.
//
// Editing overwrites in place: the buffer keeps the part's size. Hex digits
// typed in the hex column set the nibble under the cursor, characters typed
// in the ASCII column set whole bytes; Tab switches the column (Ctrl+Tab
// leaves the editor). Each step on
// the undo stack keeps only the bytes it changed, and typing without moving
// the cursor in between merges into one step.
//
// Keys: arrows, PgUp/PgDn, Home/End (row), Ctrl+Home/End (buffer), with
// Shift to select; Ctrl+C copies the selection as hex ("12 AB ..."), Ctrl+Z
// undoes, Ctrl+Shift+Z and Ctrl+Y redo. Go-to, find and F3 live in
// HexSearchBar (hex_search_bar.h).
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <vector>

namespace ui {

// An offset or a count as the programmer's sentences give it: "0x1F000".
inline QString HexNumber(qint64 value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

class HexEditor : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HexEditor(QWidget* parent = nullptr);
    ~HexEditor() override;

    // A new buffer (another part, a new session): clears the undo stack, the
    // selection and the marks; the compare stays. Emits DataEdited.
    void SetData(std::vector<std::uint8_t> data);
    const std::vector<std::uint8_t>& Data() const { return data_; }
    // Replaces the buffer's bytes as one undo step named `step` (a chip read,
    // a file loaded, a fill). The step keeps the changed range only when the
    // size stays; nothing is pushed when no byte changes.
    void ReplaceData(const std::vector<std::uint8_t>& data, const QString& step);
    QUndoStack& UndoStack() { return undo_; }

    // Compare: bytes that differ from `other` (a copy is kept) are drawn on
    // the difference colour, as are the bytes past the shorter of the two.
    // nullptr ends the compare.
    void SetCompare(const std::vector<std::uint8_t>* other);
    bool Comparing() const { return comparing_; }
    // The bytes compared with (empty without a compare).
    const std::vector<std::uint8_t>& CompareBytes() const { return compare_; }
    // The bytes as last read from or written to the chip or a file (SetData
    // takes its data as them): bytes that differ are edits not yet written,
    // drawn in a colour of their own.
    void MarkWritten();
    bool EditedAt(qint64 offset) const;
    // Bytes that differ from the compare; 0 without one.
    int DifferenceCount() const;
    // The engine's marks (verify mismatches), one per buffer byte, 0 none;
    // drawn like differences. An empty vector clears them.
    void SetMarks(std::vector<std::uint8_t> marks);
    bool HasMarks() const;
    // F3 / Shift+F3: moves to the start of the next (previous) run of
    // differing or marked bytes, wrapping at the ends, selects the run and
    // scrolls it into view. False when no byte differs or is marked.
    bool NextDifference();
    bool PreviousDifference();

    qint64 CursorOffset() const { return cursor_; }
    // Moves the cursor (clamped to the buffer), clears the selection and
    // scrolls the cursor into view.
    void SetCursorOffset(qint64 offset);
    qint64 SelectionStart() const { return selStart_; }
    qint64 SelectionLength() const { return selLength_; }  // 0: none
    // Selects `count` bytes from `first` (clamped), cursor on the first one.
    void SelectRange(qint64 first, qint64 count);

    // Searches from the cursor (past a selected hit, so repeating moves on)
    // towards the end, or towards the start when `backwards`, wrapping round;
    // selects the hit and scrolls to it. False when the bytes are nowhere.
    bool Find(const QByteArray& bytes, bool backwards = false);
    // What a technician types to find: hex bytes ("12 ab", "12AB", "0x12") or text in
    // double quotes ("\"abc\"", UTF-8). False with a sentence in `error`.
    static bool ParseFindText(const QString& text, QByteArray& bytes, QString& error);
    // "12 AB 00 ..." of the selection, or of the cursor byte when none.
    QString SelectionAsHex() const;
    void CopySelectionAsHex() const;

    // While a chip job runs: typing is refused (the undo stack is the
    // window's to disable).
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return readOnly_; }
    // True when the cursor is in the ASCII column.
    bool AsciiColumn() const { return asciiColumn_; }
    // Shows the bytes as 16-bit words, two bytes each in the buffer's order
    // (a x16 Microwire part's words, high byte first); typing still sets the
    // digit under the cursor.
    void SetWordView(bool words);
    bool WordView() const { return wordView_; }
    // Hex digits of the offset column: 4 up to 64 KiB, 5 up to 1 MiB, ...
    static int OffsetDigits(qint64 size);
    QSize sizeHint() const override;

signals:
    void DataEdited();  // any change to the bytes (edit, undo, redo, ReplaceData, SetData)
    void CursorMoved(qint64 offset);
    void SelectionChanged();
    void FileDropped(const QString& path);  // a local file dropped onto the view

protected:
    bool event(QEvent* event) override;
    // A differing byte's tooltip: the buffer's value and the other side's.
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class ByteEdit;
    friend class BufferReplace;

    struct Hit {
        qint64 offset = -1;
        bool ascii = false;
        int nibble = 0;
    };

    void UpdateMetrics();
    void UpdateScrollBars();
    int ContentWidth() const;
    qint64 RowCount() const;
    int VisibleRows() const;
    void EnsureVisible(qint64 offset);
    // Moves the cursor; with `extend` the selection runs from the anchor to
    // the new cursor, else it is cleared.
    void MoveCursor(qint64 offset, bool extend);
    void SetSelection(qint64 start, qint64 length);
    void TypeNibble(int value);
    void TypeByte(std::uint8_t value);
    void PushEdit(qint64 offset, std::uint8_t value);
    // Writes bytes at offset (undo/redo); `cursor` >= 0 moves the cursor there.
    void ApplyBytes(qint64 offset, const std::uint8_t* bytes, qint64 count, qint64 cursor);
    void ApplyBuffer(const std::vector<std::uint8_t>& data);
    Hit HitTest(QPoint point) const;
    bool DiffersAt(qint64 offset) const;
    bool StepDifference(bool forward);
    void UpdateAccessibleDescription();

    std::vector<std::uint8_t> data_;
    std::vector<std::uint8_t> compare_;
    std::vector<std::uint8_t> written_;  // see MarkWritten
    bool comparing_ = false;
    std::vector<std::uint8_t> marks_;
    mutable int differences_ = 0;
    mutable bool differencesDirty_ = false;
    QUndoStack undo_;

    qint64 cursor_ = 0;
    qint64 anchor_ = 0;
    qint64 selStart_ = 0;
    qint64 selLength_ = 0;
    int nibble_ = 0;  // 0: high digit next, 1: low digit next
    bool asciiColumn_ = false;
    bool readOnly_ = false;
    bool wordView_ = false;
    // Typing merges into one undo step while this stays the same; every
    // cursor move that is not typing starts a new run.
    int typingRun_ = 0;

    qreal charWidth_ = 8;
    int lineHeight_ = 16;
    int ascent_ = 12;
    int offsetDigits_ = 4;
};

}  // namespace ui
