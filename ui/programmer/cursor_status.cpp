// The status bar's sentence about the cursor and the selection.
#include "ui/programmer/cursor_status.h"

#include <algorithm>

namespace ui {

QString CursorStatusText(const std::vector<std::uint8_t>& data, qint64 cursor, qint64 selectionStart,
                         qint64 selectionLength) {
    const auto size = static_cast<qint64>(data.size());
    if (size == 0) return {};
    const int digits = std::max(4, static_cast<int>(QString::number(size - 1, 16).size()));
    const auto offset = [digits](qint64 value) {
        return QStringLiteral("0x") +
               QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
    };
    cursor = std::clamp<qint64>(cursor, 0, size - 1);
    const int byte = data[static_cast<std::size_t>(cursor)];
    // Printable ASCII as itself; anything else has no character to show.
    const QString character =
        byte >= 0x20 && byte < 0x7F ? QStringLiteral("'%1'").arg(QChar(byte)) : QStringLiteral("none");
    QString text = QStringLiteral("Offset %1 (%2)   Byte %3 hex, %4 dec, %5 bin, char %6")
                       .arg(offset(cursor))
                       .arg(cursor)
                       .arg(QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')))
                       .arg(byte)
                       .arg(QString::number(byte, 2).rightJustified(8, QLatin1Char('0')))
                       .arg(character);
    if (selectionLength > 0) {
        const qint64 last = std::min(selectionStart + selectionLength, size) - 1;
        text += QStringLiteral("   Selection %1..%2, %3 byte%4")
                    .arg(offset(selectionStart), offset(last))
                    .arg(selectionLength)
                    .arg(selectionLength == 1 ? QString() : QStringLiteral("s"));
    } else {
        text += QStringLiteral("   No selection");
    }
    return text;
}

}  // namespace ui
