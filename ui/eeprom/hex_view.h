// The hex view: list 1011 of the main window, one 256-byte page as a 16 x 16
// grid (item layout in hex_layout.h). Marked bytes are drawn on their
// highlight colours in the very rectangles of their items, on every paint.
#pragma once

#include <QColor>

#include <cstdint>
#include <functional>

#include "eeprom/hex_text.h"
#include "ui/resources/controls.h"

namespace ui {

// "%02X" of the low 8 bits of value: the form of every byte the tool shows.
QString HexByteText(int value);
using eeprom::HexTextValue;

class HexView : public resources::ListBox {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    // Item text of a byte: two upper-case digits and a blank.
    static QString ItemText(std::uint8_t value);

    // Empties the list and adds the 256 items of one page (256 bytes at
    // `page`) in item order, each with its in-page offset as item data.
    void ShowPage(const std::uint8_t* page);
    // Item data (in-page offset) of an item; -1 when there is no such item.
    int ItemOffset(int item) const;
    // The item whose data is `offset`; -1 when none.
    int FindOffset(int offset) const;
    // Replaces an item's text, keeping its data and the selection.
    void SetItemText(int item, const QString& text);

    // Runs before each paint (the compare marking).
    void SetBeforePaint(std::function<void()> hook) { beforePaint_ = std::move(hook); }
    // Highlight colour of the byte at an in-page offset; an invalid colour
    // leaves the byte as the list draws it.
    void SetMarkColour(std::function<QColor(int offset)> colour) { markColour_ = std::move(colour); }
    QColor MarkColourAt(int offset) const { return markColour_ ? markColour_(offset) : QColor(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<void()> beforePaint_;
    std::function<QColor(int)> markColour_;
};

}  // namespace ui
