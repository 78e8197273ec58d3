// Writes a plot as PNG or SVG, all or nothing.
#pragma once

#include <QSize>
#include <QString>

#include <optional>
#include <string>

#include "plot/plot_data.h"

class QByteArray;

namespace quorvane::plot {

enum class ImageFormat { kPng, kSvg };

// The format named by the file's extension (.png or .svg, any case).
std::optional<ImageFormat> FormatFromPath(const std::string& path);

// The encoded picture of `data` on a canvas of `size`.
QByteArray RenderPlot(const PlotData& data, const QString& subtitle, QSize size, ImageFormat format);

// Renders and writes `path`, all or nothing; false with the reason.
bool WritePlot(const PlotData& data, const QString& subtitle, QSize size, const std::string& path, std::string* error);

}  // namespace quorvane::plot
