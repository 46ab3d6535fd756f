// The main window's side of the two panels (panels_controller.h) and the
// reset of the open-panel pointers.
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/panels/dac_panel_dialog.h"
#include "ui/panels/ext_sliders_dialog.h"
#include "ui/panels/panel_placement.h"

namespace ui {

namespace {

void PlaceBeside(QWidget& panel, const QWidget& owner) {
    const QScreen* screen = owner.screen() ? owner.screen() : QGuiApplication::primaryScreen();
    panel.move(PanelPositionBeside(owner.frameGeometry(), panel.frameGeometry().size(),
                                   screen ? screen->availableGeometry() : QRect()));
}

}  // namespace

void ResetAppState() {
    delete g_extPanel;
    delete g_dacPanel;
    g_extPanel = nullptr;
    g_dacPanel = nullptr;
}

PanelsController::PanelsController(MainDialog& window, eeprom::Session& session)
    : window_(window), session_(session) {}

void PanelsController::OnExtended() {
    QPushButton* button = window_.Button(ids::kExtended);
    hardware::PortAdapter* parallel = session_.Parallel();
    if (!parallel) return;  // the window disables "Extended" on another adapter
    if (g_extPanel == nullptr) {
        // The panel starts up on the main adapter's base and latch as they
        // are at this moment.
        g_extPanel = new ExtSlidersDialog(&window_, *parallel);
        PlaceBeside(*g_extPanel, window_);
        g_extPanel->show();
        button->setText(QStringLiteral("Close Ext."));
    } else {
        delete g_extPanel;
        g_extPanel = nullptr;
        button->setText(QStringLiteral("Extended"));
    }
}

}  // namespace ui
