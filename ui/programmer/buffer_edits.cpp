// Pasted bytes and fill patterns for the programmer's buffer.
#include "ui/programmer/buffer_edits.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace ui {

bool HexTextBytes(const QString& text, std::vector<std::uint8_t>& bytes, QString& error) {
    bytes.clear();
    QString digits;
    const QStringList words = text.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
    for (QString word : words) {
        if (word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) word = word.mid(2);
        for (const QChar c : word) {
            if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))) {
                error = QStringLiteral("\"%1\" is not hex bytes").arg(text.left(40));
                return false;
            }
        }
        if (word.size() % 2 != 0) {
            error = QStringLiteral("\"%1\" has a hex digit left over (bytes take two)").arg(word);
            return false;
        }
        digits += word;
    }
    if (digits.isEmpty()) {
        error = QStringLiteral("There are no hex bytes to paste");
        return false;
    }
    for (qsizetype k = 0; k < digits.size(); k += 2)
        bytes.push_back(static_cast<std::uint8_t>(digits.mid(k, 2).toUInt(nullptr, 16)));
    return true;
}

qint64 Overwrite(std::vector<std::uint8_t>& data, qint64 at, const std::vector<std::uint8_t>& bytes) {
    const auto size = static_cast<qint64>(data.size());
    if (at < 0 || at >= size) return 0;
    const qint64 count = std::min<qint64>(static_cast<qint64>(bytes.size()), size - at);
    std::copy_n(bytes.begin(), count, data.begin() + at);
    return count;
}

void FillWith(std::vector<std::uint8_t>& data, qint64 start, qint64 length,
              const std::vector<std::uint8_t>& pattern) {
    if (pattern.empty() || start < 0) return;
    const qint64 end = std::min(start + length, static_cast<qint64>(data.size()));
    for (qint64 k = start; k < end; ++k)
        data[static_cast<std::size_t>(k)] = pattern[static_cast<std::size_t>((k - start) % pattern.size())];
}

}  // namespace ui
