#include "app/user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/about_dialog.h"

namespace quorvane::app {
namespace {

bool RunPicker(QFileDialog& dialog, std::string& path) {
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath().toStdString();
  return true;
}

}  // namespace

bool QtUserPrompts::ChooseOpenFile(QWidget* parent, const QString& filter, std::string& path) {
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  return RunPicker(dialog, path);
}

bool QtUserPrompts::ChooseSaveFile(QWidget* parent, const QString& filter, std::string& path) {
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  return RunPicker(dialog, path);
}

void QtUserPrompts::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QStringLiteral("quorvane"), text, QMessageBox::Ok);
}

void QtUserPrompts::ShowValidationMessage(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QStringLiteral("quorvane"), text, QMessageBox::Ok);
}

void QtUserPrompts::ShowAbout(QWidget* parent) {
  AboutDialog about(parent);
  about.exec();
}

}  // namespace quorvane::app
