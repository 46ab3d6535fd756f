// The painted hex editor; see hex_editor.h. A row is drawn as three strings
// (offset, hex, ASCII) in a fixed-pitch font, with the highlighted bytes'
// backgrounds filled first, so a screen costs a few dozen text calls however
// large the buffer is.
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_rows.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QUndoCommand>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

namespace {

using namespace hexrows;

constexpr int kTypingStep = 1;  // QUndoCommand::id of typed bytes

QString SelectedList(const std::vector<std::uint8_t>& data, qint64 first, qint64 count) {
    QString text;
    text.reserve(static_cast<int>(count * 3));
    for (qint64 i = first; i < first + count; ++i) {
        if (i != first) text += QLatin1Char(' ');
        text += QLatin1Char(kHexDigits[data[i] >> 4]);
        text += QLatin1Char(kHexDigits[data[i] & 15]);
    }
    return text;
}

}  // namespace

// Bytes written at one offset: typed bytes (merging while the run lasts) and
// the changed range of a replaced buffer. Only the range is kept.
class ByteEdit : public QUndoCommand {
public:
    ByteEdit(HexEditor* editor, qint64 offset, std::vector<std::uint8_t> before,
             std::vector<std::uint8_t> after, const QString& text, int run)
        : QUndoCommand(text),
          editor_(editor),
          offset_(offset),
          before_(std::move(before)),
          after_(std::move(after)),
          run_(run) {}

    int id() const override { return run_ >= 0 ? kTypingStep : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const ByteEdit*>(other);
        if (next->run_ != run_ || next->after_.size() != 1) return false;
        const qint64 end = offset_ + static_cast<qint64>(after_.size());
        if (next->offset_ >= offset_ && next->offset_ < end) {
            after_[static_cast<std::size_t>(next->offset_ - offset_)] = next->after_[0];
            return true;
        }
        if (next->offset_ != end) return false;
        before_.push_back(next->before_[0]);
        after_.push_back(next->after_[0]);
        return true;
    }
    void undo() override { editor_->ApplyBytes(offset_, before_.data(), Size(), offset_); }
    void redo() override {
        // The first redo is the push itself: typing has placed the cursor already.
        editor_->ApplyBytes(offset_, after_.data(), Size(), pushed_ ? offset_ : -1);
        pushed_ = true;
    }

private:
    qint64 Size() const { return static_cast<qint64>(after_.size()); }

    HexEditor* editor_;
    qint64 offset_;
    std::vector<std::uint8_t> before_;
    std::vector<std::uint8_t> after_;
    int run_;  // -1: never merges
    bool pushed_ = false;
};

// A replaced buffer of another size: both buffers whole.
class BufferReplace : public QUndoCommand {
public:
    BufferReplace(HexEditor* editor, std::vector<std::uint8_t> before, std::vector<std::uint8_t> after,
                  const QString& text)
        : QUndoCommand(text), editor_(editor), before_(std::move(before)), after_(std::move(after)) {}
    void undo() override { editor_->ApplyBuffer(before_); }
    void redo() override { editor_->ApplyBuffer(after_); }

private:
    HexEditor* editor_;
    std::vector<std::uint8_t> before_;
    std::vector<std::uint8_t> after_;
};

