// The transfers-per-second strip chart: one line per busy address, the last
// minute across, the current second at the right edge.
#include "ui/monitor/transfer_rate_chart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <numeric>

namespace ui {

namespace {

const QColor kSeriesColours[TransferRateChart::kMostSeries] = {
    QColor(0x1F, 0x77, 0xB4), QColor(0xD6, 0x27, 0x28), QColor(0x2C, 0xA0, 0x2C),
    QColor(0xFF, 0x7F, 0x0E), QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B)};

}  // namespace

TransferRateChart::TransferRateChart(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(110);
    setAccessibleName(QStringLiteral("Transfers per second by address, last minute"));
}

void TransferRateChart::Show(const std::deque<monitor::SeenTransfer>& items, std::int64_t nowUs) {
    std::map<std::uint8_t, std::vector<int>> rates = monitor::TransferRates(items, nowUs, kSeconds);
    series_.assign(rates.begin(), rates.end());
    auto total = [](const std::vector<int>& v) { return std::accumulate(v.begin(), v.end(), 0); };
    std::stable_sort(series_.begin(), series_.end(),
                     [&](const auto& a, const auto& b) { return total(a.second) > total(b.second); });
    if (series_.size() > static_cast<std::size_t>(kMostSeries)) series_.resize(kMostSeries);
    update();
}

void TransferRateChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = fontMetrics();
    const int left = fm.horizontalAdvance(QStringLiteral("0000/s")) + 6;
    const int right = fm.horizontalAdvance(QStringLiteral("0x00  ")) + 8;
    const QRect plot(left, fm.height() / 2 + 2, width() - left - right, height() - 2 * fm.height() - 6);
    if (plot.width() < 20 || plot.height() < 20) return;

    int peak = 1;
    for (const auto& [address, counts] : series_)
        peak = std::max(peak, *std::max_element(counts.begin(), counts.end()));

    p.setPen(palette().mid().color());
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    p.setPen(palette().text().color());
    p.drawText(QRect(0, plot.top() - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight,
               QStringLiteral("%1/s").arg(peak));
    p.drawText(QRect(0, plot.bottom() - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight,
               QStringLiteral("0"));
    const int labelTop = plot.bottom() + 3;
    p.drawText(QRect(plot.left(), labelTop, 80, fm.height()), Qt::AlignLeft, QStringLiteral("-60 s"));
    p.drawText(QRect(plot.center().x() - 40, labelTop, 80, fm.height()), Qt::AlignHCenter,
               QStringLiteral("-30 s"));
    p.drawText(QRect(plot.right() - 80, labelTop, 80, fm.height()), Qt::AlignRight, QStringLiteral("now"));
    if (series_.empty()) {
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("No transfers in the last minute"));
        return;
    }

    p.setRenderHint(QPainter::Antialiasing);
    const double step = double(plot.width() - 1) / (kSeconds - 1);
    for (std::size_t s = 0; s < series_.size(); ++s) {
        const std::vector<int>& counts = series_[s].second;
        QPainterPath path;
        for (int i = 0; i < kSeconds; ++i) {
            const QPointF point(
                plot.left() + i * step,
                plot.bottom() - double(counts[static_cast<std::size_t>(i)]) * (plot.height() - 2) / peak);
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.setPen(QPen(kSeriesColours[s], 1.6));
        p.drawPath(path);
        p.drawText(QRect(plot.right() + 8, plot.top() + int(s) * fm.height(), right, fm.height()),
                   Qt::AlignLeft,
                   QStringLiteral("0x%1")
                       .arg(series_[s].first, 2, 16, QLatin1Char('0'))
                       .toUpper()
                       .replace("0X", "0x"));
    }
}

}  // namespace ui
