// A strip chart of bus transfers per second by device address over the last
// minute of monitor time (bench time on the bench), for seeing at a glance
// which device is busy and when the traffic changed.
#pragma once

#include <QWidget>

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "monitor/transfer_decode.h"

namespace ui {

class TransferRateChart : public QWidget {
public:
    static constexpr int kSeconds = 60;
    static constexpr int kMostSeries = 6;  // the busiest addresses; the rest would be unreadable

    explicit TransferRateChart(QWidget* parent = nullptr);

    // Takes the counts of the minute that ends at `nowUs` and repaints.
    void Show(const std::deque<monitor::SeenTransfer>& items, std::int64_t nowUs);
    // The series drawn, busiest first (tests read them).
    const std::vector<std::pair<std::uint8_t, std::vector<int>>>& Series() const { return series_; }

    QSize sizeHint() const override { return {480, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::pair<std::uint8_t, std::vector<int>>> series_;
};

}  // namespace ui
