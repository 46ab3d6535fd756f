// The "Logic analyzer…" dialog and its context-menu entry; see analyzer_dialog.h.
#include "ui/monitor/analyzer_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"

namespace ui {

AnalyzerDialog::AnalyzerDialog(const AnalyzerChoice& choice, QWidget* parent)
    : QDialog(parent),
      on_(new QCheckBox(QStringLiteral("&Watch the bus through a logic analyzer"), this)),
      device_(new QLineEdit(choice.device, this)),
      pins_(new QLineEdit(choice.pins, this)),
      rate_(new QLineEdit(choice.rate, this)),
      file_(new QLineEdit(choice.file, this)),
      realtime_(new QCheckBox(QStringLiteral("Play it at its own &pace"), this)) {
    setWindowTitle(QStringLiteral("Logic analyzer"));
    on_->setChecked(choice.on);
    device_->setPlaceholderText(QStringLiteral("fx2lafw"));
    device_->setAccessibleName(QStringLiteral("Analyzer driver"));
    pins_->setAccessibleName(QStringLiteral("Analyzer channels"));
    rate_->setAccessibleName(QStringLiteral("Sample rate"));
    file_->setAccessibleName(QStringLiteral("Recorded capture"));
    file_->setPlaceholderText(QStringLiteral("capture.sr or bus.vcd, instead of the device"));
    realtime_->setChecked(choice.realtime);
    auto* browse = new QPushButton(QStringLiteral("&Browse…"), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Recorded capture"), file_->text(),
                                         QStringLiteral("Captures (*.sr *.vcd);;All files (*)"));
        if (!path.isEmpty()) file_->setText(path);
    });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_);
    fileRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Driver (sigrok-cli -d):"), device_);
    form->addRow(QStringLiteral("&Channels:"), pins_);
    form->addRow(QStringLiteral("Sample &rate:"), rate_);
    form->addRow(QStringLiteral("Recorded &capture:"), fileRow);
    form->addRow(QString(), realtime_);
    auto* hint = new QLabel(
        QStringLiteral("fx2lafw:conn=BUS.ADDRESS picks one of several analyzers. The sample rate must be %1. "
                       "sigrok-cli runs the analyzer: sudo apt install sigrok-cli.")
            .arg(QLatin1String(startup::kAnalyzerRateRule)),
        this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AnalyzerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto follow = [this] {
        for (QWidget* edit : std::initializer_list<QWidget*>{device_, pins_, rate_, file_, realtime_})
            edit->setEnabled(on_->isChecked());
    };
    connect(on_, &QCheckBox::toggled, this, follow);
    follow();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(on_);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

AnalyzerChoice AnalyzerDialog::Choice() const {
    return {on_->isChecked(),        device_->text().trimmed(), pins_->text().trimmed(),
            rate_->text().trimmed(), file_->text().trimmed(),   realtime_->isChecked()};
}

void AnalyzerDialog::accept() {
    QString error;
    if (on_->isChecked() && !AnalyzerSettingsOf(Choice(), settings_, error)) {
        ShowMessage(error);
        return;
    }
    QDialog::accept();
}

void MonitorController::AddAnalyzerEntry() {
    analyzerAction_ = new QAction(QStringLiteral("&Logic analyzer…"), &window_);
    // Checked while the monitor watches through an analyzer.
    analyzerAction_->setCheckable(true);
    window_.addAction(analyzerAction_);
    connect(analyzerAction_, &QAction::triggered, this, &MonitorController::ChooseAnalyzer);
}

void MonitorController::ChooseAnalyzer() {
    AnalyzerDialog dialog(RememberedAnalyzer(), &window_);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    analyzerAction_->setChecked(analyzer_ != nullptr);  // a click toggled it; the state is the analyzer's
    if (!accepted) return;
    const AnalyzerChoice choice = dialog.Choice();
    RememberAnalyzer(choice);
    UseAnalyzer(choice.on ? &dialog.Settings() : nullptr);
}

void MonitorController::UseAnalyzer(const monitor::AnalyzerSettings* settings) {
    if (session_.monitorOn) OnMonitorToggle();
    // The transfers window still reads the monitor's clock for the log the analyzer made.
    if (analyzer_) monitorClock_.Release(*analyzer_);
    analyzer_.reset();
    session_.sniffer = adapterSniffer_;
    if (settings) {
        analyzer_ = std::make_unique<monitor::LiveAnalyzer>(*settings);
        session_.sniffer = analyzer_.get();
    }
    analyzerAction_->setChecked(analyzer_ != nullptr);
}

}  // namespace ui
