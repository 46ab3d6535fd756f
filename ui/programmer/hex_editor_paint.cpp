// The painted hex editor's geometry and painting: rows, scroll bars, the
// hit test, the paint of one screen and a differing byte's tooltip. See
// hex_editor.h.
#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_rows.h"

namespace ui {

using namespace hexrows;

namespace {
// Edited bytes not yet written to the chip or a file: a pale blue that the
// differences' salmon and the selection never look like.
const QColor kEdited(196, 222, 255);
}  // namespace

// --- geometry and painting ------------------------------------------------------

void HexEditor::UpdateMetrics() {
    const QFontMetricsF metrics(font());
    charWidth_ = metrics.horizontalAdvance(QLatin1Char('0'));
    lineHeight_ = static_cast<int>(std::ceil(metrics.height()));
    ascent_ = static_cast<int>(std::ceil(metrics.ascent()));
    offsetDigits_ = OffsetDigits(static_cast<qint64>(data_.size()));
    UpdateScrollBars();
    updateGeometry();
}

qint64 HexEditor::RowCount() const { return (static_cast<qint64>(data_.size()) + kRowBytes - 1) / kRowBytes; }

int HexEditor::VisibleRows() const { return std::max(1, viewport()->height() / std::max(1, lineHeight_)); }

int HexEditor::ContentWidth() const {
    return static_cast<int>(std::ceil(
        2 * kMargin + charWidth_ * (offsetDigits_ + kOffsetGap + kHexChars + kAsciiGap + kRowBytes)));
}

QSize HexEditor::sizeHint() const {
    // Every column without a horizontal scroll bar, and 24 rows.
    const int frame = 2 * frameWidth();
    return {ContentWidth() + verticalScrollBar()->sizeHint().width() + frame, 24 * lineHeight_ + frame};
}

void HexEditor::UpdateScrollBars() {
    const int rows = VisibleRows();
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<qint64>(0, RowCount() - rows)));
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setSingleStep(1);
    const int width = static_cast<int>(std::ceil(
        2 * kMargin + charWidth_ * (offsetDigits_ + kOffsetGap + kHexChars + kAsciiGap + kRowBytes)));
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(static_cast<int>(charWidth_));
}

void HexEditor::EnsureVisible(qint64 offset) {
    const qint64 row = offset / kRowBytes;
    const int top = verticalScrollBar()->value();
    const int rows = VisibleRows();
    if (row < top) {
        verticalScrollBar()->setValue(static_cast<int>(row));
    } else if (row >= top + rows) {
        verticalScrollBar()->setValue(static_cast<int>(row - rows + 1));
    }
}

void HexEditor::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void HexEditor::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();  // the cursor box is drawn heavier with the focus
}

void HexEditor::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void HexEditor::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        viewport()->update();
    }
}

void HexEditor::scrollContentsBy(int, int) { viewport()->update(); }

HexEditor::Hit HexEditor::HitTest(QPoint point) const {
    Hit hit;
    if (data_.empty()) return hit;
    const qreal x = (point.x() + horizontalScrollBar()->value() - kMargin) / charWidth_;
    const qint64 row = std::clamp<qint64>(
        verticalScrollBar()->value() + static_cast<qint64>(std::floor(qreal(point.y()) / lineHeight_)), 0,
        RowCount() - 1);
    const qreal hexStart = offsetDigits_ + kOffsetGap;
    const qreal asciiStart = hexStart + kHexChars + kAsciiGap;
    int column = 0;
    if (x >= asciiStart - 1) {
        hit.ascii = true;
        column = std::clamp(static_cast<int>(x - asciiStart), 0, kRowBytes - 1);
    } else {
        column = HexCharColumn(std::max(0, static_cast<int>(x - hexStart)), wordView_, hit.nibble);
    }
    hit.offset = std::clamp<qint64>(row * kRowBytes + column, 0, static_cast<qint64>(data_.size()) - 1);
    return hit;
}