HexEditor::HexEditor(QWidget* parent) : QAbstractScrollArea(parent) {
    setAccessibleName(QStringLiteral("Buffer bytes"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    UpdateMetrics();
    UpdateAccessibleDescription();
}

HexEditor::~HexEditor() {
    // The stack empties itself as it goes and says so; by then whoever
    // listens (the window's title, its actions) may be half gone.
    undo_.blockSignals(true);
}

int HexEditor::OffsetDigits(qint64 size) {
    int digits = 4;
    while (digits < 16 && (size - 1) >> (4 * digits) > 0) ++digits;
    return digits;
}

void HexEditor::SetData(std::vector<std::uint8_t> data) {
    undo_.clear();
    data_ = std::move(data);
    written_ = data_;
    marks_.clear();
    cursor_ = anchor_ = 0;
    nibble_ = 0;
    ++typingRun_;
    differencesDirty_ = true;
    const bool hadSelection = selLength_ != 0;
    selStart_ = selLength_ = 0;
    UpdateMetrics();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit DataEdited();
    emit CursorMoved(cursor_);
    if (hadSelection) emit SelectionChanged();
    UpdateAccessibleDescription();
}

void HexEditor::ReplaceData(const std::vector<std::uint8_t>& data, const QString& step) {
    if (data.size() != data_.size()) {
        undo_.push(new BufferReplace(this, data_, data, step));
        return;
    }
    const auto first = std::mismatch(data_.begin(), data_.end(), data.begin());
    if (first.first == data_.end()) return;
    const auto last = std::mismatch(data_.rbegin(), data_.rend(), data.rbegin());
    const qint64 from = first.first - data_.begin();
    const qint64 to = data_.rend() - last.first;  // one past the last changed byte
    undo_.push(new ByteEdit(this, from, std::vector<std::uint8_t>(data_.begin() + from, data_.begin() + to),
                            std::vector<std::uint8_t>(data.begin() + from, data.begin() + to), step, -1));
}

void HexEditor::ApplyBytes(qint64 offset, const std::uint8_t* bytes, qint64 count, qint64 cursor) {
    if (offset < 0 || offset + count > static_cast<qint64>(data_.size())) return;
    std::copy(bytes, bytes + count, data_.begin() + offset);
    differencesDirty_ = true;
    if (cursor >= 0) {
        ++typingRun_;
        nibble_ = 0;
        MoveCursor(cursor, false);
    }
    viewport()->update();
    UpdateAccessibleDescription();
    emit DataEdited();
}

void HexEditor::ApplyBuffer(const std::vector<std::uint8_t>& data) {
    const bool resized = data.size() != data_.size();
    data_ = data;
    differencesDirty_ = true;
    ++typingRun_;
    if (resized) {
        UpdateMetrics();
        const bool hadSelection = selLength_ != 0;
        selStart_ = selLength_ = 0;
        nibble_ = 0;
        cursor_ = anchor_ = std::clamp<qint64>(cursor_, 0, std::max<qint64>(0, data_.size() - 1));
        if (hadSelection) emit SelectionChanged();
        emit CursorMoved(cursor_);
    }
    viewport()->update();
    UpdateAccessibleDescription();
    emit DataEdited();
}

void HexEditor::SetCompare(const std::vector<std::uint8_t>* other) {
    comparing_ = other != nullptr;
    if (other) {
        compare_ = *other;
    } else {
        compare_.clear();
        compare_.shrink_to_fit();
    }
    differencesDirty_ = true;
    viewport()->update();
}

int HexEditor::DifferenceCount() const {
    if (!comparing_) return 0;
    if (differencesDirty_) {
        const std::size_t common = std::min(data_.size(), compare_.size());
        int count = 0;
        for (std::size_t i = 0; i < common; ++i) count += data_[i] != compare_[i];
        differences_ = count + static_cast<int>(std::max(data_.size(), compare_.size()) - common);
        differencesDirty_ = false;
    }
    return differences_;
}

void HexEditor::SetMarks(std::vector<std::uint8_t> marks) {
    marks_ = std::move(marks);
    viewport()->update();
}

bool HexEditor::HasMarks() const {
    return std::any_of(marks_.begin(), marks_.end(), [](std::uint8_t m) { return m != 0; });
}

bool HexEditor::DiffersAt(qint64 offset) const {
    const auto i = static_cast<std::size_t>(offset);
    if (i < marks_.size() && marks_[i] != 0) return true;
    if (!comparing_) return false;
    return i >= compare_.size() || compare_[i] != data_[i];
}

bool HexEditor::NextDifference() { return StepDifference(true); }
bool HexEditor::PreviousDifference() { return StepDifference(false); }

bool HexEditor::StepDifference(bool forward) {
    const qint64 size = static_cast<qint64>(data_.size());
    if (size == 0) return false;
    // Where the run under the cursor starts, so that stepping backwards from
    // inside a run lands on the run before it.
    qint64 runStart = cursor_;
    while (runStart > 0 && DiffersAt(runStart) && DiffersAt(runStart - 1)) --runStart;
    qint64 found = -1;
    for (qint64 step = 1; step <= size && found < 0; ++step) {
        const qint64 at = forward ? (cursor_ + step) % size : ((runStart - step) % size + size) % size;
        const qint64 before = (at + size - 1) % size;
        if (DiffersAt(at) && (at == 0 || !DiffersAt(before))) found = at;
    }
    if (found < 0) {
        if (!DiffersAt(0)) return false;
        found = 0;  // the buffer differs throughout
    }
    qint64 end = found;
    while (end < size && DiffersAt(end)) ++end;
    SelectRange(found, end - found);
    return true;
}

void HexEditor::SetCursorOffset(qint64 offset) {
    ++typingRun_;
    nibble_ = 0;
    MoveCursor(offset, false);
}

void HexEditor::SelectRange(qint64 first, qint64 count) {
    const qint64 size = static_cast<qint64>(data_.size());
    first = std::clamp<qint64>(first, 0, std::max<qint64>(0, size - 1));
    count = std::clamp<qint64>(count, 0, size - first);
    ++typingRun_;
    nibble_ = 0;
    MoveCursor(first, false);
    anchor_ = count > 0 ? first + count - 1 : first;
    SetSelection(first, count);
}

void HexEditor::MoveCursor(qint64 offset, bool extend) {
    const qint64 size = static_cast<qint64>(data_.size());
    offset = std::clamp<qint64>(offset, 0, std::max<qint64>(0, size - 1));
    if (extend && selLength_ == 0) anchor_ = cursor_;
    const bool moved = offset != cursor_;
    cursor_ = offset;
    if (extend) {
        SetSelection(std::min(anchor_, cursor_), std::abs(cursor_ - anchor_) + 1);
    } else {
        anchor_ = cursor_;
        SetSelection(0, 0);
    }
    EnsureVisible(cursor_);
    viewport()->update();
    if (moved) {
        UpdateAccessibleDescription();
        emit CursorMoved(cursor_);
    }
}

void HexEditor::SetSelection(qint64 start, qint64 length) {
    if (length == 0) start = 0;
    if (start == selStart_ && length == selLength_) return;
    selStart_ = start;
    selLength_ = length;
    viewport()->update();
    emit SelectionChanged();
}

bool HexEditor::Find(const QByteArray& bytes, bool backwards) {
    const qint64 size = static_cast<qint64>(data_.size());
    const qint64 length = bytes.size();
    if (length == 0 || length > size) return false;
    const auto* needle = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto begin = data_.begin();
    qint64 hit = -1;
    if (!backwards) {
        // Past a selection starting at the cursor (the last hit), else from the cursor.
        const qint64 from = selLength_ > 0 && selStart_ == cursor_ ? cursor_ + 1 : cursor_;
        auto at = std::search(begin + std::min(from, size), data_.end(), needle, needle + length);
        if (at == data_.end()) at = std::search(begin, data_.end(), needle, needle + length);
        if (at != data_.end()) hit = at - begin;
    } else {
        // The last hit that starts before the cursor, else the last one in the buffer.
        const qint64 limit = std::min(size, cursor_ - 1 + length);
        if (cursor_ > 0 && limit >= length) {
            const auto at = std::find_end(begin, begin + limit, needle, needle + length);
            if (at != begin + limit) hit = at - begin;
        }
        if (hit < 0) {
            const auto at = std::find_end(begin, data_.end(), needle, needle + length);
            if (at != data_.end()) hit = at - begin;
        }
    }
    if (hit < 0) return false;
    SelectRange(hit, length);
    return true;
}

bool HexEditor::ParseFindText(const QString& text, QByteArray& bytes, QString& error) {
    bytes.clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        error = QStringLiteral("Type hex bytes (12 AB) or text in double quotes (\"abc\").");
        return false;
    }
    if (trimmed.startsWith(QLatin1Char('"'))) {
        if (trimmed.size() < 3 || !trimmed.endsWith(QLatin1Char('"'))) {
            error = QStringLiteral("Text to find goes between double quotes, as in \"abc\".");
            return false;
        }
        bytes = trimmed.mid(1, trimmed.size() - 2).toUtf8();
        return true;
    }
    const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]*$"));
    for (QString token : trimmed.split(QRegularExpression(QStringLiteral("\\s+")))) {
        if (token.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) token = token.mid(2);
        if (!hexDigits.match(token).hasMatch()) {
            error = QStringLiteral("\"%1\" is not hex bytes.").arg(token);
            bytes.clear();
            return false;
        }
        if (token.size() > 2 && token.size() % 2 != 0) {
            error =
                QStringLiteral("\"%1\" is not whole bytes: write each byte as two hex digits.").arg(token);
            bytes.clear();
            return false;
        }
        for (int i = 0; i < token.size(); i += 2)
            bytes.append(static_cast<char>(token.mid(i, 2).toInt(nullptr, 16)));
    }
    if (bytes.isEmpty()) error = QStringLiteral("\"%1\" has no hex bytes in it.").arg(trimmed);
    return !bytes.isEmpty();
}

