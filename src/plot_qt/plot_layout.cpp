#include "plot_qt/plot_layout.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

#include "codec/ulaw.h"
#include "plot_qt/text_fit.h"

namespace quorvane::plot {
namespace {

constexpr int kLeftMargin = 78;     // the least room left of the panels
constexpr int kHeadingHeight = 46;  // a title line and a subtitle line
constexpr int kAxisHeight = 40;     // tick labels over the axis title
constexpr int kPanelGap = 10;
// A short canvas: the panels closer together, the axis title beside the labels.
constexpr int kTightAxisHeight = 24;
constexpr int kTightPanelGap = 4;
// A detector panel's least height: a legend of two rows, a row for its
// marks, some 30 pixels of trace and its strip.
constexpr int kDetectorPanelLeast = 96;
constexpr int kTitleEnds = 3;       // kept free at each end of a rotated title
constexpr int kTitleGaps = 8;       // around a block of wrapped title lines
const QString kTitleBreak = QStringLiteral("   —   ");

// Panel heights in proportion to their weights, each at least its minimum;
// when the room cannot hold every minimum, in proportion to the minimums.
std::array<double, kPanelKinds> Share(double room, const std::array<double, kPanelKinds>& weights,
                                      const std::array<int, kPanelKinds>& minimum) {
  std::array<bool, kPanelKinds> raised{};
  std::array<double, kPanelKinds> heights{};
  for (;;) {
    double left = room;
    double total = 0.0;
    for (int i = 0; i < kPanelKinds; ++i) {
      if (raised[i]) left -= minimum[i];
      else total += weights[i];
    }
    if (left < 0.0) break;
    bool changed = false;
    for (int i = 0; i < kPanelKinds; ++i) {
      heights[i] = raised[i] ? minimum[i] : total > 0.0 ? left * weights[i] / total : 0.0;
      if (weights[i] > 0.0 && heights[i] < minimum[i]) raised[i] = changed = true;
    }
    if (!changed) return heights;
  }
  double least = 0.0;
  for (int i = 0; i < kPanelKinds; ++i) least += weights[i] > 0.0 ? minimum[i] : 0;
  for (int i = 0; i < kPanelKinds; ++i) heights[i] = weights[i] > 0.0 ? room * minimum[i] / least : 0.0;
  return heights;
}

// The unit in brackets with no break inside it.
QString UnitKeptWhole(QString title) {
  const auto open = title.indexOf(QLatin1Char('['));
  for (auto i = open < 0 ? title.size() : open; i < title.size(); ++i) {
    if (title[i] == QLatin1Char(' ')) title[i] = QChar(0x00A0);
  }
  return title;
}

}  // namespace

QFont PlotFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  return font;
}

QFont HeadingFont() {
  QFont font = PlotFont();
  font.setBold(true);
  font.setPixelSize(font.pixelSize() + 4);
  return font;
}

QFont PanelTitleFont() {
  QFont font = PlotFont();
  font.setBold(true);
  return font;
}

QString PlotTitle(const std::string& name, std::int64_t first, std::int64_t end) {
  const double from = static_cast<double>(first) / kSampleRate;
  const double to = static_cast<double>(end) / kSampleRate;
  return QString::fromStdString(name) + QStringLiteral("   —   ") +
         QStringLiteral("%1 s to %2 s").arg(from, 0, 'f', 3).arg(to, 0, 'f', 3);
}

PlotOutline OutlineOf(const PlotData& data, const QString& subtitle) {
  return {PlotTitle(data.title, data.grid.first, data.grid.end), subtitle, data.dtmf.has_value(),
          data.callerId.has_value(), data.dtmf ? data.dtmf->profile : DtmfProfile::kExact};
}

QString PanelTitleText(PanelKind kind, DtmfProfile profile) {
  switch (kind) {
    case kWaveformPanel: return QStringLiteral("Waveform  [sample]");
    case kSpectrogramPanel: return QStringLiteral("Spectrogram  [kHz]");
    case kDtmfPanel:
      return profile == DtmfProfile::kRobust ? QStringLiteral("Robust DTMF detector  [dB power]")
                                             : QStringLiteral("DTMF detector  [dB power]");
    case kCallerIdPanel:
    case kPanelKinds: break;
  }
  return QStringLiteral("Caller-ID demodulator  [low-pass]");
}

