// The DAC's outputs on the bench window: for each of the converter's twelve
// channels its number, value, range and voltage, and a bar on a common
// 0..12 V scale so the channels compare at a glance. Without a converter in
// the serial socket the rows are greyed.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <vector>

#include "simulator/serial_chip.h"

namespace ui {

class DacBars : public QWidget {
    Q_OBJECT
public:
    static constexpr int kChannels = 12;

    explicit DacBars(QWidget* parent = nullptr);

    // `present`: whether the converter sits in the socket; without it the
    // rows are shown greyed.
    void Show(const std::vector<simulator::DacChannel>& channels, bool present);
    // "2.51 V", as the row shows it; channel 1..12.
    QString VoltsText(int channel) const;
    simulator::DacChannel Channel(int channel) const {
        return channels_[static_cast<std::size_t>(channel - 1)];
    }
    bool Present() const { return present_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect RowRect(int index) const;

    std::array<simulator::DacChannel, kChannels> channels_{};
    bool present_ = false;
    int rowHeight_ = 0;
};

}  // namespace ui
