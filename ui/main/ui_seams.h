// The message-box and file-dialog seam. Handlers report through ShowMessage
// and ask for paths through AskOpenPath/AskSavePath; the defaults are Qt's
// message box and file dialogs, and tests install recorders so that no test
// waits on a modal box.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace ui {

// A message box with the text and an OK button.
void ShowMessage(const QString& text);
// An error box: caption "Error", the error icon, an OK button and no owner
// window, so it shows whatever window is (or is not) active. The adapter's
// counter check speaks through it.
void ShowError(const QString& text);
// A warning with an OK button drawn inside `window` (a child of it, centred
// over its controls), never a window of its own, until OK or Escape.
QMessageBox* ShowNoticeInside(QWidget& window, const QString& text);
// The box ShowError shows, not yet shown.
std::unique_ptr<QMessageBox> MakeErrorBox(const QString& text);
// An open-file dialog preset with initialName (such as "*.bin"); empty when
// cancelled.
QString AskOpenPath(const QString& initialName);
// A question with Yes and No buttons (No the default); true for Yes.
bool AskYesNo(const QString& question);
// A save-file dialog preset with initialName; it asks before overwriting an
// existing file. Empty when cancelled.
QString AskSavePath(const QString& initialName);
// A save-file dialog offering `filters` (";;" between them, as Qt writes
// them), preset to `suggestedName`; `chosenFilter` gets the filter picked.
// The askSavePath seam stands in for it, given the suggested name.
QString AskSavePathWithFilters(const QString& suggestedName, const QString& filters, QString* chosenFilter);

struct UiSeams {
    std::function<void(const QString& text)> showMessage;
    std::function<QString(const QString& initialName)> askOpenPath;
    std::function<QString(const QString& initialName)> askSavePath;
    // ShowError; when empty, an installed showMessage takes its texts too.
    std::function<void(const QString& text)> showError{};
    // AskYesNo; when empty, an installed showMessage takes the question and
    // the answer is No, the one that loses nothing.
    std::function<bool(const QString& question)> askYesNo{};
};
// Installs replacements (an empty function keeps the default for that call);
// returns the previous set.
UiSeams InstallUiSeams(UiSeams seams);

}  // namespace ui