QString HexEditor::SelectionAsHex() const {
    if (data_.empty()) return {};
    return selLength_ > 0 ? SelectedList(data_, selStart_, selLength_) : SelectedList(data_, cursor_, 1);
}

void HexEditor::CopySelectionAsHex() const {
    if (!data_.empty()) QApplication::clipboard()->setText(SelectionAsHex());
}

void HexEditor::SetWordView(bool words) {
    wordView_ = words;
    viewport()->update();
}

void HexEditor::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    ++typingRun_;
    viewport()->update();
}

// --- typing -------------------------------------------------------------------

void HexEditor::PushEdit(qint64 offset, std::uint8_t value) {
    const std::uint8_t before = data_[static_cast<std::size_t>(offset)];
    undo_.push(new ByteEdit(this, offset, {before}, {value}, QStringLiteral("Typing"), typingRun_));
}

void HexEditor::TypeNibble(int value) {
    const qint64 at = cursor_;
    const std::uint8_t old = data_[static_cast<std::size_t>(at)];
    const auto byte =
        static_cast<std::uint8_t>(nibble_ == 0 ? (value << 4) | (old & 0x0F) : (old & 0xF0) | value);
    if (nibble_ == 0) {
        nibble_ = 1;
        anchor_ = cursor_;
        SetSelection(0, 0);
    } else {
        nibble_ = 0;
        MoveCursor(at + 1, false);
    }
    PushEdit(at, byte);
}

