// Fitting windows and their remembered geometry to the screen.
#include "ui/main/window_fit.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

// What the window manager adds around a window that has not been shown yet
// (its frame is unknown until then): a title bar and thin borders.
constexpr QSize kFrameAllowance{16, 40};

QSize FrameExtra(const QWidget& window) {
    if (!window.isVisible()) return kFrameAllowance;
    const QSize extra = window.frameGeometry().size() - window.geometry().size();
    return extra.isValid() ? extra : kFrameAllowance;
}

QRect AvailableFor(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

QRect FitInside(const QRect& frame, const QSize& minimum, const QRect& available) {
    if (!available.isValid()) return frame;
    QSize size = frame.size().boundedTo(available.size()).expandedTo(minimum);
    QRect fitted(frame.topLeft(), size);
    if (fitted.right() > available.right()) fitted.moveRight(available.right());
    if (fitted.bottom() > available.bottom()) fitted.moveBottom(available.bottom());
    if (fitted.left() < available.left()) fitted.moveLeft(available.left());
    if (fitted.top() < available.top()) fitted.moveTop(available.top());
    return fitted;
}

void FitWindowToScreen(QWidget& window) {
    const QRect available = AvailableFor(window);
    if (!available.isValid()) return;
    const QSize extra = FrameExtra(window);
    const QRect frame(window.pos(), window.size() + extra);
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize()) + extra;
    const QRect fitted = FitInside(frame, minimum, available);
    if (fitted.size() != frame.size()) window.resize(fitted.size() - extra);
    if (fitted.topLeft() != frame.topLeft()) window.move(fitted.topLeft());
}

bool RestoreWindowGeometry(QWidget& window, const QByteArray& saved, const QSize& preferred) {
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    const bool taken = !saved.isEmpty() && window.restoreGeometry(saved) &&
                       window.width() >= minimum.width() && window.height() >= minimum.height();
    if (!taken) {
        const QRect available = AvailableFor(window);
        window.resize(preferred);
        if (available.isValid()) {
            const QSize frame = preferred.boundedTo(available.size() - FrameExtra(window));
            window.resize(frame);
            window.move(available.center() - QRect(QPoint(), frame + FrameExtra(window)).center());
        }
    }
    FitWindowToScreen(window);
    return taken;
}

bool RestoreSplitterState(QSplitter& splitter, const QByteArray& state, int longest) {
    // The layout QSplitter::saveState writes: a marker, a version, then the
    // panes' sizes as a counted list. The count is checked before anything
    // is read by it, so a damaged count allocates nothing.
    constexpr qint32 kSplitterMarker = 0xff;
    QDataStream in(state);
    in.setVersion(QDataStream::Qt_5_0);
    qint32 marker = 0;
    qint32 version = 0;
    quint32 count = 0;
    in >> marker >> version >> count;
    if (in.status() != QDataStream::Ok || marker != kSplitterMarker || version < 0 ||
        count != static_cast<quint32>(splitter.count()))
        return false;
    for (quint32 k = 0; k < count; ++k) {
        qint32 size = -1;
        in >> size;
        if (in.status() != QDataStream::Ok || size < 0 || size > longest) return false;
    }
    return splitter.restoreState(state);
}

}  // namespace ui
