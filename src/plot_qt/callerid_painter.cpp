#include <QFontMetrics>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

#include "callerid/exact/fsk_receiver.h"
#include "plot_qt/legend.h"
#include "plot_qt/panel_painting.h"

namespace quorvane::plot {
namespace {

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

}  // namespace

void DrawCallerId(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const CallerIdPanel& c) {
  const QRect& r = frame.rect;
  DrawFrame(p, frame);
  DrawVerticalGrid(p, r, axis);
  const QFontMetrics fm(p.font());
  const bool v23 = c.plan == TonePlan::V23;
  const QString plan = v23 ? QStringLiteral("V.23") : QStringLiteral("Bell 202");
  const LegendLayout legend = LayOutLegend(
      fm, r,
      {{kTrace, QStringLiteral("low-pass output (%1; > 0 is mark)").arg(plan), Qt::SolidLine,
        QStringLiteral("low-pass (%1)").arg(plan)},
       {kMark, QStringLiteral("bit sampled as 1 (mark)"), Qt::SolidLine, QStringLiteral("bit 1")},
       {kSpace, QStringLiteral("bit sampled as 0 (space)"), Qt::SolidLine, QStringLiteral("bit 0")},
       {kDigitColour, QStringLiteral("message accepted"), Qt::DotLine, QStringLiteral("message")}});
  const int band = kLegendBand + (legend.rows - 1) * legend.rowHeight;
  const int charHeight = 20;
  const QRect plot = r.adjusted(1, band + 4, -1, -charHeight - 4);
  float peak = 1.0f;
  for (std::size_t i = 0; i < c.traceMin.size(); ++i) peak = std::max({peak, -c.traceMin[i], c.traceMax[i]});
  const double mid = plot.center().y();
  const double scale = (plot.height() / 2.0 - 2) / peak;
  auto y = [&](double v) { return mid - v * scale; };
  p.setPen(kText);
  ScaleLabels ticks(p, r, fm.height());
  for (double v : {-static_cast<double>(peak), 0.0, static_cast<double>(peak)}) {
    ticks.Add(static_cast<int>(std::lround(y(v))), QString::number(v, 'f', std::abs(v) >= 10 ? 0 : 2));
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
  // Up to three rows of labels, as many as the height holds; a label that
  // finds no room is left out (its marker stays), so a zoomed-out view
  // never piles them up.
  const int spare = plot.height() - 9 - bfm.height();
  const int labelRows = spare < 0 ? 0 : std::min(3, spare / (bfm.height() + 6) + 1);
  int rowRight[3] = {std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};
  for (const auto& m : c.messages) {
    const double x = axis.X(static_cast<double>(m.position));
    p.setPen(QPen(kDigitColour, 1, Qt::DotLine));
    p.drawLine(QPointF(x, r.top() + band), QPointF(x, strip.top()));
    const QString text = QStringLiteral("✔ ") + MessageText(m);
    const int width = bfm.horizontalAdvance(text) + 10;
    const int left = std::clamp(static_cast<int>(x) - width, r.left() + 2, r.right() - width - 2);
    const int row = static_cast<int>(std::find_if(rowRight, rowRight + labelRows, [left](int right) { return left > right; }) - rowRight);
    if (row == labelRows) continue;
    rowRight[row] = left + width + 4;
    const QRect box(left, plot.top() + 4 + row * (bfm.height() + 6), width, bfm.height() + 4);
    p.setPen(kDigitColour);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(box);
    p.drawText(box, Qt::AlignCenter, text);
  }
  p.restore();
  DrawLegend(p, legend, r, frame.placed);
}

}  // namespace quorvane::plot
