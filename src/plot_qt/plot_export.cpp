#include "plot_qt/plot_export.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>

#include "codec/output_file.h"
#include "plot_qt/plot_painter.h"

#include "base/failure.h"

namespace quorvane::plot {

std::optional<ImageFormat> FormatFromPath(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "png") return ImageFormat::kPng;
  if (extension == "svg") return ImageFormat::kSvg;
  return std::nullopt;
}

QByteArray RenderPlot(const PlotData& data, const QString& subtitle, QSize size, ImageFormat format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format == ImageFormat::kPng) {
    QImage image(size, QImage::Format_RGB32);
    {
      QPainter painter(&image);
      PaintPlot(painter, data, size, subtitle);
    }
    image.save(&buffer, "PNG");
  } else {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QString::fromStdString(data.title));
    svg.setDescription(subtitle);
    QPainter painter(&svg);
    PaintPlot(painter, data, size, subtitle);
  }
  return bytes;
}

bool WritePlot(const PlotData& data, const QString& subtitle, QSize size, const std::string& path, std::string* error) {
  const auto format = FormatFromPath(path);
  if (!format) return Fail(error, "the output must end in .png or .svg");
  AtomicOutputFile output;
  if (!output.Open(path, error)) return false;
  const QByteArray bytes = RenderPlot(data, subtitle, size, *format);
  if (bytes.isEmpty()) {
    output.Abort();
    return Fail(error, "the picture could not be encoded");
  }
  // A failed write is reported by the commit, which then changes nothing.
  output.Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
  return output.Commit(error);
}

}  // namespace quorvane::plot
