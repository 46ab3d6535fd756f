// The accessible interface of check boxes and radio buttons; see
// accessible_buttons.h.
#include "ui/resources/accessible_buttons.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QRadioButton>

namespace ui::resources {

namespace {

// "&Write" reads "Write" and "R&&D" reads "R&D".
QString WithoutMnemonic(const QString& caption) {
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && ++i == caption.size()) break;
        text += caption[i];
    }
    return text;
}

class AccessibleToggleButton : public QAccessibleWidget {
public:
    AccessibleToggleButton(QAbstractButton* button, QAccessible::Role role)
        : QAccessibleWidget(button, role) {}

    // The name is the button's own: the one set for it, else its caption.
    // Qt's fallback, the title of the group box around it, would give every
    // button of a group the same name.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            QString name = Button()->accessibleName();
            if (name.isEmpty()) name = WithoutMnemonic(Button()->text());
            if (!name.isEmpty()) return name;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        const auto* box = qobject_cast<const QCheckBox*>(Button());
        if (box && box->checkState() == Qt::PartiallyChecked) {
            state.checkStateMixed = true;
        } else {
            state.checked = Button()->isChecked();
        }
        if (Button()->isDown()) state.pressed = true;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{toggleAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == toggleAction() || action == pressAction()) {
            // A click: the state changes and clicked() follows, as with the mouse.
            if (Button()->isEnabled()) Button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString& action) const override {
        return action == toggleAction() ? QStringList{Button()->shortcut().toString()}
                                        : QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QCheckBox")) {
        if (auto* box = qobject_cast<QCheckBox*>(object)) {
            return new AccessibleToggleButton(box, QAccessible::CheckBox);
        }
    } else if (className == QLatin1String("QRadioButton")) {
        if (auto* radio = qobject_cast<QRadioButton*>(object)) {
            return new AccessibleToggleButton(radio, QAccessible::RadioButton);
        }
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleButtons() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // Factories installed later are asked first, so this one comes before
    // the stock widget interfaces.
    QAccessible::installFactory(Factory);
}

}  // namespace ui::resources
