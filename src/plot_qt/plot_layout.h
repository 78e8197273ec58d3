// Where a plot's heading, panels, titles and time axis go on a canvas, from
// measured text: titles are broken into lines and margins widened so that
// nothing is cut at any size down to 640 x 480.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <string>

#include "plot/plot_data.h"

namespace quorvane::plot {

// The font everything is drawn in; titles take it bold, the heading larger.
QFont PlotFont();
QFont HeadingFont();
QFont PanelTitleFont();

inline constexpr int kRightMargin = 118;  // the labels right of the panels
inline constexpr int kHeadingLeft = 78;   // the heading's lines run from here
inline constexpr int kHeadingRight = 8;   // to this far from the right edge
inline constexpr int kTickArea = 60;      // left of a panel: its scale's labels

enum PanelKind { kWaveformPanel, kSpectrogramPanel, kDtmfPanel, kCallerIdPanel, kPanelKinds };

// What the layout depends on besides the canvas: known before the panel data.
struct PlotOutline {
  QString title;     // file and range
  QString subtitle;  // input and detectors
  bool dtmf = true;
  bool callerId = true;
  DtmfProfile dtmfProfile = DtmfProfile::kExact;
};

// "NAME   —   0.000 s to 2.280 s".
QString PlotTitle(const std::string& name, std::int64_t first, std::int64_t end);
PlotOutline OutlineOf(const PlotData& data, const QString& subtitle);

// A panel's name and unit, as its rotated title reads.
QString PanelTitleText(PanelKind kind, DtmfProfile profile);

struct PanelLayout {
  QRect heading;
  bool headingWrapped = false;   // else one line each
  QStringList titleLines;
  QStringList subtitleLines;
  int titleLineHeight = 0;       // when wrapped
  int subtitleLineHeight = 0;
  bool tight = false;            // panels closer, the axis title beside its labels
  std::array<QRect, kPanelKinds> panels;  // empty when not drawn
  std::array<QStringList, kPanelKinds> panelTitles;
  bool titlesWrapped = false;    // else one line each, beside the panel's middle
  int titleColumn = 0;           // width left of the scales, for wrapped titles
  QRect timeAxis;
  int plotLeft = 0;   // x of the first pixel column
  int plotWidth = 0;  // pixel columns
};

PanelLayout LayOutPanels(const QSize& size, const PlotOutline& outline);

// Pixel columns of the panels: the grid's column count to build the data with.
int PlotColumns(const QSize& size, const PlotOutline& outline);

}  // namespace quorvane::plot
