// Control behaviours the dialogs rely on; see controls.h.
#include "ui/resources/controls.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolButton>

#include <algorithm>

namespace ui {

namespace resources {
namespace {

// Counts nesting of user-input handlers, so that a value change can tell
// whether the user caused it.
class InputScope {
public:
    explicit InputScope(int& depth) : depth_(depth) { ++depth_; }
    ~InputScope() { --depth_; }
    InputScope(const InputScope&) = delete;
    InputScope& operator=(const InputScope&) = delete;

private:
    int& depth_;
};

bool IsHexDigit(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

}  // namespace

// --- ListBox ---------------------------------------------------------------

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit dblClk(); });
}

int ListBox::CurSel() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBox::SetCurSel(int index) {
    if (index < 0 || index >= count()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void ListBox::SetMultiColumn(int columnWidth, int itemHeight) {
    multiColumn_ = true;
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setSpacing(0);
    setGridSize(QSize(columnWidth, itemHeight));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ListBox::SetColumnWidth(int columnWidth) { setGridSize(QSize(columnWidth, gridSize().height())); }

int ListBox::RowsPerColumn() const {
    // What the layout did, when there is a second column to show it.
    const int left = ItemRect(0).left();
    for (int index = 1; index < count(); ++index) {
        if (ItemRect(index).left() != left) return index;
    }
    const int itemHeight = std::max(1, gridSize().height());
    return std::max(1, viewport()->height() / itemHeight);
}

QRect ListBox::ItemRect(int index) const { return visualRect(model()->index(index, 0)); }

void ListBox::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);
    // A click on an entry reports the selection even when it does not move.
    if (indexAt(event->position().toPoint()).isValid()) emit selChange();
}

void ListBox::mouseMoveEvent(QMouseEvent* event) {
    const int before = CurSel();
    QListWidget::mouseMoveEvent(event);
    if (CurSel() != before) emit selChange();
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    const int before = CurSel();
    QListWidget::keyPressEvent(event);
    if (CurSel() != before) emit selChange();
}

QModelIndex ListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (!multiColumn_) return QListWidget::moveCursor(action, modifiers);
    const int n = count();
    if (n == 0) return {};
    const int current = currentRow();
    if (current < 0) return model()->index(0, 0);
    const int rows = RowsPerColumn();
    int target = current;
    switch (action) {
        case MoveUp:
        case MovePrevious:
            target = current - 1;
            break;
        case MoveDown:
        case MoveNext:
            target = current + 1;
            break;
        case MoveLeft:
            target = current - rows;
            break;
        case MoveRight:
            target = current + rows;
            break;
        case MoveHome:
            target = 0;
            break;
        case MoveEnd:
            target = n - 1;
            break;
        case MovePageUp:
            target = current - current % rows;
            break;
        case MovePageDown:
            target = std::min(n - 1, current - current % rows + rows - 1);
            break;
    }
    if (target < 0 || target >= n) target = current;
    return model()->index(target, 0);
}

void ListBox::keyboardSearch(const QString& search) {
    if (!multiColumn_) QListWidget::keyboardSearch(search);
}

// --- TrackBar --------------------------------------------------------------

TrackBar::TrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TrackBar::sliderChange(SliderChange change) {
    QSlider::sliderChange(change);
    if (change == SliderValueChange && userInput_ > 0) emit scrolled();
}

