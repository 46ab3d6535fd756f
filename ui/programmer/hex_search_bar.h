// Go-to and find for a HexEditor: a bar the window places under the editor,
// hidden until Ctrl+G (go to an offset) or Ctrl+F (find hex bytes or quoted
// text) opens it; Return goes or finds the next hit, Shift+Return the
// previous one, Escape closes it and gives the editor the keys back.
//
// F3 and Shift+F3 step through the differences (the compare's and the
// verify marks, run by run) whenever the editor has any, and otherwise
// repeat the last search forwards or backwards. The four actions carry the
// shortcuts; they are added to the editor, so they work wherever the focus is
// in its window, and the window may put the same actions in its menus.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class HexEditor;

class HexSearchBar : public QWidget {
    Q_OBJECT
public:
    explicit HexSearchBar(HexEditor* editor, QWidget* parent = nullptr);

    QAction* GoToAction() const { return goTo_; }          // Ctrl+G
    QAction* FindAction() const { return find_; }          // Ctrl+F
    QAction* NextAction() const { return next_; }          // F3
    QAction* PreviousAction() const { return previous_; }  // Shift+F3

    void ShowGoTo();
    void ShowFind();
    // What Return in the bar does in each mode; false with the reason shown.
    bool GoTo(const QString& text);
    bool FindText(const QString& text, bool backwards);
    // F3 / Shift+F3 as described above.
    bool Next();
    bool Previous();
    // The sentence the bar shows after the last step ("" when all went well).
    QString Message() const;

    // An offset as typed: "0x1F0", "$1F0" and "1F0h" are hex, other numbers
    // are read in hex unless `decimal`. False with a sentence in `error`.
    static bool ParseOffset(const QString& text, bool decimal, qint64& offset, QString& error);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Mode { GoTo, Find };
    void Open(Mode mode);
    void Submit(bool backwards);
    bool Step(bool forward);
    void Say(const QString& message);

    HexEditor* editor_;
    Mode mode_ = Mode::Find;
    QByteArray lastFind_;
    QLabel* prompt_;
    QLineEdit* input_;
    QComboBox* base_;
    QPushButton* go_;
    QPushButton* previousButton_;
    QLabel* message_;
    QAction* goTo_;
    QAction* find_;
    QAction* next_;
    QAction* previous_;
};

}  // namespace ui
