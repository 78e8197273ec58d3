// The form as laid out: IDs, captions, visibility, geometry, tab order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/about_dialog.h"
#include "app/dialog_template.h"
#include "app/form_builder.h"
#include "version_info.h"
#include "gui_test_support.h"

namespace quorvane {
namespace {

using app::MainDialog;
using testing::FakePrompts;

struct Expected {
  int id;  // -1: a label, matched by caption
  const char* caption;
  int x, y, w, h;
  bool shown;
};

// Template 102 as the form must show it, in tab order.
const Expected kTemplate102[] = {
    {1, "确定", 291, 140, 50, 14, false},      {2, "取消", 295, 106, 50, 14, false},
    {1000, "检测", 247, 47, 50, 14, true},     {1001, "", 79, 47, 163, 14, true},
    {1002, "AuthTest", 199, 116, 50, 14, true}, {1003, "DB TEST", 279, 122, 50, 14, false},
    {1004, "Button4", 290, 125, 50, 14, false}, {1005, "Adpcm test", 278, 126, 50, 14, false},
    {1006, "", 79, 23, 176, 14, true},         {1007, "....", 261, 23, 21, 14, true},
    {-1, "DTMF文件(U律)", 14, 26, 58, 8, true}, {-1, "检测结果", 27, 49, 33, 8, true},
    {1008, "", 77, 155, 208, 14, true},        {-1, "保存路径", 29, 180, 42, 8, true},
    {1009, "....", 261, 177, 21, 14, true},    {1010, "", 77, 177, 175, 14, true},
    {-1, "U律数据生成PCM文件", 22, 138, 277, 82, true}, {-1, "U律数据", 29, 157, 45, 8, true},
    {1011, "生成PCM(U律)文件", 181, 196, 80, 14, true}, {-1, "循环个数", 32, 202, 33, 8, true},
    {1012, "", 77, 198, 57, 14, true},         {1013, "检测", 247, 99, 50, 14, true},
    {1014, "", 79, 99, 163, 14, true},         {1015, "", 79, 75, 176, 14, true},
    {1016, "....", 261, 75, 21, 14, true},     {-1, "FSK文件路径", 23, 78, 45, 8, true},
    {-1, "检测结果", 27, 101, 33, 8, true},     {1017, "去电流声", 287, 23, 50, 14, true},
    {1018, "Drv Script", 303, 199, 50, 14, true},
};

QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (qobject_cast<QLineEdit*>(w)) return QString();  // edits have no caption
  return QStringLiteral("?");
}

int Round(int v, int num, int den) { return (v * num + den / 2) / den; }

TEST(MainForm, EveryControlOfTheTemplate) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  // Base units measured here from the font the window really uses.
  const QFontMetrics metrics(dialog.font());
  EXPECT_EQ(dialog.font().family(), QStringLiteral("WenQuanYi Zen Hei"));
  const int bx = (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
  const int by = metrics.height();

  // Children in creation order are the tab order of the template.
  QList<QWidget*> children = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(children.size(), static_cast<qsizetype>(std::size(kTemplate102)));
  for (std::size_t i = 0; i < std::size(kTemplate102); ++i) {
    const Expected& e = kTemplate102[i];
    QWidget* w = children[static_cast<qsizetype>(i)];
    SCOPED_TRACE(std::string("row ") + std::to_string(i) + " " + e.caption);
    EXPECT_EQ(w->property(app::kControlIdProperty).toInt(), e.id);
    if (e.id > 0) {
      EXPECT_EQ(dialog.Control(e.id), w);
    }
    EXPECT_EQ(Caption(w), QString::fromUtf8(e.caption));
    EXPECT_EQ(!w->isHidden(), e.shown);
    EXPECT_EQ(w->geometry(), QRect(Round(e.x, bx, 4), Round(e.y, by, 8), Round(e.w, bx, 4), Round(e.h, by, 8)));
  }
  EXPECT_EQ(dialog.size(), QSize(Round(354, bx, 4), Round(227, by, 8)));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("quorvane"));
}

TEST(MainForm, StartsWithTwoAndEmptyFieldsAndFocusOnDetect) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  for (int id : {1001, 1006, 1008, 1010, 1014, 1015}) EXPECT_EQ(testing::FieldText(dialog, id), "") << id;
  EXPECT_EQ(testing::FieldText(dialog, 1012), "2");
  EXPECT_EQ(dialog.m_repeatCount, 2u);
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(1000));
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST(MainForm, RepeatCountTakesDigitsOnly) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  QLineEdit* count = testing::Edit(dialog, 1012);
  count->clear();
  count->setFocus();
  for (char c : std::string("1a2-3 ")) count->insert(QString(QChar(c)));
  EXPECT_EQ(count->text(), QStringLiteral("123"));
}

TEST(AboutBox, IconVersionSecondLineAndOk) {
  app::AboutDialog about;
  EXPECT_EQ(about.windowTitle(), QStringLiteral("关于 quorvane"));
  const auto labels = about.findChildren<QLabel*>();
  QStringList texts;
  int pictures = 0;
  for (QLabel* l : labels) {
    if (!l->pixmap().isNull()) ++pictures;
    else texts << l->text();
  }
  EXPECT_EQ(pictures, 1);
  EXPECT_TRUE(texts.contains(QStringLiteral("quorvane 1.0 版")));
  EXPECT_TRUE(texts.contains(QStringLiteral("版本 " QUORVANE_VERSION)));
  EXPECT_EQ(texts.size(), 2);
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("control1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  ok->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace quorvane
