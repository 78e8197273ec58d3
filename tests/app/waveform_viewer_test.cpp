// The right-click menu's second item opens the waveform viewer on the file
// the DTMF field names, without a modal loop and without touching the members.
#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "app/waveform_viewer.h"
#include "gui_test_support.h"

namespace quorvane {
namespace {

using app::MainDialog;
using app::WaveformViewer;
using testing::FakePrompts;

TEST(WaveformViewerMenu, OpensTheViewerOnTheCurrentFile) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  const std::string path = std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm";
  testing::Type(dialog, 1006, path);
  auto menu = dialog.CreateContextMenu();
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("显示波形..."));
  menu->actions()[1]->trigger();

  const auto viewers = dialog.findChildren<WaveformViewer*>();
  ASSERT_EQ(viewers.size(), 1);
  WaveformViewer* viewer = viewers.front();
  EXPECT_EQ(viewer->Path(), path);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_FALSE(viewer->isModal());
  EXPECT_EQ(viewer->First(), 0);
  EXPECT_EQ(viewer->End(), 18240);
  EXPECT_EQ(dialog.m_dtmfFile, "");  // no pull

  // The wheel zooms in around the pointer.
  QWidget* canvas = viewer->findChild<QWidget*>(QStringLiteral("plotCanvas"));
  ASSERT_NE(canvas, nullptr);
  const QPointF centre(canvas->width() / 2.0, canvas->height() / 2.0);
  QWheelEvent wheel(centre, canvas->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas, &wheel);
  EXPECT_LT(viewer->End() - viewer->First(), 18240);
  viewer->close();
}

void Wheel(QWidget* canvas, QPointF at, int delta) {
  QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas, &wheel);
}

void Drag(QWidget* canvas, QPointF from, QPointF to) {
  QMouseEvent press(QEvent::MouseButtonPress, from, canvas->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(canvas, &press);
  QMouseEvent move(QEvent::MouseMove, to, canvas->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
}

// The detectors run once per setting; zooming and panning only cut the
// range out of what they saw, and a switch runs only the detector it names.
TEST(WaveformViewer, ZoomingNeverRerunsTheDetectorsAndEachSwitchRunsOnlyItsOwn) {
  const auto viewer = std::make_unique<WaveformViewer>(std::string(QUORVANE_SAMPLES) + "/callerid-mdmf.pcm");
  viewer->show();
  QWidget* canvas = viewer->findChild<QWidget*>(QStringLiteral("plotCanvas"));
  auto* v23 = viewer->findChild<QCheckBox*>(QStringLiteral("v23"));
  auto* robust = viewer->findChild<QCheckBox*>(QStringLiteral("robustDtmf"));
  ASSERT_TRUE(canvas && v23 && robust);
  canvas->grab();
  EXPECT_EQ(viewer->DetectorRuns(), 2);  // the exact DTMF detector and the Bell 202 demodulator

  const QPointF centre(canvas->width() / 2.0, canvas->height() / 2.0);
  for (int i = 0; i < 4; ++i) {
    const std::int64_t first = viewer->First();
    const std::int64_t end = viewer->End();
    Wheel(canvas, centre, 120);
    EXPECT_LT(viewer->End() - viewer->First(), end - first);
    canvas->grab();
    Drag(canvas, centre, centre + QPointF(-150, 0));
    EXPECT_GT(viewer->First(), first);
    canvas->grab();
  }
  EXPECT_EQ(viewer->DetectorRuns(), 2);

  const struct {
    bool v23, robust;
    int runs;
    const char* dtmf;
    const char* callerId;
  } steps[] = {
      {true, false, 3, "DTMF: exact detector", "V.23 FSK, 1300/2100 Hz"},
      {true, true, 4, "DTMF: robust detector", "V.23 FSK, 1300/2100 Hz"},
      {false, true, 4, "DTMF: robust detector", "Bell 202 FSK, 1200/2200 Hz"},
      {false, false, 4, "DTMF: exact detector", "Bell 202 FSK, 1200/2200 Hz"},
  };
  QImage before = canvas->grab().toImage();
  for (const auto& step : steps) {
    v23->setChecked(step.v23);
    robust->setChecked(step.robust);
    const QImage after = canvas->grab().toImage();
    EXPECT_NE(after, before) << step.dtmf << ", " << step.callerId;
    EXPECT_EQ(viewer->DetectorRuns(), step.runs) << step.dtmf << ", " << step.callerId;
    EXPECT_TRUE(viewer->Subtitle().contains(QString::fromUtf8(step.dtmf))) << viewer->Subtitle().toStdString();
    EXPECT_TRUE(viewer->Subtitle().contains(QString::fromUtf8(step.callerId))) << viewer->Subtitle().toStdString();
    before = after;
  }
}

// The readout names the block (exact) or sub-block (robust) that holds the
// sample under the pointer.
TEST(WaveformViewer, ReadoutNamesTheBlockOfTheShownDetector) {
  const auto viewer = std::make_unique<WaveformViewer>(std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm");
  viewer->show();
  QWidget* canvas = viewer->findChild<QWidget*>(QStringLiteral("plotCanvas"));
  auto* robust = viewer->findChild<QCheckBox*>(QStringLiteral("robustDtmf"));
  const auto labels = viewer->findChildren<QLabel*>();
  ASSERT_TRUE(canvas && robust && labels.size() == 1);
  const QRegularExpression pattern(QStringLiteral("sample (\\d+) = -?\\d+   (block|sub-block) (\\d+): "));
  for (const bool useRobust : {false, true}) {
    robust->setChecked(useRobust);
    for (const double share : {0.3, 0.5, 0.77}) {
      const QPointF at(canvas->width() * share, canvas->height() / 2.0);
      QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(canvas, &move);
      const QString text = labels.front()->text();
      const auto match = pattern.match(text);
      ASSERT_TRUE(match.hasMatch()) << text.toStdString();
      const long long sample = match.captured(1).toLongLong();
      EXPECT_EQ(match.captured(2), useRobust ? QStringLiteral("sub-block") : QStringLiteral("block"));
      EXPECT_EQ(match.captured(3).toLongLong(), sample / (useRobust ? 40 : 102)) << text.toStdString();
    }
  }
}

}  // namespace
}  // namespace quorvane
