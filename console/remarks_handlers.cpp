// The remarks base: notes per register, chosen into the console, saved and
// loaded. (Bodies come with the remarks base.)
#include "app/app_state.h"
#include "app/main_dialog.h"

void ResetConsoleState() {}

void MainDialog::OnAddRemark() {}

void MainDialog::OnRemarkChosen() {}

void MainDialog::OnSaveBase() {}

void MainDialog::OnLoadBase() {}

void MainDialog::OnRemarkFocus() {}

void MainDialog::CopyConsoleToSlot() {}
