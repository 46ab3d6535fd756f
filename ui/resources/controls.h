// The few control behaviours the dialogs rely on that the stock Qt widgets
// do not give directly: list boxes that report only the selections a user
// makes (and can lay their items out column by column), a track bar that
// reports only user scrolling, a buddy-less spin button that notifies before it
// steps, edits that take hexadecimal digits only, and focus notifications.
#pragma once

#include <QListWidget>
#include <QSlider>
#include <QValidator>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QToolButton;

namespace ui {

namespace resources {

// A list box. selChange() follows a selection made with the mouse or the
// keyboard, never one the program makes (SetCurSel, clearing, adding), so a
// handler may select an entry without running itself again.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Index of the selected entry, -1 when none is selected.
    int CurSel() const;
    // Selects an entry (-1: none) without a selChange().
    void SetCurSel(int index);

    // Column-by-column layout: entries run down a column of items of
    // itemHeight pixels, then on in the next column columnWidth pixels to the
    // right. The arrow keys move as in such a list: up/down by one entry,
    // left/right by one column; there is no type-ahead search.
    void SetMultiColumn(int columnWidth, int itemHeight);
    void SetColumnWidth(int columnWidth);
    bool IsMultiColumn() const { return multiColumn_; }
    int ColumnWidth() const { return gridSize().width(); }
    int ItemHeight() const { return gridSize().height(); }
    // Entries per column at the present height (multi-column only).
    int RowsPerColumn() const;
    // The rectangle of an entry in viewport coordinates.
    QRect ItemRect(int index) const;

signals:
    void selChange();
    void dblClk();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString& search) override;

private:
    bool multiColumn_ = false;
};

// A horizontal track bar. scrolled() follows every scroll notification of a
// user action once the new position is in place: each position change (drag,
// keys, page clicks, wheel), a scroll key that finds the thumb at the end of
// the range, a left press on the thumb and the left button's release.
// releasedCapture() follows that release (other buttons end no drag).
// Positions the program sets are silent.
class TrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TrackBar(QWidget* parent = nullptr);

signals:
    void scrolled();
    void releasedCapture();

protected:
    void sliderChange(SliderChange change) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int userInput_ = 0;  // > 0 while a user action is being handled
};

// Up and down arrows with no buddy field. A click (or the up/down key while
// it has the focus) first emits deltaPos(position before the step, step) and
// then applies the step within the range. Up raises the position when the
// lower limit is below the upper one.
class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);

    void SetRange(int lower, int upper);
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    void SetPos(int position);
    int Pos() const { return position_; }
    // What a click on an arrow does: notify, then step (+1 up, -1 down).
    void Step(int delta);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    void deltaPos(int position, int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
};

// A group frame as dialog templates draw it: an etched rectangle whose top
// line runs through the middle of the caption. It only surrounds the
// controls next to it (they are its siblings): it takes no clicks.
class GroupFrame : public QWidget {
    Q_OBJECT
public:
    explicit GroupFrame(const QString& title, QWidget* parent = nullptr);
    QString Title() const { return title_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
};

// Hexadecimal digits only, upper-cased as typed: a stray letter is refused
// instead of turning into another bus address. An empty text is acceptable.
class HexTextValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// Any text, upper-cased as typed.
class UpperCaseValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Adds an entry to a combo box and returns its index: in sorted place (case
// ignored) when the template made the combo sorted, else at the end.
int AddComboString(QComboBox* combo, const QString& text);

// Makes an edit take at most maxChars hexadecimal digits, upper-cased.
void MakeHexEdit(QLineEdit* edit, int maxChars);

// Focus gained and lost, as signals (Qt reports them only as events). One
// notifier per widget; Watch() returns the existing one on a second call.
class FocusNotifier : public QObject {
    Q_OBJECT
public:
    static FocusNotifier* Watch(QWidget* widget);

signals:
    void setFocus();
    void killFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusNotifier(QWidget* widget);
};

}  // namespace resources

}  // namespace ui
