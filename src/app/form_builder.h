// Builds a dialog's controls from its template: positions in pixels from
// the font's dialog base units, captions, visibility, tab order, IDs.
#pragma once

#include <map>

#include <QIcon>

#include "app/dialog_template.h"

class QDialog;
class QWidget;

namespace quorvane::app {

// The control ID is kept as the property "controlId" and in the object
// name "control<ID>" (labels: "label<n>").
inline constexpr char kControlIdProperty[] = "controlId";

// Lays out `layout` on `dialog` (fixed size, dialog font); returns the
// controls that have an ID, by ID.
std::map<int, QWidget*> BuildForm(QDialog& dialog, const DialogSpec& layout, const QIcon& icon);

}  // namespace quorvane::app
