#include "plot_qt/legend.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

#include "plot_qt/text_fit.h"

namespace quorvane::plot {
namespace {

constexpr int kInset = 6;        // from the panel's right edge
constexpr int kTop = 5;          // from the panel's top
constexpr int kPadding = 8;      // inside the frame, before the first swatch
constexpr int kSwatch = 20;
constexpr int kSwatchToText = 26;
constexpr int kAfterText = 10;

const QColor kFrame(90, 90, 90);
const QColor kText(30, 30, 30);

int ItemWidth(const QFontMetrics& metrics, const QString& text) {
  return kSwatchToText + metrics.horizontalAdvance(text) + kAfterText;
}

// Row of each item when the rows may be `width` wide.
std::vector<int> FlowRows(const QFontMetrics& metrics, const std::vector<LegendItem>& items, int width) {
  std::vector<int> rows;
  int row = 0;
  int used = kPadding;
  for (const auto& item : items) {
    const int w = ItemWidth(metrics, item.text);
    if (used > kPadding && used + w > width) {
      ++row;
      used = kPadding;
    }
    used += w;
    rows.push_back(row);
  }
  return rows;
}

std::vector<LegendItem> Texts(const std::vector<LegendItem>& items, bool brief, const QFontMetrics& metrics,
                              int width) {
  std::vector<LegendItem> chosen = items;
  const int room = width - kPadding - kSwatchToText - kAfterText;
  for (auto& item : chosen) {
    if (brief && !item.brief.isEmpty()) item.text = item.brief;
    item.text = Elided(item.text, metrics, room);
  }
  return chosen;
}

}  // namespace

LegendLayout LayOutLegend(const QFontMetrics& metrics, const QRect& panel, const std::vector<LegendItem>& items) {
  LegendLayout legend;
  if (items.empty()) return legend;
  const int width = panel.width() - 2 * kInset;
  legend.rowHeight = metrics.height() + 4;
  legend.items = Texts(items, false, metrics, width);
  std::vector<int> rows = FlowRows(metrics, legend.items, width);
  // A legend may take a quarter of its panel's height before it shortens.
  const int fullRows = rows.back() + 1;
  if (fullRows > std::max(1, panel.height() / (4 * legend.rowHeight))) {
    legend.items = Texts(items, true, metrics, width);
    rows = FlowRows(metrics, legend.items, width);
  }
  legend.rows = rows.back() + 1;
  std::vector<int> rowWidth(static_cast<std::size_t>(legend.rows), kPadding);
  for (std::size_t i = 0; i < legend.items.size(); ++i) {
    rowWidth[static_cast<std::size_t>(rows[i])] += ItemWidth(metrics, legend.items[i].text);
  }
  const int boxWidth = *std::max_element(rowWidth.begin(), rowWidth.end());
  legend.box = QRect(panel.right() - boxWidth - kInset, panel.top() + kTop, boxWidth,
                     legend.rows * legend.rowHeight + 4);
  // One row sits on the frame's middle; more rows are stacked from its top.
  int x = legend.box.left() + kPadding;
  for (std::size_t i = 0; i < legend.items.size(); ++i) {
    if (i > 0 && rows[i] != rows[i - 1]) x = legend.box.left() + kPadding;
    const int y = legend.rows == 1 ? legend.box.center().y()
                                   : legend.box.top() + 2 + rows[i] * legend.rowHeight + (legend.rowHeight - 1) / 2;
    legend.swatches.emplace_back(x, y);
    x += ItemWidth(metrics, legend.items[i].text);
  }
  return legend;
}

void DrawLegend(QPainter& p, const LegendLayout& legend, const QRect& room, PlacedTexts* placed) {
  if (legend.items.empty()) return;
  const QFontMetrics metrics(p.font());
  p.setPen(QPen(kFrame, 1));
  p.setBrush(QColor(255, 255, 255, 225));
  p.drawRect(legend.box);
  QString texts;
  for (std::size_t i = 0; i < legend.items.size(); ++i) {
    const LegendItem& item = legend.items[i];
    const QPoint at = legend.swatches[i];
    p.setPen(QPen(item.colour, 2, item.style));
    p.drawLine(at.x(), at.y(), at.x() + kSwatch, at.y());
    p.setPen(kText);
    const QPoint baseline(at.x() + kSwatchToText, at.y() + metrics.ascent() / 2 - 1);
    p.drawText(baseline, item.text);
    if (placed) {
      const QRect extent(baseline.x(), baseline.y() - metrics.ascent(), metrics.horizontalAdvance(item.text),
                         metrics.height());
      placed->push_back({PlacedText::Kind::kLegendText, extent, legend.box, item.text});
      texts += (texts.isEmpty() ? QString() : QStringLiteral(" | ")) + item.text;
    }
  }
  // The frame's pen reaches one pixel past the rectangle's right and bottom.
  if (placed) placed->push_back({PlacedText::Kind::kLegend, legend.box.adjusted(0, 0, 1, 1), room, texts});
}

}  // namespace quorvane::plot
