// AboutDialog: the About box (template 100). Its OK button closes it.
#pragma once

#include <QDialog>

#include "ui/resources/dialog_template.h"

namespace ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    const resources::DialogBuilder& Builder() const { return builder_; }

private:
    resources::DialogBuilder builder_;
};

}  // namespace ui
