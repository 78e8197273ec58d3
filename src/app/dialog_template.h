// The main window's form (dialog template 102) and the About box's
// (template 100), in dialog units, and their conversion to pixels.
#pragma once

#include <span>

class QFont;
class QRect;

namespace quorvane::app {

enum class ControlKind { DefaultButton, Button, Edit, DigitsEdit, Label, GroupBox, Icon };

// Control IDs; labels carry kNoId.
inline constexpr int kNoId = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct ControlSpec {
  int id;
  ControlKind kind;
  const char* caption;  // UTF-8
  int x, y, width, height;  // dialog units
  bool shown;
};

struct DialogSpec {
  const char* caption;
  int width, height;  // dialog units
  std::span<const ControlSpec> controls;  // in tab order
};

extern const DialogSpec kMainDialogSpec;   // template 102
extern const DialogSpec kAboutDialogSpec;  // template 100

// The font every dialog uses: the CJK face installed with the program,
// 9 points (the form was laid out for a 9-point CJK font).
QFont DialogFont();

// Dialog base units of a font: the average width of the Latin letters and
// the line height, the way the dialog manager derives them.
struct DialogBaseUnits {
  int x;
  int y;
};
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels: x and width scale by base x / 4, y and height by
// base y / 8, rounded to nearest.
QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int width, int height);

}  // namespace quorvane::app
