// The bus monitor: start and stop, the 5 ms capture pass, the address filter.
// (Bodies come with the monitor.)
#include "app/main_dialog.h"

void MainDialog::OnMonitorToggle() {}

void MainDialog::OnPollTimer() {}

void MainDialog::OnFilterKillFocus() {}
