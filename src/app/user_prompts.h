// Everything the window asks of a person goes through this interface, so
// tests can answer in place of one.
#pragma once

#include <string>

class QWidget;
class QString;

namespace quorvane::app {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // An open picker for an existing file; true and its full path on a choice.
  virtual bool ChooseOpenFile(QWidget* parent, const QString& filter, std::string& path) = 0;
  // A save picker that asks nothing about overwriting and adds no extension.
  virtual bool ChooseSaveFile(QWidget* parent, const QString& filter, std::string& path) = 0;
  // A message box with an OK button only.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // The message of a failed field validation.
  virtual void ShowValidationMessage(QWidget* parent, const QString& text) = 0;
  // The About box, modal.
  virtual void ShowAbout(QWidget* parent) = 0;
};

// The real thing: Qt's file dialogs and message boxes, our About box.
class QtUserPrompts : public UserPrompts {
 public:
  bool ChooseOpenFile(QWidget* parent, const QString& filter, std::string& path) override;
  bool ChooseSaveFile(QWidget* parent, const QString& filter, std::string& path) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowValidationMessage(QWidget* parent, const QString& text) override;
  void ShowAbout(QWidget* parent) override;
};

}  // namespace quorvane::app
