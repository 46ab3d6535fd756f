// CRC-32, SHA-256 and the 8-bit sum of the hex editor's whole buffer and of
// its selection, in read-only fields a technician can select and copy. The
// sums follow the editor a moment after its bytes or its selection change,
// and only while the panel is shown, so typing and dragging a selection
// across 256 KiB never wait for a hash.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>

class QLabel;
class QLineEdit;

namespace ui {

class HexEditor;

class ChecksumsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ChecksumsPanel(HexEditor* editor, QWidget* parent = nullptr);

    // Recomputes now whatever is out of date (the timer's work).
    void Refresh();
    // Every field as "Buffer CRC-32: 1A2B3C4D" lines, for a report.
    QString Text() const;
    // How many times a range was summed (for the benchmark and the tests).
    int Computations() const { return computations_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        QLabel* title = nullptr;
        QLineEdit* crc = nullptr;
        QLineEdit* sum = nullptr;
        QLineEdit* sha = nullptr;
    };
    Row MakeRow(const QString& name, int line);
    void Fill(Row& row, const QString& title, const std::uint8_t* data, qint64 size);
    void Schedule();

    HexEditor* editor_;
    Row buffer_;
    Row selection_;
    QTimer timer_;
    bool bufferStale_ = true;
    bool selectionStale_ = true;
    int computations_ = 0;
};

}  // namespace ui
