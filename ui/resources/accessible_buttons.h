// Check boxes and radio buttons as assistive technology drives them. Qt's own
// accessible button flips the state on a "Toggle" action without a click, so
// the handlers the dialogs bind to clicked() never run: a screen-reader user
// would see Output1 checked and no latch written. The interface installed
// here turns "Toggle" (and "Press") into a click, so such a change has
// exactly the effect of a mouse click.
#pragma once

namespace ui::resources {

// Installs the accessible interface for QCheckBox and QRadioButton (and
// their subclasses). Idempotent; needs the QApplication.
void InstallAccessibleButtons();

}  // namespace ui::resources
