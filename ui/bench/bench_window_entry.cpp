// The main window's way to the bench window: an entry in its context menu,
// there only when the program runs on the simulated bench, and the bench
// window's first placement beside or below the main window.
#include <QAction>
#include <QScreen>
#include <QTimer>

#include "ui/bench/bench_window.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/window_fit.h"
#include "ui/panels/panel_placement.h"

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
        benchWindow_->resize(benchWindow_->sizeHint());
        // Beside the main window, else below it, and never over its controls
        // (the right-hand column is what the technician reaches for next).
        const CompanionPlacement place = PlaceCompanion(frameGeometry(), benchWindow_->frameGeometry().size(),
                                                        screen()->availableGeometry());
        if (place.owner != frameGeometry().topLeft()) move(place.owner);
        benchWindow_->move(place.companion);
        // Where neither beside nor below has room, it is shrunk (it scrolls) and kept on the screen.
        FitWindowToScreen(*benchWindow_);
    }
    if (benchWindow_->isVisible()) {
        benchWindow_->raise();
        benchWindow_->activateWindow();
    }
    benchWindow_->show();
}

}  // namespace ui
