// Fitting text to measured room: lines broken where a reader expects them.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace quorvane::plot {

// `text` in lines no wider than `width`: broken at `itemBreak` where it can
// be, else between words; a word wider than the room on its own is elided.
QStringList WrapText(const QString& text, const QFontMetrics& metrics, int width,
                     const QString& itemBreak = QStringLiteral(" · "));

// `text`, or as much of both its ends as fits with "…" between them.
QString Elided(const QString& text, const QFontMetrics& metrics, int width);

// The widest word of `text`, in pixels.
int WidestWord(const QString& text, const QFontMetrics& metrics);

}  // namespace quorvane::plot
