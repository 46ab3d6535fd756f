// The main window's side of the two panels: the "Extended" button, the
// panel state the main window reads, and the reset of that state.
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "app/app_state.h"
#include "app/main_dialog.h"
#include "app/panel_hooks.h"
#include "panels/dac_panel_dialog.h"
#include "panels/ext_sliders_dialog.h"
#include "panels/panel_placement.h"

std::uint8_t g_extPanelOpen = 0;
std::uint8_t g_dacPanelOpen = 0;

namespace {

void PlaceBeside(QWidget& panel, const QWidget& owner) {
    const QScreen* screen = owner.screen() ? owner.screen() : QGuiApplication::primaryScreen();
    panel.move(PanelPositionBeside(owner.frameGeometry(), panel.frameGeometry().size(),
                                   screen ? screen->availableGeometry() : QRect()));
}

}  // namespace

void SetExtPanelLatch(std::uint8_t latch) {
    if (g_extPanel) g_extPanel->m_latch = latch;
}

std::uint8_t DacPanelChannelValue() { return g_dacPanel ? g_dacPanel->CurrentChannelValue() : 0; }

void ResetPanelState() {
    delete g_extPanel;
    delete g_dacPanel;
    g_extPanel = nullptr;
    g_dacPanel = nullptr;
    g_extPanelOpen = 0;
    g_dacPanelOpen = 0;
    // A fresh panel adapter, as at program load, on the counter in force now
    // (as ResetAppState does for g_adapter).
    g_extAdapter = hardware::PortAdapter();
}

void MainDialog::OnExtended() {
    QPushButton* button = Button(ids::kExtended);
    if (g_extPanelOpen == 0 || g_extPanel == nullptr) {
        // The panel starts up on the main adapter's base and latch as they
        // are at this moment.
        g_extPanel = new ExtSlidersDialog(this, g_adapter.GetBase(), g_adapter.Latch());
        PlaceBeside(*g_extPanel, *this);
        g_extPanel->show();
        button->setText(QStringLiteral("Close Ext."));
        g_extPanelOpen = 1;
    } else {
        delete g_extPanel;
        g_extPanel = nullptr;
        button->setText(QStringLiteral("Extended"));
        g_extPanelOpen = 0;
    }
}
