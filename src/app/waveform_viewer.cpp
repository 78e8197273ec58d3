#include "app/waveform_viewer.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <vector>

#include "app/plot_canvas.h"
#include "plot/stream_samples.h"

namespace quorvane::app {

WaveformViewer::WaveformViewer(const std::string& path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("波形 — %1").arg(QString::fromStdString(path)));
  readout_ = new QLabel(this);
  plot::StreamSamples stream;
  std::string error;
  const bool read = plot::ReadStreamSamples(path, io::InputOptions{}, "", stream, &error);
  std::vector<std::int16_t> samples = std::move(stream.samples);
  if (!read) {
    readout_->setText(QStringLiteral("%1: %2").arg(QString::fromStdString(path), QString::fromStdString(error)));
    samples.clear();
  } else {
    readout_->setText(QStringLiteral("Move the pointer over the panels for time, sample and block."));
  }
  canvas_ = new PlotCanvas(std::move(samples), path, plot::DescribeInput(stream.info), readout_, this);
  canvas_->setObjectName(QStringLiteral("plotCanvas"));

  v23Box_ = new QCheckBox(QStringLiteral("V.23"), this);
  v23Box_->setObjectName(QStringLiteral("v23"));
  v23Box_->setToolTip(QStringLiteral("Caller ID as V.23 (1300/2100 Hz) instead of Bell 202 (1200/2200 Hz)"));
  robustBox_ = new QCheckBox(QStringLiteral("robust DTMF"), this);
  robustBox_->setObjectName(QStringLiteral("robustDtmf"));
  robustBox_->setToolTip(QStringLiteral("Draw the robust DTMF detector instead of the exact one"));
  connect(v23Box_, &QCheckBox::toggled, this,
          [this](bool on) { canvas_->SetTonePlan(on ? TonePlan::V23 : TonePlan::Bell202); });
  connect(robustBox_, &QCheckBox::toggled, this, [this](bool on) {
    canvas_->SetDtmfProfile(on ? plot::DtmfProfile::kRobust : plot::DtmfProfile::kExact);
  });

  auto* switches = new QHBoxLayout;
  switches->addWidget(v23Box_);
  switches->addWidget(robustBox_);
  switches->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(switches);
  layout->addWidget(canvas_, 1);
  layout->addWidget(readout_);
  resize(1280, 900);
}

std::int64_t WaveformViewer::First() const { return canvas_->First(); }
std::int64_t WaveformViewer::End() const { return canvas_->End(); }
QString WaveformViewer::Subtitle() const { return canvas_->Subtitle(); }
int WaveformViewer::DetectorRuns() const { return canvas_->DetectorRuns(); }

}  // namespace quorvane::app
