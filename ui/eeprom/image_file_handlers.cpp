// "Load eeprom" and "Save eeprom": the image as a raw, Intel HEX or S-record
// file, chosen in the file dialog (told by content on load, by extension on
// save, raw .bin staying the default). A failure is one sentence in a message box and changes
// nothing: the image is read whole before it changes, and a save replaces the
// old file only once every byte is out.
#include "eeprom/chip_table.h"
#include "eeprom/image_file.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"

namespace ui {

using namespace eeprom;

namespace {
constexpr const char* kImageFileName = "*.bin";
// Loads list every format the image reader knows, raw first.
constexpr const char* kImageFilesToLoad = "*.bin *.hex *.ihex *.srec *.s19 *.mot";
}  // namespace

void ChipController::OnLoadImage() {
    const QString path = AskOpenPath(QString::fromLatin1(kImageFilesToLoad));
    if (path.isEmpty()) return;
    const ImageStep step(*this, "Load eeprom");
    std::string error;
    if (!LoadImageFile(path, session_->image, error).ok) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    UpdateData(true);
    m_page = 0;
    UpdateData(false);
    RefreshHexView();
}

void ChipController::OnSaveImage() {
    const QString path = AskSavePath(QString::fromLatin1(kImageFileName));
    if (path.isEmpty()) return;
    std::string error;
    if (!SaveImageFile(path, session_->image, ImageFileSize(session_->chip), error))
        ShowMessage(QString::fromStdString(error));
}

}  // namespace ui
