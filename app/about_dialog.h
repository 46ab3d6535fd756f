// AboutDialog: the About box (template 100). Its OK button closes it.
#pragma once

#include <QDialog>

#include "resources/dialog_template.h"

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    const resources::DialogBuilder& Builder() const { return builder_; }

private:
    resources::DialogBuilder builder_;
};
