// The chip list and the read, write and fill handlers, I2C pages and whole
// serial chips. (Bodies come with the chip table.)
#include "app/main_dialog.h"

void MainDialog::OnChipSelChange() {}

void MainDialog::OnReadEeprom() {}

void MainDialog::OnWriteEeprom() {}

void MainDialog::OnFillZero() {}

void MainDialog::ReadSerialEeprom() {}

void MainDialog::WriteSerialEeprom() {}
