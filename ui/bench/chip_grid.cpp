// The chip grids: which rows changed, and painting only those.
#include "ui/bench/chip_grid.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

#include "ui/bench/bench_look.h"

namespace ui {

namespace {
const QColor kFlashColour(0xFF, 0xC8, 0x3C);
}  // namespace

// --- ByteGridState --------------------------------------------------------------

bool ByteGridState::Flashing(std::size_t index) const {
    const std::uint32_t at = changedAt_[index];
    return at != 0 && tick_ - (at - 1) < kFlashTicks;
}

bool ByteGridState::Update(const std::uint8_t* data, std::size_t size, std::uint32_t tick,
                           std::vector<int>& dirtyRows) {
    tick_ = tick;
    dirtyRows.clear();
    if (size != bytes_.size()) {
        bytes_.assign(data, data + size);
        changedAt_.assign(size, 0);
        rowChangedAt_.assign(static_cast<std::size_t>(Rows()), 0);
        flashingRows_.clear();
        for (int row = 0; row < Rows(); ++row) dirtyRows.push_back(row);
        return true;
    }
    // Rows whose flash ran out are drawn once more, plain.
    std::erase_if(flashingRows_, [&](int row) {
        if (tick - (rowChangedAt_[static_cast<std::size_t>(row)] - 1) < kFlashTicks) return false;
        dirtyRows.push_back(row);
        return true;
    });
    if (size == 0 || std::memcmp(bytes_.data(), data, size) == 0) return !dirtyRows.empty();
    for (std::size_t start = 0; start < size; start += kColumns) {
        const std::size_t end = std::min(size, start + kColumns);
        if (std::memcmp(bytes_.data() + start, data + start, end - start) == 0) continue;
        for (std::size_t i = start; i < end; ++i) {
            if (bytes_[i] == data[i]) continue;
            bytes_[i] = data[i];
            changedAt_[i] = tick + 1;
        }
        const int row = static_cast<int>(start / kColumns);
        std::uint32_t& rowAt = rowChangedAt_[static_cast<std::size_t>(row)];
        if (std::find(flashingRows_.begin(), flashingRows_.end(), row) == flashingRows_.end())
            flashingRows_.push_back(row);
        rowAt = tick + 1;
        if (std::find(dirtyRows.begin(), dirtyRows.end(), row) == dirtyRows.end()) dirtyRows.push_back(row);
    }
    return true;
}

// --- HexGrid ------------------------------------------------------------------

HexGrid::HexGrid(std::vector<QString> rowLabels, QWidget* parent) : QWidget(parent) {
    setFont(FixedFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QFontMetrics metrics(font());
    // Two digits and a narrow gap: two grids side by side must leave room
    // for the main window on a common screen.
    cellWidth_ =
        metrics.horizontalAdvance(QStringLiteral("00")) + metrics.horizontalAdvance(QLatin1Char(' ')) * 2 / 3;
    rowHeight_ = metrics.height() + 1;
    ascent_ = metrics.ascent();
    SetRowLabels(std::move(rowLabels));
}

void HexGrid::SetRowLabels(std::vector<QString> rowLabels) {
    rowLabels_ = std::move(rowLabels);
    const QFontMetrics metrics(font());
    int widest = metrics.horizontalAdvance(QStringLiteral("000"));
    for (const QString& label : rowLabels_) widest = std::max(widest, metrics.horizontalAdvance(label));
    labelWidth_ = widest + cellWidth_ / 2 + 4;
    resize(sizeHint());
    update();
}

QSize HexGrid::sizeHint() const {
    const int rows = std::max<int>(1, static_cast<int>(rowLabels_.size()));
    return {labelWidth_ + ByteGridState::kColumns * cellWidth_ + 4, rows * rowHeight_ + 2};
}

QRect HexGrid::RowRect(int row) const { return {0, 1 + row * rowHeight_, width(), rowHeight_}; }

bool HexGrid::Show(const std::uint8_t* data, std::size_t size, std::uint32_t tick) {
    const std::size_t oldSize = state_.Size();
    if (state_.Update(data, size, tick, dirtyRows_)) {
        if (size != oldSize) {
            update();
        } else {
            for (int row : dirtyRows_) update(RowRect(row));
        }
    }
    return state_.AnyFlashing();
}

void HexGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Changed rows far apart arrive as one region of several rectangles:
    // paint those, not the span between them.
    for (const QRect& area : event->region()) PaintRows(painter, area);
}

void HexGrid::PaintRows(QPainter& painter, const QRect& area) {
    const QPalette& pal = palette();
    painter.fillRect(area, pal.base());
    const int rows = state_.Rows();
    const int first = std::max(0, (area.top() - 1) / rowHeight_);
    const int last = std::min(rows - 1, (area.bottom() - 1) / rowHeight_);
    const auto& texts = ByteTexts();
    for (int row = first; row <= last; ++row) {
        const QRect rect = RowRect(row);
        const int baseline = rect.top() + ascent_;
        if (static_cast<std::size_t>(row) < rowLabels_.size()) {
            painter.setPen(pal.color(QPalette::PlaceholderText));
            painter.drawText(2, baseline, rowLabels_[static_cast<std::size_t>(row)]);
        }
        if (blockRows_ > 0 && row > 0 && row % blockRows_ == 0) {
            painter.setPen(pal.color(QPalette::Mid));
            painter.drawLine(0, rect.top(), width(), rect.top());
        }
        painter.setPen(pal.color(QPalette::Text));
        for (int column = 0; column < ByteGridState::kColumns; ++column) {
            const std::size_t index = static_cast<std::size_t>(row) * ByteGridState::kColumns + column;
            if (index >= state_.Size()) break;
            const int x = labelWidth_ + column * cellWidth_;
            if (state_.Flashing(index))
                painter.fillRect(x - 2, rect.top(), cellWidth_ - 2, rowHeight_, kFlashColour);
            painter.drawText(x, baseline, texts[state_.Byte(index)]);
        }
    }
}

}  // namespace ui
