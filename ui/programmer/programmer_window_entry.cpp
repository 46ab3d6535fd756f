// The main window's way to the chip programmer: an entry in its context menu
// and the window opened over the main window (at start with --programmer).
#include <QAction>
#include <QTimer>

#include "ui/main/main_dialog.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

void MainDialog::AddProgrammerWindowEntry() {
    programmerWindowAction_ = new QAction(QStringLiteral("Chip &programmer"), this);
    addAction(programmerWindowAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(programmerWindowAction_, &QAction::triggered, this, &MainDialog::ShowProgrammerWindow);
}

void MainDialog::ShowProgrammerWindow() {
    if (!isVisible()) {
        // At start-up the main window is not on screen yet: open over it once it is.
        QTimer::singleShot(0, this, &MainDialog::ShowProgrammerWindow);
        return;
    }
    if (!programmerWindow_) programmerWindow_ = new ProgrammerWindow(session(), this);
    programmerWindow_->show();
    programmerWindow_->raise();
    programmerWindow_->activateWindow();
}

}  // namespace ui