namespace {

// The keys a trackbar scrolls with; each of them is a scroll notification,
// also when the thumb already stands at that end of the range.
bool IsScrollKey(int key) {
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

}  // namespace

void TrackBar::keyPressEvent(QKeyEvent* event) {
    const int before = value();
    {
        InputScope scope(userInput_);
        QSlider::keyPressEvent(event);
    }
    // End on a thumb already at the end still notifies: the handlers send
    // what the other controls (a range, an address) now say.
    if (IsScrollKey(event->key()) && value() == before) emit scrolled();
}

void TrackBar::mousePressEvent(QMouseEvent* event) {
    const int before = value();
    {
        InputScope scope(userInput_);
        QSlider::mousePressEvent(event);
    }
    if (event->button() != Qt::LeftButton) return;
    // A press on the thumb moves nothing, yet it is a notification of its
    // own (a press on the groove has already notified its page step).
    if (value() == before) emit scrolled();
}

void TrackBar::mouseMoveEvent(QMouseEvent* event) {
    InputScope scope(userInput_);
    QSlider::mouseMoveEvent(event);
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event) {
    {
        InputScope scope(userInput_);
        QSlider::mouseReleaseEvent(event);
    }
    // Only the left button drags or pages; the release of another button
    // ends nothing and must not count as the end of a drag.
    if (event->button() != Qt::LeftButton) return;
    emit scrolled();  // the thumb's final position
    emit releasedCapture();
}

void TrackBar::wheelEvent(QWheelEvent* event) {
    InputScope scope(userInput_);
    QSlider::wheelEvent(event);
}

void TrackBar::timerEvent(QTimerEvent* event) {
    // Holding the mouse on the groove repeats the page step from a timer.
    InputScope scope(userInput_);
    QSlider::timerEvent(event);
}

// --- SpinButton ------------------------------------------------------------

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(QStringLiteral("Up"));
    down_->setAccessibleName(QStringLiteral("Down"));
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    setFocusPolicy(Qt::TabFocus);
}

void SpinButton::SetRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    SetPos(position_);
}

void SpinButton::SetPos(int position) {
    position_ = std::clamp(position, std::min(lower_, upper_), std::max(lower_, upper_));
}

void SpinButton::Step(int delta) {
    const int step = lower_ <= upper_ ? delta : -delta;
    emit deltaPos(position_, step);
    SetPos(position_ + step);
}

void SpinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        Step(+1);
    } else if (event->key() == Qt::Key_Down) {
        Step(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void SpinButton::resizeEvent(QResizeEvent* event) {
    const int w = event->size().width();
    const int h = event->size().height();
    up_->setGeometry(0, 0, w, h / 2);
    down_->setGeometry(0, h / 2, w, h - h / 2);
}

// --- GroupFrame ------------------------------------------------------------

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(title);
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int top = title_.isEmpty() ? 0 : metrics.height() / 2;
    const QRect frame = rect().adjusted(0, top, -2, -2);
    // Etched: a dark line with a light one one pixel below and to the right.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    if (title_.isEmpty()) return;
    const int indent = metrics.averageCharWidth() * 3 / 2;
    const QRect text(indent, 0, metrics.horizontalAdvance(title_) + 4, metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, title_);
}

// --- Validators ------------------------------------------------------------

QValidator::State HexTextValidator::validate(QString& input, int&) const {
    input = input.toUpper();
    return std::all_of(input.cbegin(), input.cend(), IsHexDigit) ? Acceptable : Invalid;
}

void HexTextValidator::fixup(QString& input) const {
    QString kept;
    for (QChar c : input.toUpper()) {
        if (IsHexDigit(c)) kept.append(c);
    }
    input = kept;
}

QValidator::State UpperCaseValidator::validate(QString& input, int&) const {
    input = input.toUpper();
    return Acceptable;
}

int AddComboString(QComboBox* combo, const QString& text) {
    int index = combo->count();
    if (combo->property("sorted").toBool()) {
        index = 0;
        while (index < combo->count() &&
               QString::compare(combo->itemText(index), text, Qt::CaseInsensitive) <= 0) {
            ++index;
        }
    }
    combo->insertItem(index, text);
    return index;
}

void MakeHexEdit(QLineEdit* edit, int maxChars) {
    edit->setMaxLength(maxChars);
    edit->setValidator(new HexTextValidator(edit));
}

// --- FocusNotifier ---------------------------------------------------------

FocusNotifier::FocusNotifier(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }

FocusNotifier* FocusNotifier::Watch(QWidget* widget) {
    if (auto* existing = widget->findChild<FocusNotifier*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new FocusNotifier(widget);
}

bool FocusNotifier::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) emit setFocus();
    if (event->type() == QEvent::FocusOut) emit killFocus();
    return QObject::eventFilter(watched, event);
}

}  // namespace resources

}  // namespace ui