void HexEditor::TypeByte(std::uint8_t value) {
    const qint64 at = cursor_;
    MoveCursor(at + 1, false);
    PushEdit(at, value);
}

// --- input ----------------------------------------------------------------------

bool HexEditor::event(QEvent* event) {
    // Tab switches the column instead of leaving the editor; Ctrl+Tab leaves.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            asciiColumn_ = !asciiColumn_;
            nibble_ = 0;
            ++typingRun_;
            viewport()->update();
            UpdateAccessibleDescription();
            return true;
        }
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            (key->modifiers() & Qt::ControlModifier)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void HexEditor::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        CopySelectionAsHex();
        return;
    }
    if (event == QKeySequence::Undo) {
        if (!readOnly_) undo_.undo();
        return;
    }
    if (event == QKeySequence::Redo ||
        (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
        if (!readOnly_) undo_.redo();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectRange(0, static_cast<qint64>(data_.size()));
        return;
    }
    const qint64 size = static_cast<qint64>(data_.size());
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const qint64 page = static_cast<qint64>(VisibleRows()) * kRowBytes;
    qint64 target = -1;
    switch (event->key()) {
        case Qt::Key_Left:
            target = std::max<qint64>(0, cursor_ - 1);
            break;
        case Qt::Key_Right:
            target = cursor_ + 1;
            break;
        case Qt::Key_Up:
            target = cursor_ >= kRowBytes ? cursor_ - kRowBytes : cursor_;
            break;
        case Qt::Key_Down:
            target = cursor_ + kRowBytes < size ? cursor_ + kRowBytes : cursor_;
            break;
        case Qt::Key_PageUp:
            verticalScrollBar()->setValue(verticalScrollBar()->value() - VisibleRows());
            target = std::max<qint64>(cursor_ % kRowBytes, cursor_ - page);
            break;
        case Qt::Key_PageDown:
            verticalScrollBar()->setValue(verticalScrollBar()->value() + VisibleRows());
            target = cursor_ + page < size ? cursor_ + page : std::max<qint64>(0, size - 1);
            break;
        case Qt::Key_Home:
            target = ctrl ? 0 : cursor_ - cursor_ % kRowBytes;
            break;
        case Qt::Key_End:
            target = ctrl ? size - 1 : std::min(size - 1, cursor_ - cursor_ % kRowBytes + 15);
            break;
        default:
            break;
    }
    if (target >= 0) {
        ++typingRun_;
        nibble_ = 0;
        MoveCursor(target, shift);
        return;
    }
    const QString text = event->text();
    if (!readOnly_ && size > 0 && text.size() == 1 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar ch = text.at(0);
        if (asciiColumn_) {
            if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F) {
                TypeByte(static_cast<std::uint8_t>(ch.unicode()));
                return;
            }
        } else {
            bool ok = false;
            const int value = QString(ch).toInt(&ok, 16);
            if (ok) {
                TypeNibble(value);
                return;
            }
        }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void HexEditor::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const Hit hit = HitTest(event->position().toPoint());
    if (hit.offset < 0) return;
    asciiColumn_ = hit.ascii;
    ++typingRun_;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    MoveCursor(hit.offset, extend);
    nibble_ = extend ? 0 : hit.nibble;
    viewport()->update();
}

