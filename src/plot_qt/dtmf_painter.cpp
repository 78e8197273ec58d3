#include <QFontMetrics>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/robust/detector.h"
#include "plot_qt/legend.h"
#include "plot_qt/panel_painting.h"

namespace quorvane::plot {
namespace {

constexpr int kRobustSubBlock = kRobustDtmfSubBlock;
constexpr double kPowerLowDb = 50.0;   // 10 log10 of Goertzel power at the bottom
constexpr double kPowerHighDb = 135.0;

double PowerDb(double power) { return power > 0 ? 10.0 * std::log10(power) : kPowerLowDb; }

// Powers drawn in less height than this give way to the digits' row.
constexpr int kLeastPowerHeight = 40;

std::vector<LegendItem> ExactLegend() {
  return {{kRowColour, QStringLiteral("row tone (max of 697–941 Hz)"), Qt::SolidLine, QStringLiteral("row tone")},
          {kColColour, QStringLiteral("column tone (max of 1209–1633 Hz)"), Qt::SolidLine, QStringLiteral("column tone")},
          {kSum, QStringLiteral("row + column"), Qt::SolidLine},
          {kEnergy, QStringLiteral("42 × block energy (row + column must exceed)"), Qt::DashLine,
           QStringLiteral("42 × energy")},
          {kThreshold, QStringLiteral("tone threshold"), Qt::DashLine, QStringLiteral("threshold")},
          {kDigitColour, QStringLiteral("admitted digit"), Qt::DotLine, QStringLiteral("digit")}};
}

std::vector<LegendItem> RobustLegend() {
  return {{kRowColour, QStringLiteral("row tone (max of 697–941 Hz), per 5 ms"), Qt::SolidLine, QStringLiteral("row tone")},
          {kColColour, QStringLiteral("column tone (max of 1209–1633 Hz)"), Qt::SolidLine, QStringLiteral("column tone")},
          {kEnergy, QStringLiteral("sub-block energy"), Qt::DashLine, QStringLiteral("energy")},
          {kDigitColour, QStringLiteral("reported tone and its measures"), Qt::SolidLine, QStringLiteral("reported tone")}};
}

}  // namespace

void DrawDtmf(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const DtmfPanel& d) {
  const QRect& r = frame.rect;
  const bool robust = d.profile == DtmfProfile::kRobust;
  DrawFrame(p, frame);
  DrawVerticalGrid(p, r, axis);
  const QFontMetrics fm(p.font());
  const LegendLayout legend = LayOutLegend(fm, r, robust ? RobustLegend() : ExactLegend());
  // Below the legend: a row for the digits, then the powers. A short panel
  // lets the digits stand over the top of the powers instead.
  const int stripHeight = 18;
  const int band = kLegendBand + (legend.rows - 1) * legend.rowHeight;
  const bool roomy = r.height() - band - 22 - stripHeight - 2 >= kLeastPowerHeight;
  const int labelTop = r.top() + band + 2;
  const QRect plot = r.adjusted(1, roomy ? band + 22 : band + 2, -1, -stripHeight - 2);
  auto y = [&](double db) {
    const double t = std::clamp((db - kPowerLowDb) / (kPowerHighDb - kPowerLowDb), 0.0, 1.0);
    return plot.bottom() - t * plot.height();
  };
  p.setPen(kText);
  ScaleLabels ticks(p, r, fm.height());
  for (double db = 60; db <= kPowerHighDb; db += 20) ticks.Add(static_cast<int>(std::lround(y(db))), QString::number(db, 'f', 0));
  // Per pixel column: the loudest row and column tone and the energy bound
  // of the blocks under it, and whether any of them carried a digit.
  const int w = axis.width;
  const double none = -std::numeric_limits<double>::infinity();
  std::vector<double> rowDb(w, none), colDb(w, none), sumDb(w, none), energyDb(w, none);
  std::vector<std::int32_t> decision(w, -1);
  for (const auto& b : d.blocks) {
    const int x0 = std::max(0, static_cast<int>(std::floor(axis.X(b.start) - axis.left)));
    const int x1 = std::min(w, std::max(x0 + 1, static_cast<int>(std::ceil(axis.X(b.start + b.length) - axis.left))));
    const double row = PowerDb(*std::max_element(b.rowPower, b.rowPower + 4));
    const double col = PowerDb(*std::max_element(b.colPower, b.colPower + 4));
    const double sum = PowerDb(static_cast<double>(*std::max_element(b.rowPower, b.rowPower + 4)) +
                               *std::max_element(b.colPower, b.colPower + 4));
    const double energy = PowerDb(robust ? b.energy : kDtmfEnergyFactor * b.energy);
    for (int x = x0; x < x1; ++x) {
      rowDb[x] = std::max(rowDb[x], row);
      colDb[x] = std::max(colDb[x], col);
      sumDb[x] = std::max(sumDb[x], sum);
      energyDb[x] = std::max(energyDb[x], energy);
      if (b.result != 0 || decision[x] < 0) decision[x] = std::max(decision[x], b.result);
    }
  }
  auto polyline = [&](const std::vector<double>& values, const QPen& pen) {
    p.setPen(pen);
    QPainterPath path;
    bool open = false;
    for (int x = 0; x < w; ++x) {
      if (values[x] == none) {
        open = false;
        continue;
      }
      const QPointF point(axis.left + x + 0.5, y(values[x]));
      if (!open) path.moveTo(point);
      else path.lineTo(point);
      open = true;
    }
    p.drawPath(path);
  };
  // Rows drawn wide under the columns, so equal levels still show both.
  polyline(rowDb, QPen(kRowColour, 4));
  polyline(colDb, QPen(kColColour, 1.5));
  if (!robust) polyline(sumDb, QPen(kSum, 1));
  polyline(energyDb, QPen(kEnergy, 1.5, Qt::DashLine));
  if (!robust) {
    const double threshold = y(PowerDb(kDtmfMinTonePower));
    p.setPen(QPen(kThreshold, 1.5, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), threshold), QPointF(plot.right(), threshold));
    p.setPen(kThreshold);
    p.drawText(QRectF(r.right() + 6, threshold - 8, kRightMargin - 8, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("10⁹ minimum"));
  }
  // The decision strip: green where a block carried a digit.
  const QRect strip(r.left() + 1, r.bottom() - stripHeight, r.width() - 2, stripHeight);
  p.fillRect(strip, QColor(245, 245, 245));
  for (int x = 0; x < w; ++x) {
    if (decision[x] > 0) p.fillRect(axis.left + x, strip.top() + 2, 1, strip.height() - 4, kToneBlock);
  }
  p.setPen(kText);
  p.drawText(QRect(r.right() + 6, strip.top(), kRightMargin - 8, strip.height()), Qt::AlignLeft | Qt::AlignVCenter,
             robust ? QStringLiteral("key followed") : QStringLiteral("block decisions"));
  // Block digits when there is room to write them.
  const double blockWidth = axis.X(robust ? kRobustSubBlock : kDtmfBlockSize) - axis.X(0);
  if (blockWidth >= fm.horizontalAdvance(QStringLiteral("0")) + 4) {
    for (const auto& b : d.blocks) {
      const double x0 = axis.X(b.start);
      p.setPen(QPen(QColor(200, 200, 200), 1));
      p.drawLine(QPointF(x0, strip.top()), QPointF(x0, strip.bottom()));
      if (b.result > 0) {
        p.setPen(Qt::white);
        p.drawText(QRectF(x0, strip.top(), blockWidth, strip.height()), Qt::AlignCenter,
                   QString(QChar(static_cast<char>(b.result))));
      }
    }
  }
  // Admitted digits: a marker and a label at the time they were admitted.
  const QFont font = p.font();
  QFont big = p.font();
  big.setBold(true);
  big.setPixelSize(big.pixelSize() + 3);
  p.save();
  p.setFont(big);
  int lastLabelRight = std::numeric_limits<int>::min();
  for (const auto& digit : d.digits) {
    const double x = axis.X(static_cast<double>(digit.position));
    if (robust) {
      // The tone's extent, and its measures when there is room.
      const double x1 = axis.X(static_cast<double>(digit.position + digit.duration));
      p.fillRect(QRectF(x, labelTop + 18, std::max(1.0, x1 - x), 3), kDigitColour);
      const QString measures = QStringLiteral("%1/%2 dBm0, twist %3 dB, SNR %4 dB")
                                   .arg(digit.lowLevel, 0, 'f', 1).arg(digit.highLevel, 0, 'f', 1)
                                   .arg(digit.twist, 0, 'f', 1).arg(digit.snr, 0, 'f', 0);
      const QFontMetrics small(font);
      if (x1 - x > small.horizontalAdvance(measures) + 30) {
        p.save();
        p.setFont(font);
        p.drawText(QRectF(x + 22, labelTop, x1 - x - 22, 18), Qt::AlignLeft | Qt::AlignVCenter, measures);
        p.restore();
      }
    }
    p.setPen(QPen(kDigitColour, 1, Qt::DotLine));
    p.drawLine(QPointF(x, labelTop + 18), QPointF(x, strip.top()));
    p.setPen(kDigitColour);
    const int left = static_cast<int>(x) - 10;
    if (left > lastLabelRight) {
      p.drawText(QRect(left, labelTop, 20, 18), Qt::AlignCenter, QString(QChar(digit.digit)));
      lastLabelRight = left + 20;
    }
  }
  p.restore();
  DrawLegend(p, legend, r, frame.placed);
}

}  // namespace quorvane::plot
