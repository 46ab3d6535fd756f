// The checksums window; see checksums_dialog.h.
#include "ui/eeprom/checksums_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "eeprom/checksums.h"

namespace ui {

QString ChecksumLines(const QString& title, const std::uint8_t* data, int size) {
    const eeprom::Checksums sums = eeprom::ComputeChecksums(data, size);
    return QStringLiteral("%1\n  CRC-32   %2\n  SHA-256  %3\n  Sum-8    %4\n")
        .arg(title, QString::fromStdString(eeprom::Crc32Text(sums.crc32)),
             QString::fromStdString(sums.sha256), QString::fromStdString(eeprom::Sum8Text(sums.sum8)));
}

ChecksumsDialog::ChecksumsDialog(const QString& text, QWidget* parent)
    : QDialog(parent), text_(new QPlainTextEdit(text, this)) {
    setWindowTitle(QStringLiteral("Checksums"));
    text_->setReadOnly(true);
    text_->setAccessibleName(QStringLiteral("Checksums"));
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Wide enough for a SHA-256 line without a scroll bar.
    const QFontMetrics metrics(text_->font());
    text_->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('0')) * 80, metrics.lineSpacing() * 12);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
}

QString ChecksumsDialog::Text() const { return text_->toPlainText(); }

}  // namespace ui
