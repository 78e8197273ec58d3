#include "app/waveform_viewer.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <optional>

#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_detector.h"
#include "plot/stream_samples.h"
#include "plot_qt/plot_painter.h"

namespace quorvane::app {

// The panels of one recording; rebuilt whenever the range or size changes.
class PlotCanvas : public QWidget {
 public:
  PlotCanvas(std::vector<std::int16_t> samples, std::string title, QLabel* readout, QWidget* parent)
      : QWidget(parent), samples_(std::move(samples)), title_(std::move(title)), readout_(readout),
        end_(static_cast<std::int64_t>(samples_.size())) {
    setMouseTracking(true);
    setMinimumSize(640, 480);
  }

  std::int64_t first() const { return first_; }
  std::int64_t end() const { return end_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (samples_.empty()) {
      painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("%1: no samples").arg(QString::fromStdString(title_)));
      return;
    }
    PaintPlot(painter, Data(), size(),
              QStringLiteral("exact detectors · wheel: zoom · drag: pan · caller ID as Bell 202 (1200/2200 Hz)"));
  }

  void resizeEvent(QResizeEvent*) override { data_.reset(); }

  void wheelEvent(QWheelEvent* event) override {
    if (samples_.empty()) return;
    const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
    const std::int64_t anchor = SampleAt(event->position().x());
    const auto total = static_cast<std::int64_t>(samples_.size());
    const std::int64_t span = std::clamp<std::int64_t>(std::llround((end_ - first_) * factor), kMinimumSpan, total);
    const double share = static_cast<double>(anchor - first_) / static_cast<double>(end_ - first_);
    SetRange(anchor - static_cast<std::int64_t>(std::llround(share * span)), span);
  }

  void mousePressEvent(QMouseEvent* event) override {
    dragX_ = event->position().x();
    dragFirst_ = first_;
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (samples_.empty()) return;
    if (event->buttons() & Qt::LeftButton) {
      const double perPixel = static_cast<double>(end_ - first_) / plot::PlotColumns(size());
      SetRange(dragFirst_ - static_cast<std::int64_t>(std::llround((event->position().x() - dragX_) * perPixel)),
               end_ - first_);
    }
    readout_->setText(Readout(SampleAt(event->position().x())));
  }

 private:
  static constexpr std::int64_t kMinimumSpan = 64;

  void SetRange(std::int64_t first, std::int64_t span) {
    const auto total = static_cast<std::int64_t>(samples_.size());
    first_ = std::clamp<std::int64_t>(first, 0, total - span);
    end_ = first_ + span;
    data_.reset();
    update();
  }

  const plot::PlotData& Data() {
    if (!data_) {
      plot::PlotRequest request;
      request.grid = {first_, end_, plot::PlotColumns(size())};
      data_ = plot::BuildPlotData(samples_, request, title_);
    }
    return *data_;
  }

  std::int64_t SampleAt(double x) const {
    const plot::PanelLayout layout = plot::LayOutPanels(size(), true, true);
    const double share = std::clamp((x - layout.plotLeft) / layout.plotWidth, 0.0, 1.0);
    return std::min(end_ - 1, first_ + static_cast<std::int64_t>(share * static_cast<double>(end_ - first_)));
  }

  QString Readout(std::int64_t s) {
    QString text = QStringLiteral("time %1 s   sample %2 = %3")
                       .arg(static_cast<double>(s) / kSampleRate, 0, 'f', 4)
                       .arg(s)
                       .arg(samples_[static_cast<std::size_t>(s)]);
    const std::int64_t block = s / kDtmfBlockSize;
    const auto& blocks = Data().dtmf->blocks;
    if (!blocks.empty()) {
      const std::int64_t index = block - blocks.front().start / kDtmfBlockSize;
      if (index >= 0 && index < static_cast<std::int64_t>(blocks.size())) {
        const std::int32_t result = blocks[static_cast<std::size_t>(index)].result;
        text += QStringLiteral("   block %1: %2").arg(block).arg(
            result > 0 ? QStringLiteral("tone, digit %1").arg(QChar(static_cast<char>(result)))
                       : QStringLiteral("no digit"));
        return text;
      }
    }
    return text + QStringLiteral("   block %1: not decided (past the last whole frame)").arg(block);
  }

  std::vector<std::int16_t> samples_;
  std::string title_;
  QLabel* readout_;
  std::int64_t first_ = 0;
  std::int64_t end_;
  std::optional<plot::PlotData> data_;
  double dragX_ = 0;
  std::int64_t dragFirst_ = 0;
};

WaveformViewer::WaveformViewer(const std::string& path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("波形 — %1").arg(QString::fromStdString(path)));
  readout_ = new QLabel(this);
  plot::StreamSamples stream;
  const std::string error = plot::ReadStreamSamples(path, io::InputOptions{}, "", stream);
  std::vector<std::int16_t> samples = std::move(stream.samples);
  if (!error.empty()) {
    readout_->setText(QStringLiteral("%1: %2").arg(QString::fromStdString(path), QString::fromStdString(error)));
    samples.clear();
  } else {
    readout_->setText(QStringLiteral("Move the pointer over the panels for time, sample and block."));
  }
  canvas_ = new PlotCanvas(std::move(samples), path, readout_, this);
  canvas_->setObjectName(QStringLiteral("plotCanvas"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(canvas_, 1);
  layout->addWidget(readout_);
  resize(1280, 900);
}

std::int64_t WaveformViewer::First() const { return canvas_->first(); }
std::int64_t WaveformViewer::End() const { return canvas_->end(); }

}  // namespace quorvane::app
