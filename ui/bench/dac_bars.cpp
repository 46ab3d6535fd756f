// The DAC bars: a row repaints only when its channel's value or range moved.
#include "ui/bench/dac_bars.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "ui/bench/bench_look.h"

namespace ui {

namespace {
const QColor kBarColour(0x3C, 0x8C, 0xE0);
constexpr double kDacScaleVolts = 12.0;
const char* const kRangeTexts[4] = {"0-5 V", "0-8 V", "0-9 V", "0-12 V"};
}  // namespace

DacBars::DacBars(QWidget* parent) : QWidget(parent) {
    setFont(FixedFont());
    rowHeight_ = QFontMetrics(font()).height() + 3;
}

QSize DacBars::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("12  FF  0-12 V  12.00 V ")) + 90,
            kChannels * rowHeight_ + 4};
}

QRect DacBars::RowRect(int index) const { return {0, 2 + index * rowHeight_, width(), rowHeight_}; }

QString DacBars::VoltsText(int channel) const {
    return QString::asprintf("%5.2f V", Channel(channel).Volts()).trimmed();
}

void DacBars::Show(const std::vector<simulator::DacChannel>& channels, bool present) {
    if (present != present_) {
        present_ = present;
        update();
    }
    const std::size_t n = std::min<std::size_t>(channels.size(), kChannels);
    for (std::size_t i = 0; i < n; ++i) {
        simulator::DacChannel& shown = channels_[i];
        if (shown.value == channels[i].value && shown.range == channels[i].range) continue;
        shown = channels[i];
        update(RowRect(static_cast<int>(i)));
    }
}

void DacBars::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QFontMetrics metrics(font());
    painter.setPen(present_ ? pal.color(QPalette::WindowText) : pal.color(QPalette::PlaceholderText));
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("12  FF  0-12 V  12.00 V "));
    const int barWidth = std::max(20, width() - textWidth - 8);
    for (int i = 0; i < kChannels; ++i) {
        const QRect row = RowRect(i);
        if (!row.intersects(event->rect())) continue;
        painter.fillRect(row, pal.window());
        const simulator::DacChannel& c = channels_[static_cast<std::size_t>(i)];
        const QString text = QStringLiteral("%1  %2  %3  %4")
                                 .arg(i + 1, 2)
                                 .arg(ByteTexts()[c.value])
                                 .arg(QString::fromLatin1(kRangeTexts[c.range & 3u]), -6)
                                 .arg(VoltsText(i + 1), 7);
        painter.drawText(2, row.top() + metrics.ascent(), text);
        const QRect frame(textWidth, row.top() + 2, barWidth, rowHeight_ - 5);
        painter.fillRect(frame, pal.base());
        const int filled =
            static_cast<int>(barWidth * std::clamp(c.Volts() / kDacScaleVolts, 0.0, 1.0) + 0.5);
        painter.fillRect(QRect(frame.left(), frame.top(), filled, frame.height()),
                         present_ ? kBarColour : pal.color(QPalette::Mid));
    }
}

}  // namespace ui