void HexEditor::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.fillRect(viewport()->rect(), pal.brush(QPalette::Active, QPalette::Base));
    painter.setFont(font());
    const qreal x0 = kMargin - horizontalScrollBar()->value();
    const qreal hexX = x0 + charWidth_ * (offsetDigits_ + kOffsetGap);
    const qreal asciiX = hexX + charWidth_ * (kHexChars + kAsciiGap);
    const qint64 size = static_cast<qint64>(data_.size());
    const qint64 top = verticalScrollBar()->value();
    const int rows = viewport()->height() / lineHeight_ + 1;
    QColor selection = pal.color(QPalette::Highlight);
    selection.setAlpha(110);
    const QColor difference(255, 150, 120);
    // The active group's colours whatever the state: while a job runs the
    // view is disabled, and its bytes (marked ones above all) must stay
    // readable.
    const QColor offsetColour = pal.color(QPalette::Active, QPalette::PlaceholderText);
    const QColor textColour = pal.color(QPalette::Active, QPalette::Text);

    QString hex(kHexChars, QLatin1Char(' '));
    QString ascii(kRowBytes, QLatin1Char(' '));
    QString offset(offsetDigits_, QLatin1Char('0'));
    for (int r = 0; r < rows; ++r) {
        const qint64 row = top + r;
        const qint64 first = row * kRowBytes;
        if (first >= size) break;
        const int count = static_cast<int>(std::min<qint64>(kRowBytes, size - first));
        const int y = r * lineHeight_;
        for (int c = 0; c < count; ++c) {
            const qint64 at = first + c;
            const bool selected = selLength_ > 0 && at >= selStart_ && at < selStart_ + selLength_;
            const bool differs = DiffersAt(at);
            const bool edited = !selected && !differs && EditedAt(at);
            if (!selected && !differs && !edited) continue;
            const QColor colour = differs ? difference : edited ? kEdited : selection;
            const qreal gap = HexColumnChar(c + 1, wordView_) - HexColumnChar(c, wordView_) - 2;
            const qreal extra =
                (selected && c + 1 < count && c != 7 && at + 1 < selStart_ + selLength_) ? gap : 0;
            painter.fillRect(QRectF(hexX + charWidth_ * HexColumnChar(c, wordView_), y,
                                    charWidth_ * (2 + extra), lineHeight_),
                             colour);
            painter.fillRect(QRectF(asciiX + charWidth_ * c, y, charWidth_, lineHeight_), colour);
            if (selected && differs) {
                painter.fillRect(
                    QRectF(hexX + charWidth_ * HexColumnChar(c, wordView_), y, charWidth_ * 2, lineHeight_),
                    selection);
                painter.fillRect(QRectF(asciiX + charWidth_ * c, y, charWidth_, lineHeight_), selection);
            }
        }
        for (int d = 0; d < offsetDigits_; ++d)
            offset[offsetDigits_ - 1 - d] = QLatin1Char(kHexDigits[(first >> (4 * d)) & 15]);
        hex.fill(QLatin1Char(' '));
        ascii.fill(QLatin1Char(' '));
        for (int c = 0; c < count; ++c) {
            const std::uint8_t byte = data_[static_cast<std::size_t>(first + c)];
            hex[HexColumnChar(c, wordView_)] = QLatin1Char(kHexDigits[byte >> 4]);
            hex[HexColumnChar(c, wordView_) + 1] = QLatin1Char(kHexDigits[byte & 15]);
            ascii[c] = byte >= 0x20 && byte < 0x7F ? QLatin1Char(static_cast<char>(byte)) : QLatin1Char('.');
        }
        painter.setPen(offsetColour);
        painter.drawText(QPointF(x0, y + ascent_), offset);
        painter.setPen(textColour);
        painter.drawText(QPointF(hexX, y + ascent_), hex);
        painter.drawText(QPointF(asciiX, y + ascent_), ascii);
    }

    // The cursor: a box in the column typing goes to, a dotted one in the
    // other, the nibble next underlined.
    if (size == 0) return;
    const qint64 row = cursor_ / kRowBytes - top;
    if (row < 0 || row >= rows) return;
    const int c = static_cast<int>(cursor_ % kRowBytes);
    const qreal y = row * lineHeight_;
    const QRectF hexBox(hexX + charWidth_ * HexColumnChar(c, wordView_), y, charWidth_ * 2, lineHeight_ - 1);
    const QRectF asciiBox(asciiX + charWidth_ * c, y, charWidth_, lineHeight_ - 1);
    QPen solid(readOnly_ ? offsetColour : textColour, hasFocus() ? 2 : 1);
    QPen dotted(offsetColour, 1, Qt::DotLine);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(asciiColumn_ ? dotted : solid);
    painter.drawRect(hexBox);
    painter.setPen(asciiColumn_ ? solid : dotted);
    painter.drawRect(asciiBox);
    if (!asciiColumn_ && !readOnly_) {
        const qreal nx = hexBox.left() + nibble_ * charWidth_;
        painter.fillRect(QRectF(nx, y + lineHeight_ - 3, charWidth_, 2), textColour);
    }
}

void HexEditor::MarkWritten() {
    written_ = data_;
    viewport()->update();
}

bool HexEditor::EditedAt(qint64 offset) const {
    const auto at = static_cast<std::size_t>(offset);
    return at < written_.size() && at < data_.size() && written_[at] != data_[at];
}

bool HexEditor::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const Hit hit = HitTest(help->pos());
    const auto at = static_cast<std::size_t>(hit.offset);
    if (!comparing_ || hit.offset < 0 || at >= data_.size() || at >= compare_.size() ||
        data_[at] == compare_[at]) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(
        help->globalPos(),
        QStringLiteral("0x%1: the buffer holds %2, the other side %3")
            .arg(QString::number(hit.offset, 16).toUpper())
            .arg(QString::number(data_[at], 16).toUpper().rightJustified(2, QLatin1Char('0')))
            .arg(QString::number(compare_[at], 16).toUpper().rightJustified(2, QLatin1Char('0'))),
        viewport());
    return true;
}

}  // namespace ui
