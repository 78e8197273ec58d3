#include "plot_qt/panel_painting.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

#include "codec/ulaw.h"

namespace quorvane::plot {
namespace {

// Notes where `text` went when drawn into `local` (painter coordinates).
void Note(QPainter& p, PlacedTexts* placed, const QRect& local, int flags, const QString& text, const QRect& room) {
  if (!placed) return;
  const QRect extent = QFontMetrics(p.font()).boundingRect(local, flags, text);
  placed->push_back({PlacedText::Kind::kPanelTitle, p.transform().mapRect(extent), room, text});
}

}  // namespace

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

void DrawFrame(QPainter& p, const PanelFrame& frame) {
  const QRect& r = frame.rect;
  p.setPen(QPen(kFrame, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.save();
  p.setPen(kText);
  p.setFont(PanelTitleFont());
  const int flags = Qt::AlignCenter;
  if (!frame.titlesWrapped) {
    // One line along the panel's middle, in the margin's left part.
    p.translate(14, r.center().y());
    p.rotate(-90);
    const QRect line(-r.height() / 2, -10, r.height(), 20);
    p.drawText(line, flags, frame.title.front());
    Note(p, frame.placed, line, flags, frame.title.front(), QRect(0, r.top(), r.left(), r.height()));
  } else {
    // Lines side by side, read from the bottom up, centred in the title column.
    const int spacing = QFontMetrics(p.font()).lineSpacing();
    const auto lines = static_cast<int>(frame.title.size());
    p.translate((frame.titleColumn - lines * spacing) / 2, r.center().y());
    p.rotate(-90);
    for (int i = 0; i < lines; ++i) {
      const QRect line(-r.height() / 2, i * spacing, r.height(), spacing);
      p.drawText(line, flags, frame.title[i]);
      Note(p, frame.placed, line, flags, frame.title[i], QRect(0, r.top(), frame.titleColumn, r.height()));
    }
  }
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

void ScaleLabels::Add(int y, const QString& text) {
  p_.drawLine(panel_.left() - 4, y, panel_.left(), y);
  if (any_ && std::abs(y - last_) < spacing_) return;
  p_.drawText(QRect(panel_.left() - 60, y - 8, 54, 16), Qt::AlignRight | Qt::AlignVCenter, text);
  any_ = true;
  last_ = y;
}

void SpreadLabels(std::vector<double>& centres, double gap, double low, double high) {
  if (centres.empty()) return;
  for (std::size_t i = 1; i < centres.size(); ++i) centres[i] = std::max(centres[i], centres[i - 1] + gap);
  if (centres.back() > high) {
    centres.back() = high;
    for (std::size_t i = centres.size() - 1; i-- > 0;) centres[i] = std::min(centres[i], centres[i + 1] - gap);
  }
  if (centres.front() < low) {
    const double shift = low - centres.front();
    for (double& c : centres) c += shift;
  }
}

}  // namespace quorvane::plot
