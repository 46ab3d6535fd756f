// The main window's way to the bench window: an entry in its context menu,
// there only when the program runs on the simulated bench, and the bench
// window's first placement beside the main window.
#include <QAction>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "ui/bench/bench_window.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"

namespace ui {

using simulator::SimulatedBench;

void MainDialog::AddBenchWindowEntry() {
    if (!ActiveBench()) return;
    benchWindowAction_ = new QAction(QStringLiteral("&Bench window"), this);
    addAction(benchWindowAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(benchWindowAction_, &QAction::triggered, this, &MainDialog::ShowBenchWindow);
}

void MainDialog::ShowBenchWindow() {
    SimulatedBench* bench = ActiveBench();
    if (!bench) return;
    if (!isVisible()) {
        // At start-up the window is not on screen yet: place the bench window
        // beside it once it is.
        QTimer::singleShot(0, this, &MainDialog::ShowBenchWindow);
        return;
    }
    if (!benchWindow_) {
        benchWindow_ = new BenchWindow(*bench, this);
        benchWindow_->adjustSize();
        // Side by side when the screen is wide enough: the main window moves
        // left as far as it must, the bench window goes to its right.
        const QRect area = screen()->availableGeometry();
        const QSize size = benchWindow_->frameGeometry().size();
        QRect main = frameGeometry();
        const int room = area.right() - main.right() - 8;
        if (room < size.width()) {
            main.moveLeft(std::max(area.left(), main.left() - (size.width() - room)));
            move(main.topLeft());
        }
        const int x = std::max(area.left(), std::min(main.right() + 8, area.right() - size.width()));
        const int y = std::max(area.top(), std::min(main.top(), area.bottom() - size.height()));
        benchWindow_->move(x, y);
    }
    if (benchWindow_->isVisible()) {
        benchWindow_->raise();
        benchWindow_->activateWindow();
    }
    benchWindow_->show();
}

}  // namespace ui
