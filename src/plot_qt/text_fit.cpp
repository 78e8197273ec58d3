#include "plot_qt/text_fit.h"

#include <algorithm>

namespace quorvane::plot {
namespace {

// Appends `pieces` to `lines`, joined by `glue` while the line has room.
void Fill(const QStringList& pieces, const QString& glue, const QFontMetrics& metrics, int width, QStringList& lines) {
  QString line;
  for (const QString& piece : pieces) {
    const QString longer = line.isEmpty() ? piece : line + glue + piece;
    if (metrics.horizontalAdvance(longer) <= width) {
      line = longer;
      continue;
    }
    if (!line.isEmpty()) lines.append(line);
    line = piece;
  }
  if (!line.isEmpty()) lines.append(line);
}

}  // namespace

QString Elided(const QString& text, const QFontMetrics& metrics, int width) {
  // Qt elides on the unrounded width; text that measures within the room stays whole.
  return metrics.horizontalAdvance(text) <= width ? text : metrics.elidedText(text, Qt::ElideMiddle, width);
}

QStringList WrapText(const QString& text, const QFontMetrics& metrics, int width, const QString& itemBreak) {
  // Whole items first; an item too wide for a line of its own goes word by word.
  QStringList items;
  Fill(text.split(itemBreak), itemBreak, metrics, width, items);
  QStringList lines;
  for (const QString& item : items) {
    if (metrics.horizontalAdvance(item) <= width) {
      lines.append(item);
      continue;
    }
    QStringList words;
    Fill(item.split(QLatin1Char(' '), Qt::SkipEmptyParts), QStringLiteral(" "), metrics, width, words);
    for (const QString& word : words) lines.append(Elided(word, metrics, width));
  }
  return lines;
}

int WidestWord(const QString& text, const QFontMetrics& metrics) {
  int widest = 0;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    widest = std::max(widest, metrics.horizontalAdvance(word));
  }
  return widest;
}

}  // namespace quorvane::plot
