// The dialog-template builder: dialog units to pixels from the dialog font,
// one widget per control, lookup by id.
#include "ui/resources/dialog_template.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "ui/resources/accessible_buttons.h"
#include "ui/resources/controls.h"
#include "ui/resources/icons.h"

namespace ui {

namespace resources {
namespace {

constexpr const char* kIdProperty = "controlId";

QString Utf8(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

Qt::Alignment TextAlignment(unsigned style) {
    if (style & kCentered) return Qt::AlignHCenter;
    if (style & kRightAlign) return Qt::AlignRight;
    return Qt::AlignLeft;
}

QWidget* MakeEdit(const ControlTemplate& c, QWidget* parent) {
    auto* edit = new QLineEdit(Utf8(c.caption), parent);
    edit->setReadOnly(c.style & kReadOnly);
    edit->setAlignment((c.style & kRightAlign ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (c.style & kUpperCase) edit->setValidator(new UpperCaseValidator(edit));
    return edit;
}

QWidget* MakeText(const ControlTemplate& c, QWidget* parent) {
    auto* label = new QLabel(Utf8(c.caption), parent);
    label->setAlignment(TextAlignment(c.style) | Qt::AlignTop);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (c.style & kSunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget* MakeButton(const ControlTemplate& c, QWidget* parent) {
    auto* button = new QPushButton(Utf8(c.caption), parent);
    // Only the default button answers Enter; a focused plain button passes it
    // on to the dialog, which gives it to the default button.
    button->setAutoDefault(false);
    button->setDefault(c.kind == ControlKind::DefPushButton);
    return button;
}

}  // namespace

QSize DialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // The average over both cases, halved and rounded up.
    const int width = (metrics.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
    return QSize(std::max(1, width), std::max(1, metrics.height()));
}

int DialogBuilder::X(int dialogUnits) const { return dialogUnits * base_.width() / 4; }
int DialogBuilder::Y(int dialogUnits) const { return dialogUnits * base_.height() / 8; }

QRect DialogBuilder::ToPixels(int x, int y, int cx, int cy) const {
    // Convert the edges, not the size, so that neighbours that touch in
    // dialog units touch on screen too.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + cx) - left, Y(y + cy) - top);
}

void DialogBuilder::Build(QDialog& dialog, const DialogTemplate& t, const std::map<int, Factory>& factories) {
    // A check box toggled by a screen reader must act as a clicked one.
    InstallAccessibleButtons();
    QFont font = QApplication::font();
    font.setPointSize(t.fontPoints);
    dialog.setFont(font);
    base_ = DialogBaseUnits(font);
    controls_.clear();

    dialog.setWindowTitle(Utf8(t.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (!(t.style & kNoSysMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t.style & kMinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    dialog.setWindowFlags(flags);
    dialog.setFixedSize(X(t.cx), Y(t.cy));
    if (t.style & kPositioned) {
        const QWidget* owner = dialog.parentWidget();
        const QPoint origin = owner ? owner->geometry().topLeft() : QPoint();
        dialog.move(origin + QPoint(X(t.x), Y(t.y)));
    }

    QButtonGroup* radioGroup = nullptr;
    std::vector<QWidget*> frames;
    for (const ControlTemplate& c : t.controls) {
        QRect rect = ToPixels(c.x, c.y, c.cx, c.cy);
        QWidget* widget = nullptr;
        if (auto factory = factories.find(c.id); factory != factories.end()) {
            widget = factory->second(c, &dialog);
        } else {
            switch (c.kind) {
                case ControlKind::PushButton:
                case ControlKind::DefPushButton:
                    widget = MakeButton(c, &dialog);
                    break;
                case ControlKind::CheckBox:
                    widget = new QCheckBox(Utf8(c.caption), &dialog);
                    break;
                case ControlKind::RadioButton: {
                    auto* radio = new QRadioButton(Utf8(c.caption), &dialog);
                    if (!radioGroup || (c.style & kGroup)) radioGroup = new QButtonGroup(&dialog);
                    radioGroup->addButton(radio);
                    widget = radio;
                    break;
                }
                case ControlKind::GroupBox: {
                    // Lowered below its neighbours once all controls exist.
                    widget = new GroupFrame(Utf8(c.caption), &dialog);
                    frames.push_back(widget);
                    break;
                }
                case ControlKind::Text:
                    widget = MakeText(c, &dialog);
                    break;
                case ControlKind::Icon: {
                    auto* label = new QLabel(&dialog);
                    const int size = std::max(32, X(20));
                    label->setPixmap(IconPixmap(QString::fromUtf8(c.caption).toInt(), size));
                    rect.setSize(QSize(size, size));
                    widget = label;
                    break;
                }
                case ControlKind::Edit:
                    widget = MakeEdit(c, &dialog);
                    break;
                case ControlKind::ComboBox: {
                    auto* combo = new QComboBox(&dialog);
                    combo->setEditable(c.style & kEditField);
                    if (combo->isEditable()) {
                        // The edit shows the chosen entry for copying; what
                        // is typed there never becomes an entry or picks one.
                        combo->setInsertPolicy(QComboBox::NoInsert);
                        combo->setCompleter(nullptr);
                    }
                    combo->setProperty("sorted", bool(c.style & kSorted));
                    // The template height is the dropped list's; the closed
                    // box is one line high.
                    combo->setMaxVisibleItems(std::max(5, (c.cy - 14) / 8));
                    rect.setHeight(std::min(combo->sizeHint().height(), Y(14)));
                    widget = combo;
                    break;
                }
                case ControlKind::ListBox: {
                    widget = new ListBox(&dialog);
                    break;
                }
                case ControlKind::Slider: {
                    auto* slider = new TrackBar(&dialog);
                    slider->setFocusPolicy(Qt::StrongFocus);
                    widget = slider;
                    break;
                }
                case ControlKind::Spin:
                    widget = new SpinButton(&dialog);
                    break;
                case ControlKind::Progress: {
                    auto* progress = new QProgressBar(&dialog);
                    progress->setTextVisible(false);
                    widget = progress;
                    break;
                }
            }
        }
        if (auto* list = qobject_cast<ListBox*>(widget)) {
            // One item is one line of the dialog font high.
            if (c.style & kMultiColumn) list->SetMultiColumn(X(16), base_.height());
            if (c.style & kSorted) list->setSortingEnabled(true);
        }
        widget->setGeometry(rect);
        widget->setProperty(kIdProperty, c.id);
        if (c.accessibleName) widget->setAccessibleName(Utf8(c.accessibleName));
        if (c.style & kHidden) widget->setVisible(false);
        if (c.style & kDisabled) widget->setEnabled(false);
        if (c.id >= 0) controls_.emplace(c.id, widget);
    }
    for (QWidget* frame : frames) frame->lower();
}

QWidget* DialogBuilder::Control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

int ControlId(const QWidget* widget) {
    const QVariant id = widget ? widget->property(kIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

QWidget* FindControl(const QWidget* window, int id) {
    if (!window) return nullptr;
    const auto children = window->findChildren<QWidget*>();
    const auto found = std::find_if(children.cbegin(), children.cend(),
                                    [id](const QWidget* w) { return ControlId(w) == id; });
    return found == children.cend() ? nullptr : *found;
}

}  // namespace resources

}  // namespace ui
