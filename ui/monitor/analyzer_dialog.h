// "Logic analyzer…": whether the bus monitor watches through a logic analyzer
// (run by sigrok-cli) rather than the adapter's controller, and which one:
// the driver (with conn= for one of several), the channels on SCL and SDA and
// the sample rate. The choice is checked before the dialog closes, applies
// to the monitor from its next start, and is remembered between runs.
#pragma once

#include <QDialog>

#include "ui/main/startup.h"

class QCheckBox;
class QLineEdit;

namespace ui {

class AnalyzerDialog : public QDialog {
    Q_OBJECT
public:
    AnalyzerDialog(const AnalyzerChoice& choice, QWidget* parent);

    QCheckBox* On() const { return on_; }
    QLineEdit* Device() const { return device_; }
    QLineEdit* Pins() const { return pins_; }
    QLineEdit* Rate() const { return rate_; }
    QLineEdit* File() const { return file_; }
    QCheckBox* Realtime() const { return realtime_; }
    AnalyzerChoice Choice() const;
    // Valid after the dialog was accepted with the analyzer on.
    const monitor::AnalyzerSettings& Settings() const { return settings_; }

    // Closes only on a choice that parses; otherwise says what is wrong.
    void accept() override;

private:
    QCheckBox* on_;
    QLineEdit* device_;
    QLineEdit* pins_;
    QLineEdit* rate_;
    QLineEdit* file_;
    QCheckBox* realtime_;
    monitor::AnalyzerSettings settings_;
};

}  // namespace ui
