#include "app/plot_canvas.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/robust/detector.h"
#include "plot_qt/plot_painter.h"

namespace quorvane::app {
namespace {

constexpr std::int64_t kMinimumSpan = 64;

}  // namespace

PlotCanvas::PlotCanvas(std::vector<std::int16_t> samples, std::string title, std::string input, QLabel* readout,
                       QWidget* parent)
    : QWidget(parent), samples_(std::move(samples)),
      analysis_(samples_.data(), static_cast<std::int64_t>(samples_.size())), title_(std::move(title)),
      input_(std::move(input)), readout_(readout), end_(static_cast<std::int64_t>(samples_.size())) {
  setMouseTracking(true);
  setMinimumSize(640, 480);
}

void PlotCanvas::SetTonePlan(TonePlan plan) {
  if (plan == tonePlan_) return;
  tonePlan_ = plan;
  view_.reset();
  update();
}

void PlotCanvas::SetDtmfProfile(plot::DtmfProfile profile) {
  if (profile == dtmfProfile_) return;
  dtmfProfile_ = profile;
  view_.reset();
  update();
}

QString PlotCanvas::Subtitle() const {
  return QString::fromStdString(input_ + " · " + plot::DetectorsShown(plot::PlotWhat::kBoth, dtmfProfile_, tonePlan_)) +
         QStringLiteral(" · wheel: zoom · drag: pan");
}

void PlotCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (samples_.empty()) {
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("%1: no samples").arg(QString::fromStdString(title_)));
    return;
  }
  PaintPlot(painter, Data(), size(), Subtitle());
}

void PlotCanvas::resizeEvent(QResizeEvent*) { view_.reset(); }

void PlotCanvas::wheelEvent(QWheelEvent* event) {
  if (samples_.empty()) return;
  const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
  const std::int64_t anchor = SampleAt(event->position().x());
  const auto total = static_cast<std::int64_t>(samples_.size());
  const std::int64_t span = std::clamp<std::int64_t>(std::llround((end_ - first_) * factor), kMinimumSpan, total);
  const double share = static_cast<double>(anchor - first_) / static_cast<double>(end_ - first_);
  SetRange(anchor - static_cast<std::int64_t>(std::llround(share * span)), span);
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
  dragX_ = event->position().x();
  dragFirst_ = first_;
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (samples_.empty()) return;
  if (event->buttons() & Qt::LeftButton) {
    const double perPixel = static_cast<double>(end_ - first_) / plot::PlotColumns(size(), Outline());
    SetRange(dragFirst_ - static_cast<std::int64_t>(std::llround((event->position().x() - dragX_) * perPixel)),
             end_ - first_);
  }
  readout_->setText(Readout(SampleAt(event->position().x())));
}

void PlotCanvas::SetRange(std::int64_t first, std::int64_t span) {
  const auto total = static_cast<std::int64_t>(samples_.size());
  first_ = std::clamp<std::int64_t>(first, 0, total - span);
  end_ = first_ + span;
  view_.reset();
  update();
}

const plot::PlotData& PlotCanvas::Data() {
  if (!view_) {
    const plot::PlotRequest request{{first_, end_, plot::PlotColumns(size(), Outline())}, plot::PlotWhat::kBoth, tonePlan_,
                                    dtmfProfile_};
    view_ = analysis_.Plot(request, title_);
  }
  return *view_;
}

plot::PlotOutline PlotCanvas::Outline() const {
  return {plot::PlotTitle(title_, first_, end_), Subtitle(), true, true, dtmfProfile_};
}

std::int64_t PlotCanvas::SampleAt(double x) const {
  const plot::PanelLayout layout = plot::LayOutPanels(size(), Outline());
  const double share = std::clamp((x - layout.plotLeft) / layout.plotWidth, 0.0, 1.0);
  return std::min(end_ - 1, first_ + static_cast<std::int64_t>(share * static_cast<double>(end_ - first_)));
}

QString PlotCanvas::Readout(std::int64_t s) {
  const QString text = QStringLiteral("time %1 s   sample %2 = %3")
                           .arg(static_cast<double>(s) / kSampleRate, 0, 'f', 4)
                           .arg(s)
                           .arg(samples_[static_cast<std::size_t>(s)]);
  const plot::DtmfTrack& track = analysis_.Dtmf(dtmfProfile_);
  const plot::DtmfBlockView* block = plot::DtmfBlockAt(track, s);
  if (track.profile == plot::DtmfProfile::kRobust) {
    const std::int64_t index = s / kRobustDtmfSubBlock;
    if (!block) return text + QStringLiteral("   sub-block %1: not analysed (past the last whole one)").arg(index);
    return text + QStringLiteral("   sub-block %1: %2").arg(index).arg(
                      block->result > 0 ? QStringLiteral("following key %1").arg(QChar(static_cast<char>(block->result)))
                                        : QStringLiteral("no key"));
  }
  const std::int64_t index = s / kDtmfBlockSize;
  if (!block) return text + QStringLiteral("   block %1: not decided (past the last whole frame)").arg(index);
  return text + QStringLiteral("   block %1: %2").arg(index).arg(
                    block->result > 0 ? QStringLiteral("tone, digit %1").arg(QChar(static_cast<char>(block->result)))
                                      : QStringLiteral("no digit"));
}

}  // namespace quorvane::app
