// Go-to and find for the hex editor; see hex_search_bar.h.
#include "ui/programmer/hex_search_bar.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "ui/programmer/hex_editor.h"

namespace ui {

namespace {

QAction* MakeAction(const QString& text, const QKeySequence& keys, HexEditor* editor) {
    auto* action = new QAction(text, editor);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    editor->addAction(action);
    return action;
}

}  // namespace

HexSearchBar::HexSearchBar(HexEditor* editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setAccessibleName(QStringLiteral("Go to and find"));
    prompt_ = new QLabel(this);
    input_ = new QLineEdit(this);
    base_ = new QComboBox(this);
    base_->addItems({QStringLiteral("Hex"), QStringLiteral("Decimal")});
    base_->setAccessibleName(QStringLiteral("Offset base"));
    go_ = new QPushButton(this);
    previousButton_ = new QPushButton(QStringLiteral("Find &previous"), this);
    previousButton_->setAccessibleName(QStringLiteral("Find previous"));
    message_ = new QLabel(this);
    message_->setAccessibleName(QStringLiteral("Go to and find message"));
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("Close"));
    close->setAccessibleName(QStringLiteral("Close go to and find"));
    prompt_->setBuddy(input_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(prompt_);
    layout->addWidget(input_, 1);
    layout->addWidget(base_);
    layout->addWidget(go_);
    layout->addWidget(previousButton_);
    layout->addWidget(message_, 1);
    layout->addWidget(close);

    goTo_ = MakeAction(QStringLiteral("&Go to offset…"), QKeySequence(Qt::CTRL | Qt::Key_G), editor);
    find_ = MakeAction(QStringLiteral("&Find…"), QKeySequence::Find, editor);
    next_ = MakeAction(QStringLiteral("Find &next"), QKeySequence(Qt::Key_F3), editor);
    previous_ = MakeAction(QStringLiteral("Find pre&vious"), QKeySequence(Qt::SHIFT | Qt::Key_F3), editor);
    connect(goTo_, &QAction::triggered, this, &HexSearchBar::ShowGoTo);
    connect(find_, &QAction::triggered, this, &HexSearchBar::ShowFind);
    connect(next_, &QAction::triggered, this, &HexSearchBar::Next);
    connect(previous_, &QAction::triggered, this, &HexSearchBar::Previous);
    connect(go_, &QPushButton::clicked, this, [this] { Submit(false); });
    connect(previousButton_, &QPushButton::clicked, this, [this] { Submit(true); });
    input_->installEventFilter(this);
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        editor_->setFocus();
    });
    Open(Mode::Find);
    hide();
}

void HexSearchBar::ShowGoTo() { Open(Mode::GoTo); }
void HexSearchBar::ShowFind() { Open(Mode::Find); }

void HexSearchBar::Open(Mode mode) {
    mode_ = mode;
    const bool goTo = mode == Mode::GoTo;
    prompt_->setText(goTo ? QStringLiteral("Go to &offset:") : QStringLiteral("&Find:"));
    input_->setAccessibleName(goTo ? QStringLiteral("Offset to go to")
                                   : QStringLiteral("Bytes or text to find"));
    input_->setPlaceholderText(goTo ? QStringLiteral("1F0, 0x1F0 or 496 in decimal")
                                    : QStringLiteral("12 AB or \"text\""));
    go_->setText(goTo ? QStringLiteral("&Go") : QStringLiteral("Find &next"));
    go_->setAccessibleName(goTo ? QStringLiteral("Go to offset") : QStringLiteral("Find next"));
    base_->setVisible(goTo);
    previousButton_->setVisible(!goTo);
    if (goTo) input_->setText(QString::number(editor_->CursorOffset(), 16).toUpper());
    Say({});
    show();
    input_->setFocus();
    input_->selectAll();
}

void HexSearchBar::Submit(bool backwards) {
    if (mode_ == Mode::GoTo) {
        if (GoTo(input_->text())) editor_->setFocus();
    } else {
        FindText(input_->text(), backwards);
    }
}

bool HexSearchBar::ParseOffset(const QString& text, bool decimal, qint64& offset, QString& error) {
    QString digits = text.trimmed();
    int base = decimal ? 10 : 16;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
        base = 16;
    } else if (digits.startsWith(QLatin1Char('$'))) {
        digits = digits.mid(1);
        base = 16;
    } else if (digits.endsWith(QLatin1Char('h'), Qt::CaseInsensitive)) {
        digits.chop(1);
        base = 16;
    }
    bool ok = false;
    offset = digits.toLongLong(&ok, base);
    if (ok && offset >= 0 && !digits.startsWith(QLatin1Char('+'))) return true;
    error = QStringLiteral("\"%1\" is not an offset in %2.")
                .arg(text.trimmed(), base == 16 ? QStringLiteral("hex") : QStringLiteral("decimal"));
    return false;
}

bool HexSearchBar::GoTo(const QString& text) {
    qint64 offset = 0;
    QString error;
    if (!ParseOffset(text, base_->currentIndex() == 1, offset, error)) {
        Say(error);
        return false;
    }
    const auto size = static_cast<qint64>(editor_->Data().size());
    if (offset >= size) {
        Say(QStringLiteral("Offset %1 is past the end: the buffer has %2 bytes (last offset %3).")
                .arg(HexNumber(offset))
                .arg(size)
                .arg(HexNumber(std::max<qint64>(0, size - 1))));
        return false;
    }
    editor_->SetCursorOffset(offset);
    Say({});
    return true;
}

bool HexSearchBar::FindText(const QString& text, bool backwards) {
    QByteArray bytes;
    QString error;
    if (!HexEditor::ParseFindText(text, bytes, error)) {
        Say(error);
        return false;
    }
    lastFind_ = bytes;
    const qint64 from = editor_->CursorOffset();
    if (!editor_->Find(bytes, backwards)) {
        Say(QStringLiteral("Not found."));
        return false;
    }
    // A new search takes a hit at the cursor itself as found in place.
    const qint64 at = editor_->CursorOffset();
    const bool wrapped = backwards ? at > from : at < from;
    Say(wrapped ? (backwards ? QStringLiteral("Wrapped round from the start to the end.")
                             : QStringLiteral("Wrapped round from the end to the start."))
                : QString());
    return true;
}

bool HexSearchBar::Next() { return Step(true); }
bool HexSearchBar::Previous() { return Step(false); }

bool HexSearchBar::Step(bool forward) {
    // A search typed goes on with F3 whatever is coloured; without one, F3
    // walks the differences or marks.
    if (lastFind_.isEmpty() && (editor_->DifferenceCount() > 0 || editor_->HasMarks())) {
        const bool found = forward ? editor_->NextDifference() : editor_->PreviousDifference();
        if (isVisible()) Say(found ? QString() : QStringLiteral("No differences."));
        return found;
    }
    if (lastFind_.isEmpty()) {
        ShowFind();
        return false;
    }
    const QByteArray bytes = lastFind_;
    const qint64 from = editor_->CursorOffset();
    if (!editor_->Find(bytes, !forward)) {
        Say(QStringLiteral("Not found."));
        return false;
    }
    const qint64 at = editor_->CursorOffset();
    Say((forward ? at <= from : at >= from) ? QStringLiteral("Wrapped round.") : QString());
    return true;
}

bool HexSearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == input_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Submit(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HexSearchBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
    hide();
    editor_->setFocus();
}

void HexSearchBar::Say(const QString& message) { message_->setText(message); }

QString HexSearchBar::Message() const { return message_->text(); }

}  // namespace ui
