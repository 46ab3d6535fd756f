// The bench window's font and hex texts.
#include "ui/bench/bench_look.h"

#include <QFontDatabase>

namespace ui {

QFont FixedFont() { return QFontDatabase::systemFont(QFontDatabase::FixedFont); }

const std::array<QString, 256>& ByteTexts() {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = Hex(i, 2);
        return t;
    }();
    return texts;
}

QString Hex(int value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace ui
