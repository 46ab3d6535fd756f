// The adapter's lines on the bench window: the output latch's eight lines and
// status bit 3 as lamps under captions that group them as the adapter does
// (device reset/stop, user outputs, serial socket, status). A lamp is lit
// while its line is high; a ring around it flashes when the line moved (was
// seen both high and low) since the previous refresh, so a pulse shorter than
// a refresh still shows.
#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

namespace ui {

class LatchLamps : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLamps = 9;  // latch bits 0..7, then status bit 3
    static constexpr int kStatusLamp = 8;

    explicit LatchLamps(QWidget* parent = nullptr);

    void Show(std::uint8_t latch, std::uint8_t seenHigh, std::uint8_t seenLow, bool statusBit3,
              std::uint32_t tick);
    static QString LampName(int lamp);
    bool Lit(int lamp) const { return (lit_ >> lamp) & 1u; }
    bool Pulsed(int lamp) const { return pulsedAt_[static_cast<std::size_t>(lamp)] != 0; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect LampRect(int lamp) const;
    QRect LampCell(int lamp) const;  // the lamp and its name

    std::uint16_t lit_ = 0;
    std::array<std::uint32_t, kLamps> pulsedAt_{};  // tick + 1 of the last movement; 0: none showing
};

}  // namespace ui