PanelLayout LayOutPanels(const QSize& size, const PlotOutline& outline) {
  PanelLayout layout;
  // The heading: one line each while they fit, else broken into lines.
  const QFontMetrics headingMetrics(HeadingFont());
  const QFontMetrics textMetrics(PlotFont());
  const int textWidth = std::max(1, size.width() - kHeadingLeft - kHeadingRight);
  layout.headingWrapped = headingMetrics.horizontalAdvance(outline.title) > textWidth ||
                          textMetrics.horizontalAdvance(outline.subtitle) > textWidth;
  int headingHeight = kHeadingHeight;
  if (layout.headingWrapped) {
    // Lines closer than the single pair's, the title broken at its dash first.
    layout.titleLines = WrapText(outline.title, headingMetrics, textWidth, kTitleBreak);
    layout.subtitleLines = WrapText(outline.subtitle, textMetrics, textWidth);
    layout.titleLineHeight = headingMetrics.height();
    layout.subtitleLineHeight = textMetrics.height() + 1;
    headingHeight = 2 + static_cast<int>(layout.titleLines.size()) * layout.titleLineHeight +
                    static_cast<int>(layout.subtitleLines.size()) * layout.subtitleLineHeight + 3;
  } else {
    layout.titleLines = {outline.title};
    layout.subtitleLines = {outline.subtitle};
  }
  layout.heading = QRect(0, 0, size.width(), headingHeight);

  // Heights by weight (the detector panels get a little more), but each tall
  // enough for its title's longest word, a detector panel for what it holds.
  const QFontMetrics titleMetrics(PanelTitleFont());
  const std::array<bool, kPanelKinds> shown = {true, true, outline.dtmf, outline.callerId};
  std::array<double, kPanelKinds> weights = {1.0, 1.1, 1.2, 1.2};
  std::array<int, kPanelKinds> minimum{};
  std::array<QString, kPanelKinds> titles;
  int panels = 0;
  for (int i = 0; i < kPanelKinds; ++i) {
    if (!shown[i]) {
      weights[i] = 0.0;
      continue;
    }
    ++panels;
    titles[i] = PanelTitleText(static_cast<PanelKind>(i), outline.dtmfProfile);
    minimum[i] = WidestWord(UnitKeptWhole(titles[i]), titleMetrics) + 2 * kTitleEnds;
    if (i >= kDtmfPanel) minimum[i] = std::max(minimum[i], kDetectorPanelLeast);
  }
  const int top = headingHeight;
  auto roomFor = [&](int axisHeight, int gap) {
    return static_cast<double>(std::max(0, size.height() - axisHeight - top - gap * (panels - 1)));
  };
  std::array<double, kPanelKinds> heights = Share(roomFor(kAxisHeight, kPanelGap), weights, {});
  for (int i = 0; i < kPanelKinds; ++i) layout.tight = layout.tight || heights[i] < minimum[i];
  const int axisHeight = layout.tight ? kTightAxisHeight : kAxisHeight;
  const int gap = layout.tight ? kTightPanelGap : kPanelGap;
  if (layout.tight) heights = Share(roomFor(axisHeight, gap), weights, minimum);
  const int bottom = size.height() - axisHeight;

  // Titles: one line along the panel where it fits, else lines side by side,
  // which widen the margin.
  int titleLines = 1;
  for (int i = 0; i < kPanelKinds; ++i) {
    if (!shown[i]) continue;
    const int length = static_cast<int>(std::lround(heights[i])) - 2 * kTitleEnds;
    layout.panelTitles[i] = titleMetrics.horizontalAdvance(titles[i]) <= length
                                ? QStringList{titles[i]}
                                : WrapText(UnitKeptWhole(titles[i]), titleMetrics, std::max(1, length));
    titleLines = std::max(titleLines, static_cast<int>(layout.panelTitles[i].size()));
  }
  layout.titlesWrapped = titleLines > 1;
  const int margin =
      layout.titlesWrapped ? std::max(kLeftMargin, titleLines * titleMetrics.lineSpacing() + kTitleGaps + kTickArea)
                           : kLeftMargin;
  layout.titleColumn = margin - kTickArea;
  layout.plotLeft = margin;
  layout.plotWidth = std::max(1, size.width() - margin - kRightMargin);
  double y = top;
  for (int i = 0; i < kPanelKinds; ++i) {
    if (!shown[i]) continue;
    layout.panels[i] = QRect(margin - 1, static_cast<int>(std::lround(y)), layout.plotWidth + 2,
                             static_cast<int>(std::lround(heights[i])));
    y += heights[i] + gap;
  }
  layout.timeAxis = QRect(margin, bottom, layout.plotWidth, axisHeight);
  return layout;
}

int PlotColumns(const QSize& size, const PlotOutline& outline) { return LayOutPanels(size, outline).plotWidth; }

}  // namespace quorvane::plot
