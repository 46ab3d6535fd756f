// The chip list and the read, write and fill handlers, I2C pages and whole
// serial chips. (Bodies come with the chip table.)
#include "app/app_state.h"
#include "app/main_dialog.h"

void ResetChipState() {}

void MainDialog::OnChipSelChange() {}

void MainDialog::OnReadEeprom() {}

void MainDialog::OnWriteEeprom() {}

void MainDialog::OnFillZero() {}

void MainDialog::ReadSerialEeprom() {}

void MainDialog::WriteSerialEeprom() {}
