#include "plot_qt/plot_painter.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

#include "codec/ulaw.h"
#include "plot_qt/panel_painting.h"

namespace quorvane::plot {
namespace {

void Note(QPainter& p, PlacedTexts* placed, PlacedText::Kind kind, const QRect& rect, int flags, const QString& text,
          const QRect& room) {
  if (placed) placed->push_back({kind, QFontMetrics(p.font()).boundingRect(rect, flags, text), room, text});
}

void DrawHeading(QPainter& p, const PanelLayout& layout, PlacedTexts* placed) {
  const QRect& r = layout.heading;
  const int flags = Qt::AlignLeft | Qt::AlignVCenter;
  p.setPen(kText);
  p.save();
  p.setFont(HeadingFont());
  if (!layout.headingWrapped) {
    const QRect title = r.adjusted(kHeadingLeft, 2, -kHeadingRight, -r.height() / 2);
    p.drawText(title, flags, layout.titleLines.front());
    Note(p, placed, PlacedText::Kind::kHeading, title, flags, layout.titleLines.front(), r);
    p.restore();
    const QRect subtitle = r.adjusted(kHeadingLeft, r.height() / 2, -kHeadingRight, 0);
    p.drawText(subtitle, flags, layout.subtitleLines.front());
    Note(p, placed, PlacedText::Kind::kHeading, subtitle, flags, layout.subtitleLines.front(), r);
    return;
  }
  // Lines under each other, the subtitle's in the plain font.
  const int width = r.width() - kHeadingLeft - kHeadingRight;
  int y = r.top() + 2;
  for (const QString& line : layout.titleLines) {
    const QRect box(kHeadingLeft, y, width, layout.titleLineHeight);
    p.drawText(box, flags, line);
    Note(p, placed, PlacedText::Kind::kHeading, box, flags, line, r);
    y += layout.titleLineHeight;
  }
  p.restore();
  for (const QString& line : layout.subtitleLines) {
    const QRect box(kHeadingLeft, y, width, layout.subtitleLineHeight);
    p.drawText(box, flags, line);
    Note(p, placed, PlacedText::Kind::kHeading, box, flags, line, r);
    y += layout.subtitleLineHeight;
  }
}

void DrawTimeAxis(QPainter& p, const PanelLayout& layout, const TimeAxis& axis, const QSize& size,
                  PlacedTexts* placed) {
  const QRect& r = layout.timeAxis;
  const double from = static_cast<double>(axis.grid.first) / kSampleRate;
  const double to = static_cast<double>(axis.grid.end) / kSampleRate;
  const double step = NiceStep(to - from, std::max(2, axis.width / 110));
  p.setPen(kText);
  for (double t = std::ceil(from / step) * step; t <= to + 1e-9; t += step) {
    const int x = static_cast<int>(std::lround(axis.X(t * kSampleRate)));
    p.drawLine(x, r.top(), x, r.top() + 5);
    p.drawText(QRect(x - 50, r.top() + 6, 100, 16), Qt::AlignHCenter | Qt::AlignTop, SecondsText(t, step));
  }
  // Under the labels, or on a short canvas right of them.
  const QRect title = layout.tight ? QRect(r.right() + 6, r.top() + 6, kRightMargin - 8, 16)
                                   : QRect(axis.left, r.top() + 22, axis.width, 16);
  const int flags = (layout.tight ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
  p.drawText(title, flags, QStringLiteral("time [s]"));
  Note(p, placed, PlacedText::Kind::kAxisTitle, title, flags, QStringLiteral("time [s]"),
       QRect(r.left(), r.top(), size.width() - r.left(), r.height()));
}

}  // namespace

void PaintPlot(QPainter& p, const PlotData& data, const QSize& size, const QString& subtitle, PlacedTexts* placed) {
  const PanelLayout layout = LayOutPanels(size, OutlineOf(data, subtitle));
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setFont(PlotFont());
  p.fillRect(QRect(QPoint(0, 0), size), kBackground);
  const TimeAxis axis{data.grid, layout.plotLeft, layout.plotWidth};
  auto frame = [&](PanelKind kind) {
    return PanelFrame{layout.panels[kind], layout.panelTitles[kind], layout.titlesWrapped, layout.titleColumn, placed};
  };
  DrawHeading(p, layout, placed);
  DrawWaveform(p, frame(kWaveformPanel), axis, data.waveform);
  DrawSpectrogram(p, frame(kSpectrogramPanel), axis, data.spectrogram,
                  data.callerId ? data.callerId->plan : TonePlan::Bell202, data.callerId.has_value());
  if (data.dtmf) DrawDtmf(p, frame(kDtmfPanel), axis, *data.dtmf);
  if (data.callerId) DrawCallerId(p, frame(kCallerIdPanel), axis, *data.callerId);
  DrawTimeAxis(p, layout, axis, size, placed);
  p.restore();
}

}  // namespace quorvane::plot