void HexEditor::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint point = event->position().toPoint();
    if (point.y() < 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    if (point.y() > viewport()->height()) verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    const Hit hit = HitTest(point);
    if (hit.offset < 0) return;
    nibble_ = 0;
    if (hit.offset != cursor_) MoveCursor(hit.offset, true);
}

void HexEditor::mouseReleaseEvent(QMouseEvent* event) {
    // The selection was made while the button moved; the release only ends the drag.
    event->setAccepted(event->button() == Qt::LeftButton);
}

namespace {

bool HasLocalFile(const QMimeData* mime) {
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

}  // namespace

void HexEditor::dragEnterEvent(QDragEnterEvent* event) {
    if (HasLocalFile(event->mimeData())) event->acceptProposedAction();
}

void HexEditor::dragMoveEvent(QDragMoveEvent* event) {
    if (HasLocalFile(event->mimeData())) event->acceptProposedAction();
}

void HexEditor::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        event->acceptProposedAction();
        emit FileDropped(url.toLocalFile());
        return;
    }
}

void HexEditor::UpdateAccessibleDescription() {
    if (data_.empty()) {
        setAccessibleDescription(QStringLiteral("Empty buffer"));
        return;
    }
    const std::uint8_t byte = data_[static_cast<std::size_t>(cursor_)];
    setAccessibleDescription(
        QStringLiteral("Offset %1, value %2, %3")
            .arg(QString::number(cursor_, 16).toUpper().rightJustified(offsetDigits_, QLatin1Char('0')),
                 QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')),
                 asciiColumn_ ? QStringLiteral("ASCII column") : QStringLiteral("hex column")));
}

}  // namespace ui
