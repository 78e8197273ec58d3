#include <QFontMetrics>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "dtmf/exact/dtmf_detector.h"
#include "plot_qt/legend.h"
#include "plot_qt/panel_painting.h"

namespace quorvane::plot {
namespace {

QRgb HeatColour(double t) {
  t = std::clamp(t, 0.0, 1.0);
  // Dark blue through purple and orange to pale yellow.
  const double stops[5][3] = {{10, 10, 40}, {70, 20, 120}, {190, 50, 90}, {250, 150, 40}, {255, 250, 190}};
  const double f = t * 4.0;
  const int i = std::min(3, static_cast<int>(f));
  const double u = f - i;
  auto mix = [&](int k) { return static_cast<int>(stops[i][k] + (stops[i + 1][k] - stops[i][k]) * u); };
  return qRgb(mix(0), mix(1), mix(2));
}

constexpr double kSpectrumLow = -80.0;   // dBm0 at the bottom of the colour scale
constexpr double kSpectrumHigh = 0.0;

struct ToneLabel {
  double hz;
  QColor colour;
  QString name;
};

}  // namespace

void DrawSpectrogram(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const SpectrogramPanel& s,
                     TonePlan plan, bool showFsk) {
  const QRect& r = frame.rect;
  DrawFrame(p, frame);
  QImage image(s.columns, kSpectrumBins, QImage::Format_RGB32);
  for (int c = 0; c < s.columns; ++c) {
    for (int b = 0; b < kSpectrumBins; ++b) {
      image.setPixel(c, kSpectrumBins - 1 - b, HeatColour((s.At(c, b) - kSpectrumLow) / (kSpectrumHigh - kSpectrumLow)));
    }
  }
  const QRect inner = r.adjusted(1, 1, -1, -1);
  p.drawImage(QRect(axis.left, inner.top(), axis.width, inner.height()), image);
  auto y = [&](double hz) { return inner.bottom() - hz / 4000.0 * inner.height(); };
  const QFontMetrics fm(p.font());
  p.setPen(kText);
  ScaleLabels ticks(p, r, fm.height());
  for (int khz = 0; khz <= 4; ++khz) ticks.Add(static_cast<int>(std::lround(y(khz * 1000.0))), QString::number(khz));
  // The tones the detectors listen for, named on the right.
  auto line = [&](double hz, const QColor& colour) {
    p.setPen(QPen(colour, 1, Qt::DashLine));
    p.drawLine(QPointF(inner.left(), y(hz)), QPointF(inner.right(), y(hz)));
  };
  const bool v23 = plan == TonePlan::V23;
  const double markHz = v23 ? 1300 : 1200;
  const double spaceHz = v23 ? 2100 : 2200;
  std::vector<ToneLabel> labels = {{1560, kText, QStringLiteral("DTMF 1209–1633")},
                                   {800, kText, QStringLiteral("DTMF 697–941")}};
  if (showFsk) {
    labels.push_back({markHz - 130, kFskMarker, QStringLiteral("FSK mark %1").arg(markHz)});
    labels.push_back({spaceHz, kFskMarker, QStringLiteral("FSK space %1").arg(spaceHz)});
  }
  // Names that would overlap on a short panel are moved apart.
  std::vector<std::size_t> order(labels.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return y(labels[a].hz) < y(labels[b].hz); });
  std::vector<double> centres;
  for (std::size_t i : order) centres.push_back(y(labels[i].hz));
  SpreadLabels(centres, fm.height(), r.top() + fm.height() / 2.0, r.bottom() - fm.height() / 2.0);
  std::vector<double> centreOf(labels.size());
  for (std::size_t k = 0; k < order.size(); ++k) centreOf[order[k]] = centres[k];
  auto label = [&](std::size_t i) {
    p.setPen(labels[i].colour);
    p.drawText(QRectF(r.right() + 6, centreOf[i] - 7, kRightMargin - 8, 14), Qt::AlignLeft | Qt::AlignVCenter,
               labels[i].name);
  };
  for (float hz : DtmfRowFreqs) line(hz, kDtmfMarker);
  for (float hz : DtmfColFreqs) line(hz, kDtmfMarker);
  label(0);
  label(1);
  if (showFsk) {
    line(markHz, kFskMarker);
    line(spaceHz, kFskMarker);
    label(2);
    label(3);
  }
  // Colour scale.
  const int barWidth = 130;
  const QRect bar(r.right() - barWidth - 60, r.bottom() - 22, barWidth, 10);
  const QRect scaleBox = bar.adjusted(-52, -6, 58, 6);
  p.fillRect(scaleBox, QColor(255, 255, 255, 225));
  for (int i = 0; i < barWidth; ++i) p.fillRect(bar.left() + i, bar.top(), 1, bar.height(), QColor(HeatColour(i / double(barWidth - 1))));
  p.setPen(kText);
  p.drawText(QRect(bar.left() - 50, bar.top() - 3, 46, 16), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("%1").arg(kSpectrumLow, 0, 'f', 0));
  p.drawText(QRect(bar.right() + 4, bar.top() - 3, 56, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0 dBm0"));
  if (frame.placed) frame.placed->push_back({PlacedText::Kind::kLegend, scaleBox, r, QStringLiteral("colour scale")});
  const LegendLayout tones = LayOutLegend(fm, r, {{kDtmfMarker.darker(160), QStringLiteral("DTMF tones"), Qt::DashLine}});
  DrawLegend(p, tones, r, frame.placed);
  if (showFsk) {
    // Left of the DTMF legend, or under it when the panel is too narrow.
    const std::vector<LegendItem> fsk = {{kFskMarker, QStringLiteral("FSK tone pair"), Qt::DashLine}};
    LegendLayout pair = LayOutLegend(fm, r.adjusted(0, 0, -150, 0), fsk);
    if (pair.box.left() < r.left() + 6 || pair.box.intersects(tones.box.adjusted(-2, 0, 0, 0))) {
      pair = LayOutLegend(fm, r.adjusted(0, tones.box.height() + 4, 0, 0), fsk);
    }
    DrawLegend(p, pair, r, frame.placed);
  }
}

}  // namespace quorvane::plot
