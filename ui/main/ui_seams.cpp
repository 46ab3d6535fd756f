// Default message box and file dialogs behind the seam of ui_seams.h.
#include "ui/main/ui_seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <utility>

namespace ui {

namespace {

UiSeams& Seams() {
    static UiSeams seams;
    return seams;
}

QString FileFilter(const QString& initialName) {
    // The preset name ("*.bin") narrows the listing as it does when typed
    // into the name field; everything stays one choice away.
    return initialName + QStringLiteral(";;All files (*)");
}

}  // namespace

void ShowMessage(const QString& text) {
    if (Seams().showMessage) {
        Seams().showMessage(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

QMessageBox* ShowNoticeInside(QWidget& window, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                                QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("adapterNotice"));
    box->setWindowFlags(Qt::Widget);
    box->setStyleSheet(QStringLiteral(
        "QMessageBox#adapterNotice { background: palette(window); border: 1px solid palette(dark); }"));
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    box->show();
    // The box sizes itself as it is shown; it is centred once that is done.
    QTimer::singleShot(0, box, [box, &window] {
        box->move((window.width() - box->width()) / 2, (window.height() - box->height()) / 2);
        box->raise();
        box->setFocus();
    });
    return box;
}

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& text) {
    // No owner: the box belongs to no window, whichever happens to be active.
    return std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Error"), text,
                                         QMessageBox::Ok);
}

void ShowError(const QString& text) {
    if (Seams().showError) {
        Seams().showError(text);
    } else if (Seams().showMessage) {
        Seams().showMessage(text);
    } else {
        MakeErrorBox(text)->exec();
    }
}

bool AskYesNo(const QString& question) {
    if (Seams().askYesNo) return Seams().askYesNo(question);
    if (Seams().showMessage) {
        Seams().showMessage(question);
        return false;
    }
    return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                                 question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString AskOpenPath(const QString& initialName) {
    if (Seams().askOpenPath) return Seams().askOpenPath(initialName);
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                        FileFilter(initialName));
}

QString AskSavePath(const QString& initialName) {
    if (Seams().askSavePath) return Seams().askSavePath(initialName);
    // QFileDialog asks before overwriting unless told not to.
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), QString(),
                                        FileFilter(initialName));
}

QString AskSavePathWithFilters(const QString& suggestedName, const QString& filters, QString* chosenFilter) {
    if (Seams().askSavePath) return Seams().askSavePath(suggestedName);
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), suggestedName,
                                        filters + QStringLiteral(";;All files (*)"), chosenFilter);
}

UiSeams InstallUiSeams(UiSeams seams) { return std::exchange(Seams(), std::move(seams)); }

}  // namespace ui
