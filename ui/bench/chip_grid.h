// A chip's bytes on the bench window: a hex grid, 16 bytes a row after the
// row's label, where each byte that changed flashes for a while. What the grid
// shows and when each byte last changed are kept apart from the painting, so
// a refresh repaints only the rows that need it and the tests can ask what a
// grid shows without looking at pixels.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPainter;

namespace ui {

// The bytes a grid shows and, for each, the refresh tick it last changed at.
// Update() answers which rows need a repaint: rows with a new byte, and rows
// whose flash has just run out.
class ByteGridState {
public:
    static constexpr int kColumns = 16;

    // Copies `size` bytes; returns true when anything must be repainted, with
    // the rows in `dirtyRows`. A new size replaces the contents without a
    // flash (another chip went into the socket) and marks every row dirty.
    bool Update(const std::uint8_t* data, std::size_t size, std::uint32_t tick, std::vector<int>& dirtyRows);

    std::size_t Size() const { return bytes_.size(); }
    int Rows() const { return static_cast<int>((bytes_.size() + kColumns - 1) / kColumns); }
    std::uint8_t Byte(std::size_t index) const { return bytes_[index]; }
    bool Flashing(std::size_t index) const;
    bool AnyFlashing() const { return !flashingRows_.empty(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> changedAt_;  // tick + 1 of the last change; 0: never
    std::vector<int> flashingRows_;
    std::vector<std::uint32_t> rowChangedAt_;
    std::uint32_t tick_ = 0;
};

// One hex grid: 16 bytes a row after the row's label; changed bytes flash.
class HexGrid : public QWidget {
    Q_OBJECT
public:
    // One label per row (the row's first address), built once.
    HexGrid(std::vector<QString> rowLabels, QWidget* parent = nullptr);

    // Takes the bytes and repaints the rows that changed. Returns whether any
    // byte is flashing.
    bool Show(const std::uint8_t* data, std::size_t size, std::uint32_t tick);
    void SetRowLabels(std::vector<QString> rowLabels);
    // Draws a rule above every row that is a multiple of `rows` (the blocks of
    // the 24C16); 0: none.
    void SetBlockRows(int rows) { blockRows_ = rows; }
    const ByteGridState& State() const { return state_; }
    QRect RowRect(int row) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintRows(QPainter& painter, const QRect& area);

    ByteGridState state_;
    std::vector<QString> rowLabels_;
    std::vector<int> dirtyRows_;
    int blockRows_ = 0;
    int labelWidth_ = 0;
    int cellWidth_ = 0;
    int rowHeight_ = 0;
    int ascent_ = 0;
};

}  // namespace ui
