// The chip programmer window's edits of the buffer as a whole: paste over it
// at the cursor and fill the selection with a pattern, each one undo step.
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QMimeData>

#include "ui/programmer/buffer_edits.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

namespace {

QString Count(qint64 count) {
    return QStringLiteral("%1 byte%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}

}  // namespace

bool ProgrammerWindow::PasteText(const QString& text) {
    std::vector<std::uint8_t> bytes;
    QString error;
    if (!HexTextBytes(text, bytes, error)) {
        Say(error + QStringLiteral("; nothing was pasted"), true);
        return false;
    }
    if (jobRunning_ || part_ == nullptr) return false;
    std::vector<std::uint8_t> data = editor_->Data();
    const qint64 at = editor_->CursorOffset();
    const qint64 count = Overwrite(data, at, bytes);
    editor_->ReplaceData(data, QStringLiteral("Paste"));
    Say(count < static_cast<qint64>(bytes.size())
            ? QStringLiteral("Pasted %1 of %2 at %3: the rest would run past the end")
                  .arg(QString::number(count), Count(static_cast<qint64>(bytes.size())), HexNumber(at))
            : QStringLiteral("Pasted %1 at %2").arg(Count(count), HexNumber(at)));
    return true;
}

void ProgrammerWindow::PasteClipboard() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (mime == nullptr) return;
    // Bytes another program put there as bytes go in as they are; text is read as hex.
    const QByteArray raw = mime->data(QStringLiteral("application/octet-stream"));
    if (!raw.isEmpty()) {
        QString hex;
        for (const char byte : raw)
            hex += QString::number(static_cast<std::uint8_t>(byte), 16).rightJustified(2, QLatin1Char('0'));
        PasteText(hex);
        return;
    }
    PasteText(mime->text());
}

bool ProgrammerWindow::FillSelection(const QString& pattern) {
    if (jobRunning_ || part_ == nullptr) return false;
    const qint64 length = editor_->SelectionLength();
    if (length <= 0) {
        Say(QStringLiteral("Select the bytes to fill first"), true);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    QString error;
    if (!HexTextBytes(pattern, bytes, error)) {
        Say(error + QStringLiteral("; nothing was filled"), true);
        return false;
    }
    std::vector<std::uint8_t> data = editor_->Data();
    const qint64 start = editor_->SelectionStart();
    FillWith(data, start, length, bytes);
    editor_->ReplaceData(data, QStringLiteral("Fill"));
    Say(QStringLiteral("Filled %1 from %2 with %3")
            .arg(Count(length), HexNumber(start), pattern.trimmed().toUpper()));
    return true;
}

void ProgrammerWindow::AskFill() {
    bool ok = false;
    const QString pattern =
        QInputDialog::getText(this, QStringLiteral("Fill the selection"),
                              QStringLiteral("Value or pattern, as hex bytes (FF, or DE AD BE EF repeated):"),
                              QLineEdit::Normal, QStringLiteral("FF"), &ok);
    if (ok) FillSelection(pattern);
}

}  // namespace ui
