#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace quorvane::app {
namespace {

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  PaintAppIcon(p, size);
  return pixmap;
}

}  // namespace

void PaintAppIcon(QPainter& p, double size) {
  p.setRenderHint(QPainter::Antialiasing, true);
  const double s = size / 32.0;
  // Dark blue tile.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 128));
  p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 5 * s, 5 * s);
  // A 3x3 keypad in the lower half.
  p.setBrush(QColor(192, 192, 192));
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      p.drawRect(QRectF((7 + col * 7) * s, (17 + row * 4) * s, 4 * s, 2.5 * s));
    }
  }
  // A yellow sine across the top half.
  QPainterPath wave;
  for (int i = 0; i <= 24; ++i) {
    const double x = (4 + i) * s;
    const double y = (9 - 5 * std::sin(i * 3.14159265 / 6.0)) * s;
    if (i == 0) wave.moveTo(x, y); else wave.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 0), 2 * s));
  p.drawPath(wave);
}

QIcon AppIcon() {
  QIcon icon;
  icon.addPixmap(Draw(32));
  icon.addPixmap(Draw(16));
  return icon;
}

}  // namespace quorvane::app
