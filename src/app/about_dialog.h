// The About box (template 100): icon, version line, a second line, OK.
#pragma once

#include <QDialog>

namespace quorvane::app {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace quorvane::app
