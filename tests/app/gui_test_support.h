// A stand-in for the person in front of the window, and lookup helpers.
#pragma once

#include <QLineEdit>
#include <QString>

#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/user_prompts.h"

namespace quorvane::testing {

class FakePrompts : public app::UserPrompts {
 public:
  bool ChooseOpenFile(QWidget*, const QString& filter, std::string& path) override {
    filters.push_back(filter);
    if (openAnswer.empty()) return false;
    path = openAnswer;
    return true;
  }
  bool ChooseSaveFile(QWidget*, const QString& filter, std::string& path) override {
    filters.push_back(filter);
    if (saveAnswer.empty()) return false;
    path = saveAnswer;
    return true;
  }
  void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text.toStdString()); }
  void ShowValidationMessage(QWidget*, const QString& text) override { validations.push_back(text.toStdString()); }
  void ShowAbout(QWidget*) override { ++aboutBoxes; }

  std::string openAnswer;  // empty: the picker is cancelled
  std::string saveAnswer;
  std::vector<QString> filters;
  std::vector<std::string> messages;
  std::vector<std::string> validations;
  int aboutBoxes = 0;
};

inline QLineEdit* Edit(app::MainDialog& dialog, int id) { return static_cast<QLineEdit*>(dialog.Control(id)); }
inline std::string FieldText(app::MainDialog& dialog, int id) { return Edit(dialog, id)->text().toStdString(); }
inline void Type(app::MainDialog& dialog, int id, const std::string& text) {
  Edit(dialog, id)->setText(QString::fromStdString(text));
}

}  // namespace quorvane::testing
