// Icon 128: our own small drawing of a waveform over a keypad.
#pragma once

#include <QIcon>

class QPainter;

namespace quorvane::app {

QIcon AppIcon();  // 32x32 and 16x16 images

// Paints the icon into a square of `size` pixels at the origin: the one
// drawing behind the window's icon and the installed PNG and SVG icons.
void PaintAppIcon(QPainter& painter, double size);

}  // namespace quorvane::app
