#include "app/about_dialog.h"

#include <QPushButton>

#include "app/app_icon.h"
#include "app/form_builder.h"

namespace quorvane::app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const auto controls = BuildForm(*this, kAboutDialogSpec, AppIcon());
  auto* ok = static_cast<QPushButton*>(controls.at(IDOK));
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quorvane::app
