// Icon 128, drawn with QPainter: a DIL chip on a parallel-port plug face, in
// the colours of the hex view's marks. And the string table.
#include "ui/resources/icons.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace resources {
namespace {

void DrawAppIcon(QPainter& p, int size) {
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.setRenderHint(QPainter::Antialiasing);

    // Plug shell: the trapezoid face of a D-sub connector.
    QPainterPath shell;
    shell.moveTo(1, 4);
    shell.lineTo(31, 4);
    shell.lineTo(28, 28);
    shell.lineTo(4, 28);
    shell.closeSubpath();
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
    p.setBrush(QColor(0xB8, 0xC4, 0xCC));
    p.drawPath(shell);

    // Chip body with pins on both long sides.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC8, 0xC8, 0xC8));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(9 + i * 4.2, 7.5, 2, 3));
        p.drawRect(QRectF(9 + i * 4.2, 21.5, 2, 3));
    }
    p.setBrush(QColor(0x22, 0x22, 0x22));
    p.drawRoundedRect(QRectF(7, 10, 18, 12), 1.5, 1.5);
    // Pin-1 notch and three "marked bytes".
    p.setBrush(QColor(0x88, 0x88, 0x88));
    p.drawEllipse(QPointF(9.5, 12.5), 1.1, 1.1);
    const QColor marks[] = {QColor(0x00, 0xFF, 0x00), QColor(0xFF, 0xFF, 0x00), QColor(0xFF, 0x00, 0x00)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(marks[i]);
        p.drawRect(QRectF(12 + i * 4, 16, 3, 3));
    }
}

}  // namespace

QPixmap IconPixmap(int id, int size) {
    if (id != kIconApp || size <= 0) return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    DrawAppIcon(painter, size);
    return pixmap;
}

QIcon LoadIcon(int id) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        const QPixmap pixmap = IconPixmap(id, size);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    return icon;
}

QString LoadString(int id) {
    switch (id) {
        case kStringAboutEntry:
            return QStringLiteral("&About Orvex...");
        default:
            return {};
    }
}

}  // namespace resources

}  // namespace ui
