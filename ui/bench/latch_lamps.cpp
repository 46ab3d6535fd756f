// The latch lamps: which lamps a refresh repaints, and their layout.
#include "ui/bench/latch_lamps.h"

#include <QPainter>

#include "ui/bench/bench_look.h"

namespace ui {

namespace {
const QColor kLampOn(0x3C, 0xD0, 0x50);
const QColor kLampOff(0x30, 0x3A, 0x32);
constexpr int kLampCell = 52;
constexpr int kStatusCell = 72;  // the status lamp stands apart: an input, not a latch line
constexpr int kStatusGap = 8;
constexpr int kLampSize = 14;
const char* const kLampNames[LatchLamps::kLamps] = {"Dev A", "Dev B", "Output1", "Output2",   "ORG",
                                                    "CS",    "DI",    "SK",      "DO (bit 3)"};
// Captions over groups of lamps: first lamp, count, caption.
struct LampGroup {
    int first;
    int count;
    const char* caption;
};
const LampGroup kLampGroups[] = {
    {0, 2, "Reset/Stop Dev"}, {2, 2, "User"}, {4, 4, "Serial socket"}, {8, 1, "Status"}};
}  // namespace

LatchLamps::LatchLamps(QWidget* parent) : QWidget(parent) {}

QString LatchLamps::LampName(int lamp) { return QString::fromLatin1(kLampNames[lamp]); }

QSize LatchLamps::sizeHint() const {
    const QFontMetrics metrics(font());
    return {8 * kLampCell + kStatusGap + kStatusCell + 4, 2 * metrics.height() + kLampSize + 14};
}

QRect LatchLamps::LampRect(int lamp) const {
    const QRect cell = LampCell(lamp);
    return {cell.center().x() - kLampSize / 2, cell.top(), kLampSize, kLampSize};
}

QRect LatchLamps::LampCell(int lamp) const {
    const QFontMetrics metrics(font());
    const int x = 2 + lamp * kLampCell + (lamp == kStatusLamp ? kStatusGap : 0);
    return {x, metrics.height() + 6, lamp == kStatusLamp ? kStatusCell : kLampCell,
            kLampSize + 4 + metrics.height()};
}

void LatchLamps::Show(std::uint8_t latch, std::uint8_t seenHigh, std::uint8_t seenLow, bool statusBit3,
                      std::uint32_t tick) {
    const std::uint16_t lit = static_cast<std::uint16_t>(latch | (statusBit3 ? 1u << kStatusLamp : 0u));
    const std::uint8_t moved = seenHigh & seenLow;
    for (int lamp = 0; lamp < kLamps; ++lamp) {
        std::uint32_t& at = pulsedAt_[static_cast<std::size_t>(lamp)];
        bool changed = ((lit ^ lit_) >> lamp) & 1u;
        if (lamp < 8 && ((moved >> lamp) & 1u)) {
            changed = changed || at == 0;
            at = tick + 1;
        } else if (at != 0 && tick - (at - 1) >= kFlashTicks) {
            at = 0;
            changed = true;
        }
        if (changed) update(LampRect(lamp).adjusted(-4, -4, 4, 4));
    }
    lit_ = lit;
}

void LatchLamps::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QPalette& pal = palette();
    painter.setPen(pal.color(QPalette::PlaceholderText));
    for (const LampGroup& group : kLampGroups) {
        const QRect cells = LampCell(group.first).united(LampCell(group.first + group.count - 1));
        const QRect span(cells.left() + 3, 0, cells.width() - 6, metrics.height());
        painter.drawText(span, Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(group.caption));
        painter.drawLine(span.left(), span.bottom() + 2, span.right(), span.bottom() + 2);
    }
    for (int lamp = 0; lamp < kLamps; ++lamp) {
        const QRect rect = LampRect(lamp);
        painter.setPen(Pulsed(lamp) ? QPen(kPulseRing, 3) : QPen(pal.color(QPalette::Mid), 1));
        painter.setBrush(Lit(lamp) ? kLampOn : kLampOff);
        painter.drawEllipse(rect);
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(LampCell(lamp), Qt::AlignHCenter | Qt::AlignBottom, LampName(lamp));
    }
}

}  // namespace ui
