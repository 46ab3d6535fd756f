// The main window's "Adapter" menu, and what the window does on an adapter
// other than the parallel one: the device and user lines, the DAC, the
// extended registers and the classic transfers need the parallel adapter's
// latch and its PCF8584, so there they are disabled with a tooltip that says
// why, and the chip buttons run the fast transfers on the adapter's own bus.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <QFile>

#include "eeprom/chip_table.h"
#include "eeprom/part_facts.h"
#include "startup/adapter_check.h"
#include "startup/adapter_list.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"

namespace ui {

void MainDialog::AddAdapterEntry() {
    auto* menu = new QMenu(this);
    adapterAction_ = new QAction(QStringLiteral("&Adapter"), this);
    adapterAction_->setMenu(menu);
    QAction* inUse = menu->addAction(QStringLiteral("In use: %1").arg(AdapterInUse()));
    inUse->setEnabled(false);
    menu->addSeparator();
    menu->addAction(QStringLiteral("From the next start:"))->setEnabled(false);

    auto* group = new QActionGroup(menu);
    const QString remembered = RememberedAdapter();
    const auto add = [&](const QString& text, const QString& choice, bool usable) {
        QAction* entry = menu->addAction(text);
        entry->setCheckable(true);
        entry->setData(choice);
        entry->setEnabled(usable);
        entry->setChecked(choice == remembered);
        group->addAction(entry);
    };
    add(QStringLiteral("Automatic: %1").arg(QString::fromStdString(startup::AutomaticOrderText())), QString(),
        true);
    for (const hardware::AdapterMenuEntry& entry : startup::AdapterMenu())
        add(QString::fromStdString(entry.text), QFile::decodeName(QByteArray::fromStdString(entry.choice)),
            entry.usable);
    menu->addSeparator();
    for (const hardware::AdapterMenuEntry& entry : startup::BenchMenu())
        add(QString::fromStdString(entry.text), QString::fromStdString(entry.choice), true);
    connect(group, &QActionGroup::triggered, this,
            [this](QAction* entry) { ChooseAdapter(entry->data().toString(), entry->text()); });
    addAction(adapterAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainDialog::ChooseAdapter(const QString& choice, const QString& text) {
    RememberAdapter(choice);
    // The session, the monitor and the open panels all hold the adapter the
    // window started with: the new one takes over at the next start.
    ShowMessage(
        QStringLiteral("\"%1\" is used from the next start of Merlix; until then the window keeps %2. "
                       "An adapter option on the command line (--adapter, --bench-adapter, --bench, "
                       "--direct, --ppdev) is used before this choice.")
            .arg(text, AdapterInUse()));
}

void MainDialog::StartWithoutLatch() {
    session_->controllerPresent = session_->i2c ? 1 : 0;
    QPushButton* probe = Button(ids::kResetPcf);
    probe->setText(session_->i2c ? QStringLiteral("I2C bus Ok") : QStringLiteral("No I2C bus"));
    for (int id : {ids::kLpt1, ids::kLpt2}) {
        auto* port = Control<QRadioButton>(id);
        port->setAutoExclusive(false);
        port->setChecked(false);
    }
}

void MainDialog::ApplyAdapterLimits() {
    if (session_->Parallel()) return;
    const QString why =
        QStringLiteral("%1 has no output latch: this needs the parallel adapter").arg(AdapterInUse());
    const QString noPcf =
        QStringLiteral("%1 has no PCF8584 to probe: its bus was checked when it was opened. Enter still "
                       "stores the byte typed into the value edit.")
            .arg(AdapterInUse());
    Button(ids::kResetPcf)->setToolTip(noPcf.left(1).toUpper() + noPcf.mid(1));
    const QString tip = why.left(1).toUpper() + why.mid(1);
    for (int id : {ids::kResetDev, ids::kStopDev, ids::kOutput1, ids::kOutput2, ids::kLpt1, ids::kLpt2,
                   ids::kExtended}) {
        if (QWidget* control = Control(id)) {
            control->setEnabled(false);
            control->setToolTip(tip);
        }
    }
    // The send console writes registers over I2C.
    if (!session_->i2c) {
        const QString noI2c = QString::fromStdString(eeprom::CannotReachI2c(*session_));
        for (int id : {ids::kSend, ids::kOnline, ids::kSlider, ids::kSpin}) {
            if (QWidget* control = Control(id)) {
                control->setEnabled(false);
                control->setToolTip(noI2c);
            }
        }
    }
    // The converter hangs on the latch too.
    if (auto* model = qobject_cast<QStandardItemModel*>(chip_->m_chipList->model())) {
        const int dac = chip_->m_chipList->findText(QLatin1String(eeprom::kDacEntry));
        if (QStandardItem* item = dac >= 0 ? model->item(dac) : nullptr) {
            item->setEnabled(false);
            item->setToolTip(tip);
        }
    }
    // The classic transfers are the PCF8584's and the latch's sequences: the
    // fast ones always run here, and the remembered setting stays as it was.
    {
        const QSignalBlocker keep(chip_->FastTransfersAction());
        chip_->FastTransfersAction()->setChecked(true);
    }
    chip_->FastTransfersAction()->setEnabled(false);
    chip_->FastTransfersAction()->setText(
        QStringLiteral("&Fast transfers (always on %1)").arg(AdapterInUse()));
    chip_->FastTransfersAction()->setToolTip(
        QStringLiteral("The classic transfers need the parallel adapter; %1 always uses the fast ones")
            .arg(AdapterInUse()));
}

}  // namespace ui
