// The hex view widget: item filling and the highlight drawing.
#include "ui/eeprom/hex_view.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>

#include "eeprom/hex_layout.h"
#include "eeprom/hex_text.h"

namespace ui {

using namespace eeprom;

namespace {

// Draws a marked byte on its highlight colour, in bold, where the list would
// draw its text; a selected marked byte keeps its colour and gets a frame in
// the selection colour, so that neither the mark nor the selection hides.
class HexItemDelegate : public QStyledItemDelegate {
public:
    explicit HexItemDelegate(HexView* view) : QStyledItemDelegate(view), view_(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QColor mark = view_->MarkColourAt(index.data(Qt::UserRole).toInt());
        if (!mark.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        const QRect textRect =
            style ? style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget) : opt.rect;
        painter->save();
        painter->fillRect(opt.rect, mark);
        if (opt.state & QStyle::State_Selected) {
            painter->setPen(opt.palette.color(QPalette::Highlight));
            painter->drawRect(opt.rect.adjusted(1, 1, -2, -2));
        }
        QFont bold = opt.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(Qt::black);
        painter->drawText(textRect, int(opt.displayAlignment) | Qt::TextSingleLine, opt.text);
        painter->restore();
    }

    // Every item fills exactly one cell of the grid, so that rows do not
    // overlap and a highlight covers its own cell only.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize grid = view_->gridSize();
        return grid.isValid() ? grid : QStyledItemDelegate::sizeHint(option, index);
    }

private:
    HexView* view_;
};

}  // namespace

HexView::HexView(QWidget* parent) : resources::ListBox(parent) {
    setItemDelegate(new HexItemDelegate(this));
    // A column is as wide as the two digits; the trailing blank of the item
    // text may be cut, the digits never turn into an ellipsis.
    setTextElideMode(Qt::ElideNone);
}

QString HexByteText(int value) { return QString::fromLatin1(eeprom::HexByte(value)); }

QString HexView::ItemText(std::uint8_t value) { return HexByteText(value) + QLatin1Char(' '); }

void HexView::ShowPage(const std::uint8_t* page) {
    setUpdatesEnabled(false);
    clear();
    for (int item = 0; item < kHexItems; ++item) {
        const int offset = HexItemOffset(item);
        auto* entry = new QListWidgetItem(ItemText(page[offset]));
        entry->setData(Qt::UserRole, offset);
        addItem(entry);
    }
    setUpdatesEnabled(true);
}

int HexView::ItemOffset(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(Qt::UserRole).toInt() & 0xFF : -1;
}

int HexView::FindOffset(int offset) const {
    for (int index = 0; index < count(); ++index) {
        if (ItemOffset(index) == offset) return index;
    }
    return -1;
}

void HexView::SetItemText(int index, const QString& text) {
    if (QListWidgetItem* entry = item(index)) entry->setText(text);
}

void HexView::resizeEvent(QResizeEvent* event) {
    resources::ListBox::resizeEvent(event);
    // The list starts a new column only when a further item would not fit
    // with room to spare: keep the sixteen rows strictly inside the viewport
    // whatever the font, so that the grid never breaks into 15-row columns.
    const int fit = (viewport()->height() - 1) / kHexRows;
    if (IsMultiColumn() && fit > 0 && ItemHeight() > fit) SetMultiColumn(ColumnWidth(), fit);
}

void HexView::paintEvent(QPaintEvent* event) {
    if (beforePaint_) beforePaint_();
    resources::ListBox::paintEvent(event);
}

}  // namespace ui
