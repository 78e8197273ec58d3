// The right-click menu's second item opens the waveform viewer on the file
// the DTMF field names, without a modal loop and without touching the members.
#include <QAction>
#include <QMenu>
#include <QTest>

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

}  // namespace
}  // namespace quorvane
