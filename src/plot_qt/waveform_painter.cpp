#include <QFontMetrics>
#include <QPainterPath>

#include <cmath>

#include "plot_qt/legend.h"
#include "plot_qt/panel_painting.h"

namespace quorvane::plot {

void DrawWaveform(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const WaveformPanel& w) {
  const QRect& r = frame.rect;
  DrawFrame(p, frame);
  DrawVerticalGrid(p, r, axis);
  const QFontMetrics fm(p.font());
  const double mid = r.top() + r.height() / 2.0;
  const double scale = (r.height() / 2.0 - 4) / 32768.0;
  auto y = [&](double v) { return mid - v * scale; };
  // The left scale in sample values, the right one in dBm0 of a sine peak.
  p.setPen(kText);
  ScaleLabels ticks(p, r, fm.height());
  for (int v : {-32768, -16384, 0, 16384, 32767}) ticks.Add(static_cast<int>(std::lround(y(v))), QString::number(v));
  // A level too close to the one above it keeps its lines but not its name.
  int lastLabel = 0;
  bool labelled = false;
  for (double dbm0 : {3.0, 0.0, -10.0, -20.0}) {
    const double peak = Dbm0ToPeak(dbm0);
    if (peak > 32767) continue;
    for (double sign : {1.0, -1.0}) {
      const int yy = static_cast<int>(std::lround(y(sign * peak)));
      p.setPen(QPen(kLevelLine, 1, Qt::DotLine));
      p.drawLine(r.left() + 1, yy, r.right() - 1, yy);
      p.setPen(kLevelLine);
      p.drawLine(r.right(), yy, r.right() + 4, yy);
      if (sign > 0 && (!labelled || yy - lastLabel >= fm.capHeight() + 2)) {
        p.drawText(QRect(r.right() + 6, yy - 8, kRightMargin - 8, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1 dBm0").arg(dbm0, 0, 'f', 0));
        labelled = true;
        lastLabel = yy;
      }
    }
  }
  p.setPen(QPen(kWave, 1));
  if (!w.samples.empty()) {
    QPainterPath path;
    for (std::size_t i = 0; i < w.samples.size(); ++i) {
      const QPointF point(axis.X(static_cast<double>(w.grid.first + static_cast<std::int64_t>(i)) + 0.5),
                          y(w.samples[i]));
      if (i == 0) path.moveTo(point);
      else path.lineTo(point);
    }
    p.drawPath(path);
    if (w.samples.size() * 6 < static_cast<std::size_t>(axis.width)) {
      p.setBrush(kWave);
      for (std::size_t i = 0; i < w.samples.size(); ++i) {
        p.drawEllipse(QPointF(axis.X(static_cast<double>(w.grid.first + static_cast<std::int64_t>(i)) + 0.5),
                              y(w.samples[i])), 2.0, 2.0);
      }
      p.setBrush(Qt::NoBrush);
    }
  } else {
    for (int c = 0; c < w.grid.columns; ++c) {
      const double x = axis.left + c + 0.5;
      p.drawLine(QPointF(x, y(w.maximum[c])), QPointF(x, y(w.minimum[c]) + 0.01));
    }
  }
  const QString drawn = w.samples.empty() ? QStringLiteral("min/max per pixel") : QStringLiteral("samples");
  const LegendLayout legend = LayOutLegend(
      fm, r,
      {{kWave, drawn, Qt::SolidLine, w.samples.empty() ? QStringLiteral("min/max") : drawn},
       {kLevelLine, QStringLiteral("sine peak at level (0 dBm0 = 22700)"), Qt::DotLine,
        QStringLiteral("sine peak at level")}});
  DrawLegend(p, legend, r, frame.placed);
}

}  // namespace quorvane::plot
