// What assistive technology announces for the buttons of every window the
// program opens: each check box, radio button and push button has a name, and
// no two buttons of one group (a group box, else the window) share it, so a
// screen reader user can tell them apart.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "support/bench_fixture.h"
#include "ui/bench/bench_window.h"
#include "ui/eeprom/checksums_dialog.h"
#include "ui/eeprom/restore_dialog.h"
#include "ui/main/about_dialog.h"
#include "ui/monitor/transfers_window.h"
#include "ui/panels/dac_panel_dialog.h"
#include "ui/panels/dac_panel_link.h"
#include "ui/panels/ext_sliders_dialog.h"
#include "ui/programmer/programmer_window.h"

namespace {

using testsupport::BenchFixture;

// The group box a button sits in, else its window.
QWidget* GroupOf(QWidget* button) {
    for (QWidget* w = button->parentWidget(); w; w = w->parentWidget()) {
        if (qobject_cast<QGroupBox*>(w) || w->isWindow()) return w;
    }
    return nullptr;
}

QString Describe(QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text += QStringLiteral(" \"%1\"").arg(button->text());
    if (auto* box = qobject_cast<QGroupBox*>(widget)) text += QStringLiteral(" \"%1\"").arg(box->title());
    if (widget->isWindow()) text += QStringLiteral(" \"%1\"").arg(widget->windowTitle());
    return text;
}

using Accessibility = BenchFixture;

TEST_F(Accessibility, EveryButtonOfEveryWindowHasANameOfItsOwnInItsGroup) {
    dialog().ShowBenchWindow();
    dialog().Monitor().ShowTransfersWindow();
    dialog().ShowProgrammerWindow();
    Click(ids::kExtended);
    OpenDacPanel(&dialog());
    AboutDialog about(&dialog());
    RestoreListDialog restore({}, &dialog());
    ChecksumsDialog checksums(QStringLiteral("CRC-32"), &dialog());
    const std::unique_ptr<QMessageBox> error = MakeErrorBox(QStringLiteral("No adapter"));
    const QList<QWidget*> windows = {&dialog(),
                                     dialog().OpenedBenchWindow(),
                                     dialog().Monitor().OpenedTransfersWindow(),
                                     dialog().OpenedProgrammerWindow(),
                                     g_extPanel,
                                     g_dacPanel,
                                     &about,
                                     &restore,
                                     &checksums,
                                     error.get()};

    int buttons = 0;
    for (QWidget* window : windows) {
        ASSERT_NE(window, nullptr);
        QMap<QWidget*, QMap<QString, QWidget*>> named;  // group -> name -> button
        for (auto* button : window->findChildren<QAbstractButton*>()) {
            if (!qobject_cast<QCheckBox*>(button) && !qobject_cast<QRadioButton*>(button) &&
                !qobject_cast<QPushButton*>(button))
                continue;
            if (button->window() != window) continue;  // a window of its own, walked on its own
            ++buttons;
            const QString name = QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
            QWidget* group = GroupOf(button);
            EXPECT_FALSE(name.isEmpty())
                << qPrintable(Describe(button)) << " in " << qPrintable(Describe(group));
            if (QWidget* other = named[group].value(name)) {
                ADD_FAILURE() << qPrintable(Describe(button)) << " and " << qPrintable(Describe(other))
                              << " are both announced as \"" << qPrintable(name) << "\" in "
                              << qPrintable(Describe(group));
            }
            named[group][name] = button;
        }
    }
    EXPECT_GT(buttons, 40) << "the walk missed windows";
}

}  // namespace
