// quorvane-icons DIR: writes the desktop icons (PNG at the hicolor sizes and
// a scalable SVG) from the same drawing as the window's icon. Run by the build.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvane-icons DIR\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 32, 48, 256}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    quorvane::app::PaintAppIcon(painter, size);
    painter.end();
    const QString path = QStringLiteral("%1/quorvane-%2.png").arg(dir).arg(size);
    if (!image.save(path, "PNG")) {
      std::fprintf(stderr, "quorvane-icons: %s: could not be written\n", qPrintable(path));
      return 1;
    }
  }
  QSvgGenerator svg;
  svg.setFileName(dir + QStringLiteral("/quorvane.svg"));
  svg.setSize(QSize(32, 32));
  svg.setViewBox(QRect(0, 0, 32, 32));
  svg.setTitle(QStringLiteral("quorvane"));
  QPainter painter;
  if (!painter.begin(&svg)) {
    std::fprintf(stderr, "quorvane-icons: the SVG icon could not be written\n");
    return 1;
  }
  quorvane::app::PaintAppIcon(painter, 32);
  painter.end();
  return 0;
}
