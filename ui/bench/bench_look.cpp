// The bench window's font, hex texts and box pieces.
#include "ui/bench/bench_look.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QPushButton>

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

QString Sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    if (!s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
    return s;
}

QGroupBox* Box(const QString& title, QLayout* layout) {
    auto* box = new QGroupBox(title);
    box->setLayout(layout);
    return box;
}

QPushButton* ActionButton(const QString& caption, const QString& name, QWidget* receiver,
                          const std::function<void()>& action) {
    auto* button = new QPushButton(caption);
    button->setAccessibleName(name);
    QObject::connect(button, &QPushButton::clicked, receiver, action);
    return button;
}

}  // namespace ui
