// The About box: built from template 100, no handlers of its own.
#include "ui/main/about_dialog.h"

#include <QPushButton>

namespace ui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    builder_.Build(*this, resources::DialogTemplate100());
    connect(builder_.Control<QPushButton>(1), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace ui
