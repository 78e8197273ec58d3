#include "plot_qt/plot_painter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/robust/detector.h"
#include "callerid/exact/fsk_receiver.h"

namespace quorvane::plot {
namespace {

constexpr int kLeftMargin = 78;
constexpr int kRightMargin = 118;
constexpr int kTitleHeight = 46;
constexpr int kAxisHeight = 40;
constexpr int kPanelGap = 10;
constexpr int kLegendBand = 26;  // top of the detector panels, kept for the legend

const QColor kBackground(255, 255, 255);
const QColor kFrame(90, 90, 90);
const QColor kGrid(225, 225, 225);
const QColor kText(30, 30, 30);
const QColor kWave(31, 96, 170);
const QColor kLevelLine(200, 120, 0);
const QColor kRowColour(110, 170, 230);
const QColor kSum(40, 40, 40);
const QColor kColColour(230, 120, 20);
const QColor kThreshold(200, 30, 30);
const QColor kEnergy(130, 130, 130);
const QColor kToneBlock(60, 160, 60);
const QColor kDigitColour(150, 0, 150);
const QColor kTrace(20, 120, 120);
const QColor kMark(31, 119, 180);
const QColor kSpace(230, 120, 20);
const QColor kBadCharacter(200, 30, 30);
const QColor kDtmfMarker(255, 255, 255);
const QColor kFskMarker(255, 80, 200);

// Maps samples and pixel columns of the plot to x.
struct TimeAxis {
  ColumnGrid grid;
  int left;
  int width;
  double X(double sample) const {
    return left + (sample - static_cast<double>(grid.first)) * width / static_cast<double>(grid.Samples());
  }
};

double NiceStep(double span, int wanted) {
  const double raw = span / std::max(1, wanted);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
}

QString SecondsText(double seconds, double step) {
  const int decimals = step >= 1.0 ? 0 : std::min(4, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
  return QString::number(seconds, 'f', decimals);
}

void DrawFrame(QPainter& p, const QRect& r, const QString& label, const QString& unit) {
  p.setPen(QPen(kFrame, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.save();
  p.setPen(kText);
  QFont bold = p.font();
  bold.setBold(true);
  p.setFont(bold);
  p.translate(14, r.center().y());
  p.rotate(-90);
  const QString text = unit.isEmpty() ? label : label + QStringLiteral("  [") + unit + QStringLiteral("]");
  p.drawText(QRect(-r.height() / 2, -10, r.height(), 20), Qt::AlignCenter, text);
  p.restore();
}

void DrawVerticalGrid(QPainter& p, const QRect& r, const TimeAxis& axis) {
  const double from = static_cast<double>(axis.grid.first) / kSampleRate;
  const double to = static_cast<double>(axis.grid.end) / kSampleRate;
  const double step = NiceStep(to - from, std::max(2, axis.width / 110));
  p.setPen(QPen(kGrid, 1));
  for (double t = std::ceil(from / step) * step; t <= to + 1e-9; t += step) {
    const int x = static_cast<int>(std::lround(axis.X(t * kSampleRate)));
    p.drawLine(x, r.top() + 1, x, r.bottom() - 1);
  }
}

// A row of coloured swatches and names in the top right corner of a panel.
struct LegendItem {
  QColor colour;
  QString text;
  Qt::PenStyle style;
};
void DrawLegend(QPainter& p, const QRect& panel, const std::vector<LegendItem>& items) {
  const QFontMetrics fm(p.font());
  int width = 8;
  for (const auto& item : items) width += 26 + fm.horizontalAdvance(item.text) + 10;
  const QRect box(panel.right() - width - 6, panel.top() + 5, width, fm.height() + 8);
  p.setPen(QPen(kFrame, 1));
  p.setBrush(QColor(255, 255, 255, 225));
  p.drawRect(box);
  int x = box.left() + 8;
  const int y = box.center().y();
  for (const auto& item : items) {
    p.setPen(QPen(item.colour, 2, item.style));
    p.drawLine(x, y, x + 20, y);
    x += 26;
    p.setPen(kText);
    p.drawText(QPoint(x, y + fm.ascent() / 2 - 1), item.text);
    x += fm.horizontalAdvance(item.text) + 10;
  }
}

void DrawTitle(QPainter& p, const QRect& r, const PlotData& data, const QString& subtitle) {
  p.setPen(kText);
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(font.pixelSize() + 4);
  p.save();
  p.setFont(font);
  const double from = static_cast<double>(data.grid.first) / kSampleRate;
  const double to = static_cast<double>(data.grid.end) / kSampleRate;
  const QString range = QStringLiteral("%1 s to %2 s").arg(from, 0, 'f', 3).arg(to, 0, 'f', 3);
  p.drawText(r.adjusted(kLeftMargin, 2, -8, -r.height() / 2), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromStdString(data.title) + QStringLiteral("   —   ") + range);
  p.restore();
  p.drawText(r.adjusted(kLeftMargin, r.height() / 2, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
}

void DrawTimeAxis(QPainter& p, const QRect& r, const TimeAxis& axis) {
  const double from = static_cast<double>(axis.grid.first) / kSampleRate;
  const double to = static_cast<double>(axis.grid.end) / kSampleRate;
  const double step = NiceStep(to - from, std::max(2, axis.width / 110));
  p.setPen(kText);
  for (double t = std::ceil(from / step) * step; t <= to + 1e-9; t += step) {
    const int x = static_cast<int>(std::lround(axis.X(t * kSampleRate)));
    p.drawLine(x, r.top(), x, r.top() + 5);
    p.drawText(QRect(x - 50, r.top() + 6, 100, 16), Qt::AlignHCenter | Qt::AlignTop, SecondsText(t, step));
  }
  p.drawText(QRect(axis.left, r.top() + 22, axis.width, 16), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("time [s]"));
}

// ---- waveform ----

void DrawWaveform(QPainter& p, const QRect& r, const TimeAxis& axis, const WaveformPanel& w) {
  DrawFrame(p, r, QStringLiteral("Waveform"), QStringLiteral("sample"));
  DrawVerticalGrid(p, r, axis);
  const double mid = r.top() + r.height() / 2.0;
  const double scale = (r.height() / 2.0 - 4) / 32768.0;
  auto y = [&](double v) { return mid - v * scale; };
  // The left scale in sample values, the right one in dBm0 of a sine peak.
  p.setPen(kText);
  for (int v : {-32768, -16384, 0, 16384, 32767}) {
    const int yy = static_cast<int>(std::lround(y(v)));
    p.drawLine(r.left() - 4, yy, r.left(), yy);
    p.drawText(QRect(r.left() - 60, yy - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
  }
  for (double dbm0 : {3.0, 0.0, -10.0, -20.0}) {
    const double peak = Dbm0ToPeak(dbm0);
    if (peak > 32767) continue;
    for (double sign : {1.0, -1.0}) {
      const int yy = static_cast<int>(std::lround(y(sign * peak)));
      p.setPen(QPen(kLevelLine, 1, Qt::DotLine));
      p.drawLine(r.left() + 1, yy, r.right() - 1, yy);
      p.setPen(kLevelLine);
      p.drawLine(r.right(), yy, r.right() + 4, yy);
      if (sign > 0) {
        p.drawText(QRect(r.right() + 6, yy - 8, kRightMargin - 8, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1 dBm0").arg(dbm0, 0, 'f', 0));
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
  DrawLegend(p, r, {{kWave, w.samples.empty() ? QStringLiteral("min/max per pixel") : QStringLiteral("samples"),
                     Qt::SolidLine},
                    {kLevelLine, QStringLiteral("sine peak at level (0 dBm0 = 22700)"), Qt::DotLine}});
}

// ---- spectrogram ----

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

void DrawSpectrogram(QPainter& p, const QRect& r, const TimeAxis& axis, const SpectrogramPanel& s,
                     TonePlan plan, bool showFsk) {
  DrawFrame(p, r, QStringLiteral("Spectrogram"), QStringLiteral("kHz"));
  QImage image(s.columns, kSpectrumBins, QImage::Format_RGB32);
  for (int c = 0; c < s.columns; ++c) {
    for (int b = 0; b < kSpectrumBins; ++b) {
      image.setPixel(c, kSpectrumBins - 1 - b, HeatColour((s.At(c, b) - kSpectrumLow) / (kSpectrumHigh - kSpectrumLow)));
    }
  }
  const QRect inner = r.adjusted(1, 1, -1, -1);
  p.drawImage(QRect(axis.left, inner.top(), axis.width, inner.height()), image);
  auto y = [&](double hz) { return inner.bottom() - hz / 4000.0 * inner.height(); };
  p.setPen(kText);
  for (int khz = 0; khz <= 4; ++khz) {
    const int yy = static_cast<int>(std::lround(y(khz * 1000.0)));
    p.drawLine(r.left() - 4, yy, r.left(), yy);
    p.drawText(QRect(r.left() - 60, yy - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(khz));
  }
  // The tones the detectors listen for, named on the right.
  auto line = [&](double hz, const QColor& colour) {
    p.setPen(QPen(colour, 1, Qt::DashLine));
    p.drawLine(QPointF(inner.left(), y(hz)), QPointF(inner.right(), y(hz)));
  };
  auto label = [&](double hz, const QColor& colour, const QString& name) {
    p.setPen(colour);
    p.drawText(QRectF(r.right() + 6, y(hz) - 7, kRightMargin - 8, 14), Qt::AlignLeft | Qt::AlignVCenter, name);
  };
  for (float hz : DtmfRowFreqs) line(hz, kDtmfMarker);
  for (float hz : DtmfColFreqs) line(hz, kDtmfMarker);
  label(1560, kText, QStringLiteral("DTMF 1209–1633"));
  label(800, kText, QStringLiteral("DTMF 697–941"));
  if (showFsk) {
    const bool v23 = plan == TonePlan::V23;
    const double markHz = v23 ? 1300 : 1200;
    const double spaceHz = v23 ? 2100 : 2200;
    line(markHz, kFskMarker);
    line(spaceHz, kFskMarker);
    label(markHz - 130, kFskMarker, QStringLiteral("FSK mark %1").arg(markHz));
    label(spaceHz, kFskMarker, QStringLiteral("FSK space %1").arg(spaceHz));
  }
  // Colour scale.
  const QFontMetrics fm(p.font());
  const int barWidth = 130;
  const QRect bar(r.right() - barWidth - 60, r.bottom() - 22, barWidth, 10);
  p.fillRect(bar.adjusted(-52, -6, 58, 6), QColor(255, 255, 255, 225));
  for (int i = 0; i < barWidth; ++i) p.fillRect(bar.left() + i, bar.top(), 1, bar.height(), QColor(HeatColour(i / double(barWidth - 1))));
  p.setPen(kText);
  p.drawText(QRect(bar.left() - 50, bar.top() - 3, 46, 16), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("%1").arg(kSpectrumLow, 0, 'f', 0));
  p.drawText(QRect(bar.right() + 4, bar.top() - 3, 56, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("0 dBm0"));
  DrawLegend(p, r, {{kDtmfMarker.darker(160), QStringLiteral("DTMF tones"), Qt::DashLine}} );
  if (showFsk) {
    DrawLegend(p, r.adjusted(0, 0, -150, 0), {{kFskMarker, QStringLiteral("FSK tone pair"), Qt::DashLine}});
  }
  (void)fm;
}

// ---- DTMF ----

constexpr int kRobustSubBlock = kRobustDtmfSubBlock;
constexpr double kPowerLowDb = 50.0;   // 10 log10 of Goertzel power at the bottom
constexpr double kPowerHighDb = 135.0;

double PowerDb(double power) { return power > 0 ? 10.0 * std::log10(power) : kPowerLowDb; }

void DrawDtmf(QPainter& p, const QRect& r, const TimeAxis& axis, const DtmfPanel& d) {
  const bool robust = d.profile == DtmfProfile::kRobust;
  DrawFrame(p, r, robust ? QStringLiteral("Robust DTMF detector") : QStringLiteral("DTMF detector"),
            QStringLiteral("dB power"));
  DrawVerticalGrid(p, r, axis);
  const int stripHeight = 18;
  const QRect plot = r.adjusted(1, kLegendBand + 22, -1, -stripHeight - 2);
  auto y = [&](double db) {
    const double t = std::clamp((db - kPowerLowDb) / (kPowerHighDb - kPowerLowDb), 0.0, 1.0);
    return plot.bottom() - t * plot.height();
  };
  p.setPen(kText);
  for (double db = 60; db <= kPowerHighDb; db += 20) {
    const int yy = static_cast<int>(std::lround(y(db)));
    p.drawLine(r.left() - 4, yy, r.left(), yy);
    p.drawText(QRect(r.left() - 60, yy - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(db, 'f', 0));
  }
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
  const QFontMetrics fm(p.font());
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
      p.fillRect(QRectF(x, r.top() + kLegendBand + 20, std::max(1.0, x1 - x), 3), kDigitColour);
      const QString measures = QStringLiteral("%1/%2 dBm0, twist %3 dB, SNR %4 dB")
                                   .arg(digit.lowLevel, 0, 'f', 1).arg(digit.highLevel, 0, 'f', 1)
                                   .arg(digit.twist, 0, 'f', 1).arg(digit.snr, 0, 'f', 0);
      const QFontMetrics small(font);
      if (x1 - x > small.horizontalAdvance(measures) + 30) {
        p.save();
        p.setFont(font);
        p.drawText(QRectF(x + 22, r.top() + kLegendBand + 2, x1 - x - 22, 18), Qt::AlignLeft | Qt::AlignVCenter, measures);
        p.restore();
      }
    }
    p.setPen(QPen(kDigitColour, 1, Qt::DotLine));
    p.drawLine(QPointF(x, r.top() + kLegendBand + 20), QPointF(x, strip.top()));
    p.setPen(kDigitColour);
    const int left = static_cast<int>(x) - 10;
    if (left > lastLabelRight) {
      p.drawText(QRect(left, r.top() + kLegendBand + 2, 20, 18), Qt::AlignCenter, QString(QChar(digit.digit)));
      lastLabelRight = left + 20;
    }
  }
  p.restore();
  if (robust) {
    DrawLegend(p, r, {{kRowColour, QStringLiteral("row tone (max of 697–941 Hz), per 5 ms"), Qt::SolidLine},
                      {kColColour, QStringLiteral("column tone (max of 1209–1633 Hz)"), Qt::SolidLine},
                      {kEnergy, QStringLiteral("sub-block energy"), Qt::DashLine},
                      {kDigitColour, QStringLiteral("reported tone and its measures"), Qt::SolidLine}});
    return;
  }
  DrawLegend(p, r.adjusted(0, 0, 0, 0),
             {{kRowColour, QStringLiteral("row tone (max of 697–941 Hz)"), Qt::SolidLine},
              {kColColour, QStringLiteral("column tone (max of 1209–1633 Hz)"), Qt::SolidLine},
              {kSum, QStringLiteral("row + column"), Qt::SolidLine},
              {kEnergy, QStringLiteral("42 × block energy (row + column must exceed)"), Qt::DashLine},
              {kThreshold, QStringLiteral("tone threshold"), Qt::DashLine},
              {kDigitColour, QStringLiteral("admitted digit"), Qt::DotLine}});
}

// ---- caller ID ----

QString MessageText(const FskMessageView& m) {
  QString text = m.messageType == kMultipleDataMessage ? QStringLiteral("MDMF") : QStringLiteral("SDMF");
  text += QStringLiteral("  number: ");
  if (!m.number.empty()) text += QString::fromLatin1(m.number.c_str());
  else text += (m.statusFlags & NumberWithheld) ? QStringLiteral("(withheld)") : QStringLiteral("(unavailable)");
  text += QStringLiteral("  name: ");
  if (!m.name.empty()) text += QString::fromLatin1(m.name.c_str());
  else text += (m.statusFlags & NameWithheld) ? QStringLiteral("(withheld)") : QStringLiteral("(unavailable)");
  return text;
}

QString ByteText(std::int32_t value) {
  const int byte = value & 0xFF;
  QString text = QStringLiteral("%1").arg(byte, 2, 16, QChar('0'));
  if (byte >= 0x20 && byte < 0x7F) text += QStringLiteral(" '") + QChar(byte) + QStringLiteral("'");
  return text;
}

void DrawCallerId(QPainter& p, const QRect& r, const TimeAxis& axis, const CallerIdPanel& c) {
  DrawFrame(p, r, QStringLiteral("Caller-ID demodulator"), QStringLiteral("low-pass"));
  DrawVerticalGrid(p, r, axis);
  const int charHeight = 20;
  const QRect plot = r.adjusted(1, kLegendBand + 4, -1, -charHeight - 4);
  float peak = 1.0f;
  for (std::size_t i = 0; i < c.traceMin.size(); ++i) peak = std::max({peak, -c.traceMin[i], c.traceMax[i]});
  const double mid = plot.center().y();
  const double scale = (plot.height() / 2.0 - 2) / peak;
  auto y = [&](double v) { return mid - v * scale; };
  p.setPen(kText);
  for (double v : {-static_cast<double>(peak), 0.0, static_cast<double>(peak)}) {
    const int yy = static_cast<int>(std::lround(y(v)));
    p.drawLine(r.left() - 4, yy, r.left(), yy);
    p.drawText(QRect(r.left() - 60, yy - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'f', std::abs(v) >= 10 ? 0 : 2));
  }
  p.setPen(QPen(QColor(160, 160, 160), 1));
  p.drawLine(QPointF(plot.left(), mid), QPointF(plot.right(), mid));
  p.setPen(QPen(kTrace, 1));
  if (!c.trace.empty()) {
    QPainterPath path;
    for (std::size_t i = 0; i < c.trace.size(); ++i) {
      const QPointF point(axis.X(static_cast<double>(axis.grid.first + static_cast<std::int64_t>(i)) + 0.5), y(c.trace[i]));
      if (i == 0) path.moveTo(point);
      else path.lineTo(point);
    }
    p.drawPath(path);
  } else {
    for (std::size_t x = 0; x < c.traceMin.size(); ++x) {
      p.drawLine(QPointF(axis.left + x + 0.5, y(c.traceMax[x])), QPointF(axis.left + x + 0.5, y(c.traceMin[x]) + 0.01));
    }
  }
  // Bit decisions: where each bit was sampled, above the line for mark.
  const double bitSpacing = axis.X(20.0 / 3.0) - axis.X(0);
  const QFontMetrics fm(p.font());
  for (const auto& bit : c.bits) {
    const double x = axis.X(static_cast<double>(bit.position) + 0.5);
    const QColor colour = bit.mark ? kMark : kSpace;
    p.setPen(colour);
    p.setBrush(colour);
    const double yy = bit.mark ? plot.top() + 6 : plot.bottom() - 6;
    if (bitSpacing >= 12) {
      p.drawText(QRectF(x - 6, yy - 8, 12, 16), Qt::AlignCenter, bit.mark ? QStringLiteral("1") : QStringLiteral("0"));
    } else {
      p.drawRect(QRectF(x - 0.5, yy - 3, 1, 6));
    }
  }
  p.setBrush(Qt::NoBrush);
  // Characters: a box from the confirmed start bit to the end of the stop
  // bit, holding the byte when it fits; red when parity or framing failed.
  const QRect strip(r.left() + 1, r.bottom() - charHeight - 1, r.width() - 2, charHeight);
  p.fillRect(strip, QColor(245, 245, 245));
  for (const auto& ch : c.characters) {
    const double x0 = std::max<double>(axis.X(static_cast<double>(ch.start)), strip.left());
    const double x1 = std::min<double>(axis.X(static_cast<double>(ch.end)), strip.right());
    if (x1 <= x0) continue;
    const bool bad = ch.value > 255;
    const QRectF box(x0, strip.top() + 2, std::max(1.0, x1 - x0), strip.height() - 4);
    p.setPen(QPen(bad ? kBadCharacter : kTrace, 1));
    p.setBrush(bad ? QColor(250, 215, 215) : QColor(210, 235, 235));
    p.drawRect(box);
    // The byte in hex with its character, or the hex alone when narrow.
    const QString full = ByteText(ch.value);
    const QString text = box.width() > fm.horizontalAdvance(full) + 4 ? full : full.left(2);
    if (box.width() > fm.horizontalAdvance(text) + 4) {
      p.setPen(kText);
      p.drawText(box, Qt::AlignCenter, text);
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(kText);
  p.drawText(QRect(r.right() + 6, strip.top(), kRightMargin - 8, strip.height()), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("characters (hex)"));
  // Accepted messages: their fields at the time the checksum matched.
  QFont bold = p.font();
  bold.setBold(true);
  p.save();
  p.setFont(bold);
  const QFontMetrics bfm(bold);
  // Three rows of labels; a label that finds no room is left out (its
  // marker stays), so a zoomed-out view never piles them up.
  int rowRight[3] = {std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};
  for (const auto& m : c.messages) {
    const double x = axis.X(static_cast<double>(m.position));
    p.setPen(QPen(kDigitColour, 1, Qt::DotLine));
    p.drawLine(QPointF(x, r.top() + kLegendBand), QPointF(x, strip.top()));
    const QString text = QStringLiteral("✔ ") + MessageText(m);
    const int width = bfm.horizontalAdvance(text) + 10;
    const int left = std::clamp(static_cast<int>(x) - width, r.left() + 2, r.right() - width - 2);
    const int row = static_cast<int>(std::find_if(rowRight, rowRight + 3, [left](int right) { return left > right; }) - rowRight);
    if (row == 3) continue;
    rowRight[row] = left + width + 4;
    const QRect box(left, plot.top() + 4 + row * (bfm.height() + 6), width, bfm.height() + 4);
    p.setPen(kDigitColour);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, text);
  }
  p.restore();
  const bool v23 = c.plan == TonePlan::V23;
  DrawLegend(p, r, {{kTrace, QStringLiteral("low-pass output (%1; > 0 is mark)").arg(v23 ? "V.23" : "Bell 202"), Qt::SolidLine},
                    {kMark, QStringLiteral("bit sampled as 1 (mark)"), Qt::SolidLine},
                    {kSpace, QStringLiteral("bit sampled as 0 (space)"), Qt::SolidLine},
                    {kDigitColour, QStringLiteral("message accepted"), Qt::DotLine}});
}

}  // namespace

PanelLayout LayOutPanels(const QSize& size, bool dtmf, bool callerId) {
  PanelLayout layout;
  layout.title = QRect(0, 0, size.width(), kTitleHeight);
  layout.plotLeft = kLeftMargin;
  layout.plotWidth = std::max(1, size.width() - kLeftMargin - kRightMargin);
  const int top = kTitleHeight;
  const int bottom = size.height() - kAxisHeight;
  // Relative heights: the detector panels get a little more room.
  const double weights[4] = {1.0, 1.1, dtmf ? 1.2 : 0.0, callerId ? 1.2 : 0.0};
  const double total = weights[0] + weights[1] + weights[2] + weights[3];
  const int panels = 2 + (dtmf ? 1 : 0) + (callerId ? 1 : 0);
  const double room = std::max(0, bottom - top - kPanelGap * (panels - 1));
  QRect* panelRects[4] = {&layout.waveform, &layout.spectrogram, &layout.dtmf, &layout.callerId};
  double y = top;
  for (int i = 0; i < 4; ++i) {
    if (weights[i] == 0.0) continue;
    const double h = room * weights[i] / total;
    *panelRects[i] = QRect(kLeftMargin - 1, static_cast<int>(std::lround(y)), layout.plotWidth + 2, static_cast<int>(std::lround(h)));
    y += h + kPanelGap;
  }
  layout.timeAxis = QRect(kLeftMargin, bottom, layout.plotWidth, kAxisHeight);
  return layout;
}

int PlotColumns(const QSize& size) { return std::max(1, size.width() - kLeftMargin - kRightMargin); }

void PaintPlot(QPainter& p, const PlotData& data, const QSize& size, const QString& subtitle) {
  const PanelLayout layout = LayOutPanels(size, data.dtmf.has_value(), data.callerId.has_value());
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  p.setFont(font);
  p.fillRect(QRect(QPoint(0, 0), size), kBackground);
  const TimeAxis axis{data.grid, layout.plotLeft, layout.plotWidth};
  DrawTitle(p, layout.title, data, subtitle);
  DrawWaveform(p, layout.waveform, axis, data.waveform);
  DrawSpectrogram(p, layout.spectrogram, axis, data.spectrogram,
                  data.callerId ? data.callerId->plan : TonePlan::Bell202, data.callerId.has_value());
  if (data.dtmf) DrawDtmf(p, layout.dtmf, axis, *data.dtmf);
  if (data.callerId) DrawCallerId(p, layout.callerId, axis, *data.callerId);
  DrawTimeAxis(p, layout.timeAxis, axis);
  p.restore();
}

}  // namespace quorvane::plot
