// The send console: hand-made register writes from the address, sub-address
// and data fields, the slider and the spin. (Bodies come with the console.)
#include "app/main_dialog.h"

void MainDialog::OnSend() {}

void MainDialog::OnHScroll() {}

void MainDialog::OnSpinDelta(int, int) {}

void MainDialog::OnSliderReleased() {}

void MainDialog::OnAddressKillFocus() {}

void MainDialog::SendTransfer() {}
