// The hex editor's checksums; see checksums_panel.h.
#include "ui/programmer/checksums_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "eeprom/checksums.h"
#include "ui/programmer/hex_editor.h"

namespace ui {

namespace {

// A pause after the last change: long enough to pass over a burst of typing
// or a drag, short enough to read as immediate.
constexpr int kSettleMs = 150;

QLineEdit* ValueField(const QString& accessibleName, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setAccessibleName(accessibleName);
    return field;
}

}  // namespace

ChecksumsPanel::ChecksumsPanel(HexEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setAccessibleName(QStringLiteral("Checksums"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const char* headings[] = {"CRC-32", "Sum", "SHA-256"};
    for (int column = 0; column < 3; ++column)
        grid->addWidget(new QLabel(QString::fromLatin1(headings[column]), this), 0, column + 1);
    buffer_ = MakeRow(QStringLiteral("Buffer"), 1);
    selection_ = MakeRow(QStringLiteral("Selection"), 2);
    grid->setColumnStretch(3, 1);

    timer_.setSingleShot(true);
    timer_.setInterval(kSettleMs);
    connect(&timer_, &QTimer::timeout, this, &ChecksumsPanel::Refresh);
    connect(editor_, &HexEditor::DataEdited, this, [this] {
        bufferStale_ = true;
        selectionStale_ = selectionStale_ || editor_->SelectionLength() > 0;
        Schedule();
    });
    connect(editor_, &HexEditor::SelectionChanged, this, [this] {
        selectionStale_ = true;
        Schedule();
    });
}

ChecksumsPanel::Row ChecksumsPanel::MakeRow(const QString& name, int line) {
    auto* grid = static_cast<QGridLayout*>(layout());
    Row row;
    row.title = new QLabel(name, this);
    row.crc = ValueField(name + QStringLiteral(" CRC-32"), this);
    row.sum = ValueField(name + QStringLiteral(" sum"), this);
    row.sha = ValueField(name + QStringLiteral(" SHA-256"), this);
    const QFontMetrics metrics(row.crc->font());
    row.crc->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000000000")));
    row.sum->setMaximumWidth(metrics.horizontalAdvance(QStringLiteral("00000")));
    row.sha->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0")) * 40);
    grid->addWidget(row.title, line, 0);
    grid->addWidget(row.crc, line, 1);
    grid->addWidget(row.sum, line, 2);
    grid->addWidget(row.sha, line, 3);
    return row;
}

void ChecksumsPanel::Schedule() {
    if (isVisible()) timer_.start();
}

void ChecksumsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (bufferStale_ || selectionStale_) timer_.start(0);
}

void ChecksumsPanel::Fill(Row& row, const QString& title, const std::uint8_t* data, qint64 size) {
    row.title->setText(title);
    if (!data) {
        for (QLineEdit* field : {row.crc, row.sum, row.sha}) field->clear();
        return;
    }
    const eeprom::Checksums sums = eeprom::ComputeChecksums(data, static_cast<int>(size));
    ++computations_;
    row.crc->setText(QString::fromStdString(eeprom::Crc32Text(sums.crc32)));
    row.sum->setText(QString::fromStdString(eeprom::Sum8Text(sums.sum8)));
    row.sha->setText(QString::fromStdString(sums.sha256));
    for (QLineEdit* field : {row.crc, row.sum, row.sha}) field->setCursorPosition(0);
}

void ChecksumsPanel::Refresh() {
    timer_.stop();
    const auto& data = editor_->Data();
    if (bufferStale_) {
        Fill(buffer_, QStringLiteral("Buffer (%1 bytes)").arg(data.size()), data.data(),
             static_cast<qint64>(data.size()));
        bufferStale_ = false;
    }
    if (selectionStale_) {
        const qint64 length = editor_->SelectionLength();
        if (length > 0) {
            Fill(selection_, QStringLiteral("Selection (%1 bytes)").arg(length),
                 data.data() + editor_->SelectionStart(), length);
        } else {
            Fill(selection_, QStringLiteral("Selection (none)"), nullptr, 0);
        }
        selectionStale_ = false;
    }
}

QString ChecksumsPanel::Text() const {
    QString text;
    for (const Row* row : {&buffer_, &selection_}) {
        text += row->title->text() + QLatin1Char('\n');
        for (const QLineEdit* field : {row->crc, row->sha, row->sum})
            if (!field->text().isEmpty())
                text += field->accessibleName() + QStringLiteral(": ") + field->text() + QLatin1Char('\n');
    }
    return text;
}

}  // namespace ui
