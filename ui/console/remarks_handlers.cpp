// The remarks base in the main window: "Add remarks", choosing a line into
// the send console, "Save Base" and "Load Base", the remark-key search the hex
// view and the console share, and the exchange with the extended sliders
// panel's selected slot. The line rules and the files are console/remarks_logic.h;
// m_remarkLines holds the bytes and m_remarks shows them, entry for entry.
#include "ui/console/console_controller.h"
#include "ui/main/app_state.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"
#include "ui/panels/ext_panel_link.h"
#include "ui/panels/ext_sliders_dialog.h"

namespace ui {

using namespace console;

namespace {

const QString kBaseFileName = QStringLiteral("*.baz");

// The console's texts come from upper-case hexadecimal edits, the note from
// the user: new text is kept as UTF-8.
std::string Bytes(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

void ConsoleController::SelectRemarkEntries(const QString& address, const QString& subAddress) {
    // The key is ASCII, so an entry's first five characters on screen match
    // it exactly when the first five bytes of its line do: the search reads
    // what the combo shows, with the base's own key rule (a short key
    // matches nothing). Every match is selected in turn; the last one stays.
    const std::string key = RemarkKey(Bytes(address), Bytes(subAddress));
    for (int i = m_remarks->count() - 1; i >= 0; --i) {
        const QString head = m_remarks->itemText(i).left(static_cast<qsizetype>(kRemarkKeyLength));
        if (RemarkKeyMatches(Bytes(head), key)) {
            m_remarks->setCurrentIndex(i);
            return;
        }
    }
}

void ConsoleController::OnAddRemark() {
    window_.UpdateData(true);
    if (window_.m_remarkText.isEmpty()) return;
    lastRemark_ = Bytes(window_.m_remarkText);
    if (g_extPanel != nullptr) CopyConsoleToSlot();

    const RemarkEdit edit =
        AddRemark(m_remarkLines, Bytes(window_.m_sendAddress), Bytes(window_.m_sendSubAddress),
                  Bytes(window_.m_sendData), lastRemark_);
    if (edit.placed < 0) return;
    if (edit.removed >= 0) m_remarks->removeItem(edit.removed);
    m_remarks->insertItem(edit.placed, DisplayText(m_remarkLines.At(edit.placed)));
    window_.m_remarkText.clear();
    window_.UpdateData(false);
    m_remarks->setCurrentIndex(edit.placed);
}

void ConsoleController::OnRemarkChosen() {
    // Loading values must send nothing: the user checks "Online" again.
    m_online->setChecked(false);
    // Edits typed into but not yet read would otherwise be put back to their
    // old texts by the write-back below.
    window_.UpdateData(true);
    const int index = m_remarks->currentIndex();
    const std::optional<RemarkFields> fields =
        index >= 0 && index < m_remarkLines.Count() ? ChooseRemark(m_remarkLines.At(index)) : std::nullopt;
    if (fields) {
        lastRemark_ = fields->lastRemark;
        window_.m_sendAddress = QString::fromLatin1(fields->address);
        window_.m_remarkText.clear();
        window_.m_sendData = QString::fromLatin1(fields->data);
        window_.m_sendSubAddress = QString::fromLatin1(fields->subAddress);
        // Programmatic moves: neither control reports them, so nothing is sent.
        const int value = HexTextValue(window_.m_sendData);
        m_slider->setValue(value);
        m_spin->SetPos(value);
        window_.UpdateData(false);
        // Only a line that names a register has anything for the slot.
        if (g_extPanel != nullptr) CopyConsoleToSlot();
    }
}

void ConsoleController::OnSaveBase() {
    const QString path = AskSavePath(kBaseFileName);
    if (path.isEmpty()) return;
    std::string error;
    if (!SaveRemarksFile(path, m_remarkLines, error)) ShowMessage(QString::fromStdString(error));
}

void ConsoleController::OnLoadBase() {
    const QString path = AskOpenPath(kBaseFileName);
    if (path.isEmpty()) return;
    const int selected = m_remarks->currentIndex();
    const std::string selectedLine =
        selected >= 0 && selected < m_remarkLines.Count() ? m_remarkLines.At(selected) : std::string();
    std::string error;
    const RemarksLoadResult result = LoadRemarksFile(path, m_remarkLines, error);
    if (!result.ok) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    // A load can touch any index (sorted places, duplicates removed): show
    // the list afresh, with the line that was selected still selected.
    QStringList texts;
    texts.reserve(m_remarkLines.Count());
    int reselect = 0;
    for (int i = 0; i < m_remarkLines.Count(); ++i) {
        if (reselect == 0 && i > 0 && m_remarkLines.At(i) == selectedLine) reselect = i;
        texts << DisplayText(m_remarkLines.At(i));
    }
    m_remarks->clear();
    m_remarks->addItems(texts);
    m_remarks->setCurrentIndex(reselect);
    if (!result.warning.empty()) ShowMessage(QString::fromStdString(result.warning));
}

void ConsoleController::OnRemarkFocus() {
    QString address, subAddress, data;
    if (!ExtPanelSelectedSlot(address, subAddress, data)) return;
    window_.UpdateData(true);
    window_.m_sendAddress = address;
    window_.m_sendSubAddress = subAddress;
    window_.m_sendData = data;
    // The main slider and spin stay where they are.
    window_.UpdateData(false);
}

void ConsoleController::CopyConsoleToSlot() {
    if (!(g_extPanel != nullptr)) return;
    ExtPanelFillSelectedSlot(window_.m_sendAddress, window_.m_sendSubAddress, window_.m_sendData,
                             DisplayText(lastRemark_));
    window_.UpdateData(false);
}

}  // namespace ui
