// What the panel painters share: colours, the time axis, frames with their
// rotated titles, and the painters themselves.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QStringList>

#include <vector>

#include "plot/plot_data.h"
#include "plot_qt/placed_text.h"
#include "plot_qt/plot_layout.h"

namespace quorvane::plot {

inline const QColor kBackground(255, 255, 255);
inline const QColor kFrame(90, 90, 90);
inline const QColor kGrid(225, 225, 225);
inline const QColor kText(30, 30, 30);
inline const QColor kWave(31, 96, 170);
inline const QColor kLevelLine(200, 120, 0);
inline const QColor kRowColour(110, 170, 230);
inline const QColor kSum(40, 40, 40);
inline const QColor kColColour(230, 120, 20);
inline const QColor kThreshold(200, 30, 30);
inline const QColor kEnergy(130, 130, 130);
inline const QColor kToneBlock(60, 160, 60);
inline const QColor kDigitColour(150, 0, 150);
inline const QColor kTrace(20, 120, 120);
inline const QColor kMark(31, 119, 180);
inline const QColor kSpace(230, 120, 20);
inline const QColor kBadCharacter(200, 30, 30);
inline const QColor kDtmfMarker(255, 255, 255);
inline const QColor kFskMarker(255, 80, 200);

// The top of the detector panels kept for a one-row legend.
inline constexpr int kLegendBand = 26;

// Maps samples and pixel columns of the plot to x.
struct TimeAxis {
  ColumnGrid grid;
  int left;
  int width;
  double X(double sample) const {
    return left + (sample - static_cast<double>(grid.first)) * width / static_cast<double>(grid.Samples());
  }
};

// One panel's place and title, and where to note what was drawn.
struct PanelFrame {
  QRect rect;
  QStringList title;        // its lines
  bool titlesWrapped;       // the layout's titles are in lines beside each other
  int titleColumn;          // x room of wrapped titles, from the canvas's left
  PlacedTexts* placed;      // null unless asked for
};

double NiceStep(double span, int wanted);
QString SecondsText(double seconds, double step);

void DrawFrame(QPainter& p, const PanelFrame& frame);
void DrawVerticalGrid(QPainter& p, const QRect& r, const TimeAxis& axis);

// Draws a scale label at each y (right-aligned left of the panel), leaving
// out one that would crowd the last drawn.
class ScaleLabels {
 public:
  ScaleLabels(QPainter& p, const QRect& panel, int spacing) : p_(p), panel_(panel), spacing_(spacing) {}
  void Add(int y, const QString& text);

 private:
  QPainter& p_;
  QRect panel_;
  int spacing_;
  bool any_ = false;
  int last_ = 0;
};

// Moves label centres (in ascending order) apart to at least `gap`, within
// [low, high] while there is room; labels already apart stay where they are.
void SpreadLabels(std::vector<double>& centres, double gap, double low, double high);

void DrawWaveform(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const WaveformPanel& w);
void DrawSpectrogram(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const SpectrogramPanel& s,
                     TonePlan plan, bool showFsk);
void DrawDtmf(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const DtmfPanel& d);
void DrawCallerId(QPainter& p, const PanelFrame& frame, const TimeAxis& axis, const CallerIdPanel& c);

}  // namespace quorvane::plot
