// "Load eeprom" and "Save eeprom": the image as a raw file. (Bodies come with
// the image files.)
#include "app/main_dialog.h"

void MainDialog::OnLoadImage() {}

void MainDialog::OnSaveImage() {}
