// "Checksums…": CRC-32, SHA-256 and the 8-bit sum of the page shown and of
// the whole image in force, in a read-only text a technician can select and
// copy into a ticket or compare with another tool's output.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QPlainTextEdit;

namespace ui {

// One range's sums as the lines the dialog shows, headed by `title`.
QString ChecksumLines(const QString& title, const std::uint8_t* data, int size);

class ChecksumsDialog : public QDialog {
    Q_OBJECT
public:
    ChecksumsDialog(const QString& text, QWidget* parent);
    QString Text() const;

private:
    QPlainTextEdit* text_;
};

}  // namespace ui
