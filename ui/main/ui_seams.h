// The message-box and file-dialog seam. Handlers report through ShowMessage
// and ask for paths through AskOpenPath/AskSavePath; the defaults are Qt's
// message box and file dialogs, and tests install recorders so that no test
// waits on a modal box.
#pragma once

#include <QString>

#include <functional>

namespace ui {

// A message box with the text and an OK button.
void ShowMessage(const QString& text);
// An open-file dialog preset with initialName (such as "*.bin"); empty when
// cancelled.
QString AskOpenPath(const QString& initialName);
// A save-file dialog preset with initialName; it asks before overwriting an
// existing file. Empty when cancelled.
QString AskSavePath(const QString& initialName);

struct UiSeams {
    std::function<void(const QString& text)> showMessage;
    std::function<QString(const QString& initialName)> askOpenPath;
    std::function<QString(const QString& initialName)> askSavePath;
};
// Installs replacements (an empty function keeps the default for that call);
// returns the previous set.
UiSeams InstallUiSeams(UiSeams seams);

}  // namespace ui
