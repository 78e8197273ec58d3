#include "app/form_builder.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace quorvane::app {
namespace {

QWidget* MakeControl(QDialog& dialog, const ControlSpec& c, const QIcon& icon, const QRect& geometry) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::Button: {
      auto* button = new QPushButton(caption, &dialog);
      // Enter is dispatched by the dialog itself (see MainDialog).
      button->setAutoDefault(false);
      button->setDefault(c.kind == ControlKind::DefaultButton);
      return button;
    }
    case ControlKind::Edit:
    case ControlKind::DigitsEdit: {
      auto* edit = new QLineEdit(&dialog);
      if (c.kind == ControlKind::DigitsEdit) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      }
      return edit;
    }
    case ControlKind::GroupBox: {
      auto* box = new QGroupBox(caption, &dialog);
      box->setFocusPolicy(Qt::NoFocus);
      return box;
    }
    case ControlKind::Icon: {
      auto* label = new QLabel(&dialog);
      label->setPixmap(icon.pixmap(geometry.size()));
      return label;
    }
    case ControlKind::Label:
      break;
  }
  return new QLabel(caption, &dialog);
}

}  // namespace

std::map<int, QWidget*> BuildForm(QDialog& dialog, const DialogSpec& layout, const QIcon& icon) {
  dialog.setFont(DialogFont());
  dialog.setWindowTitle(QString::fromUtf8(layout.caption));
  const DialogBaseUnits base = BaseUnitsOf(dialog.font());
  dialog.setFixedSize(DialogUnitsToPixels(base, 0, 0, layout.width, layout.height).size());

  std::map<int, QWidget*> byId;
  QWidget* previous = nullptr;
  int labelNumber = 0;
  for (const ControlSpec& c : layout.controls) {
    const QRect geometry = DialogUnitsToPixels(base, c.x, c.y, c.width, c.height);
    QWidget* widget = MakeControl(dialog, c, icon, geometry);
    widget->setGeometry(geometry);
    widget->setProperty(kControlIdProperty, c.id);
    if (c.id == kNoId) {
      widget->setObjectName(QStringLiteral("label%1").arg(labelNumber++));
    } else {
      widget->setObjectName(QStringLiteral("control%1").arg(c.id));
      byId[c.id] = widget;
    }
    widget->setVisible(c.shown);
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous) QWidget::setTabOrder(previous, widget);
      previous = widget;
    }
  }
  return byId;
}

}  // namespace quorvane::app
