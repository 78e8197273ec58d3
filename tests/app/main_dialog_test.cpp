// The real MainDialog driven through its buttons and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "auth/auth_test.h"
#include "runs/dtmf_run.h"
#include "platform/debug_output.h"
#include "codec/output_file.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include "runs/fsk_run.h"
#include "gui_test_support.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using app::MainDialog;
using testing::FakePrompts;
using testing::FieldText;
using testing::Type;

const std::string kSamples = QUORVANE_SAMPLES;

void Click(MainDialog& dialog, int id) { static_cast<QPushButton*>(dialog.Control(id))->click(); }

TEST(MainDialogPickers, OpenPickerPushesWithoutPullSavePickerKeepsTyping) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  Type(dialog, 1008, "7f,80");
  prompts.openAnswer = "/tmp/a.pcm";
  Click(dialog, 1007);
  EXPECT_EQ(FieldText(dialog, 1006), "/tmp/a.pcm");
  EXPECT_EQ(FieldText(dialog, 1008), "");  // the push restored the member

  Type(dialog, 1008, "7f,80");
  prompts.saveAnswer = "/tmp/out";
  Click(dialog, 1009);
  EXPECT_EQ(FieldText(dialog, 1010), "/tmp/out");  // no extension added
  EXPECT_EQ(FieldText(dialog, 1008), "7f,80");
  EXPECT_EQ(dialog.m_ulawData, "7f,80");

  prompts.openAnswer = "/tmp/b.pcm";
  Click(dialog, 1016);
  EXPECT_EQ(FieldText(dialog, 1015), "/tmp/b.pcm");
  ASSERT_EQ(prompts.filters.size(), 3u);
  EXPECT_EQ(prompts.filters[1], QStringLiteral("PCM Raw File (*.pcm)"));
}

TEST(MainDialogPickers, CancelChangesNothing) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  Type(dialog, 1008, "typed");
  Click(dialog, 1007);
  Click(dialog, 1009);
  Click(dialog, 1016);
  EXPECT_EQ(FieldText(dialog, 1008), "typed");
  EXPECT_EQ(dialog.m_ulawData, "");
}

TEST(MainDialogValidation, EmptyCountStopsThePullButTheCommandRunsOn) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  const std::string sample = kSamples + "/callerid-mdmf.pcm";
  Type(dialog, 1015, sample);
  ASSERT_TRUE(dialog.UpdateData(true));  // m_fskFile is now the sample
  Type(dialog, 1015, kSamples + "/missing.pcm");
  Type(dialog, 1012, "");
  Type(dialog, 1008, "aa");
  Click(dialog, 1013);
  ASSERT_EQ(prompts.validations.size(), 1u);
  EXPECT_EQ(dialog.focusWidget(), dialog.Control(1012));
  EXPECT_EQ(dialog.m_fskFile, sample);       // after the count: not pulled
  EXPECT_EQ(dialog.m_ulawData, "aa");        // before the count: pulled
  EXPECT_EQ(dialog.m_repeatCount, 2u);       // keeps its last valid value
  EXPECT_EQ(FieldText(dialog, 1014), "5551234567");  // ran on the earlier file
}

TEST(MainDialogValidation, CountAboveTheRangeIsRefused) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  Type(dialog, 1012, "100000");
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.m_repeatCount, 2u);
  Type(dialog, 1012, "99999");
  EXPECT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.m_repeatCount, 99999u);
}

TEST(MainDialogAbout, CommandsSixteenToThirtyOneOpenIt) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  for (unsigned command = 0; command < 64; ++command) {
    const int before = prompts.aboutBoxes;
    dialog.OnSysCommand(command, 0);
    EXPECT_EQ(prompts.aboutBoxes - before, (command >= 16 && command <= 31) ? 1 : 0) << command;
  }
  dialog.OnSysCommand(0xF060, 0);  // close: not ours
  const int before = prompts.aboutBoxes;
  auto menu = dialog.CreateSystemMenu();
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("关于 quorvane(&A)..."));
  menu->actions()[0]->trigger();
  EXPECT_EQ(prompts.aboutBoxes, before + 1);
}

TEST(MainDialogKeys, EnterInAnEditIsOkOnlyWhenTheCountIsValid) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  testing::Edit(dialog, 1006)->setFocus();
  Type(dialog, 1012, "");
  QTest::keyClick(testing::Edit(dialog, 1006), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(prompts.validations.size(), 1u);

  Type(dialog, 1012, "5");
  Type(dialog, 1006, "x.pcm");
  testing::Edit(dialog, 1006)->setFocus();
  QTest::keyClick(testing::Edit(dialog, 1006), Qt::Key_Enter);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.m_dtmfFile, "x.pcm");
}

TEST(MainDialogKeys, EscapeCancelsWithoutAPull) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  Type(dialog, 1006, "typed.pcm");
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.m_dtmfFile, "");
}

TEST(MainDialogKeys, EnterOnAButtonClicksIt) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  dialog.show();
  prompts.openAnswer = "/tmp/chosen.pcm";
  dialog.Control(1016)->setFocus();
  QTest::keyClick(dialog.Control(1016), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(FieldText(dialog, 1015), "/tmp/chosen.pcm");
}

TEST(MainDialogDetect, DtmfAndFskFillTheirFields) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  DtmfStartOffset() = 0;
  FskStartOffset() = 0;
  Type(dialog, 1006, kSamples + "/dtmf-keys.pcm");
  Type(dialog, 1015, kSamples + "/callerid-mdmf.pcm");
  Click(dialog, 1000);
  EXPECT_EQ(FieldText(dialog, 1001), "0123456789*#ABCD");
  Click(dialog, 1013);
  EXPECT_EQ(FieldText(dialog, 1014), "5551234567");
  EXPECT_EQ(FieldText(dialog, 1001), "");  // the FSK run empties the DTMF result
  EXPECT_EQ(DtmfStartOffset(), 5);
  EXPECT_EQ(FskStartOffset(), 5);
}

TEST(MainDialogDetect, MissingFileChangesNothing) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  DtmfStartOffset() = 40;
  FskStartOffset() = 40;
  dialog.m_dtmfResult = "12";
  dialog.m_fskResult = "99";
  dialog.UpdateData(false);
  Type(dialog, 1006, kSamples + "/nope.pcm");
  Type(dialog, 1015, kSamples + "/nope.pcm");
  Click(dialog, 1000);
  Click(dialog, 1013);
  EXPECT_EQ(FieldText(dialog, 1001), "12");
  EXPECT_EQ(FieldText(dialog, 1014), "99");
  EXPECT_EQ(dialog.m_fskResult, "");  // emptied at once, but never pushed
  EXPECT_EQ(DtmfStartOffset(), 40);
  EXPECT_EQ(FskStartOffset(), 40);
}

TEST(MainDialogDetect, The33rdRunStartsAtByteZeroAgain) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  testing::TempDir dir;
  // One frame of silence: only a run from byte 0 processes it.
  testing::WriteBytes(dir.File("one.pcm"), std::vector<std::uint8_t>(160, 0xFF));
  Type(dialog, 1006, dir.File("one.pcm"));
  DtmfStartOffset() = 0;
  for (int run = 1; run <= 32; ++run) Click(dialog, 1000);
  EXPECT_EQ(DtmfStartOffset(), 160);
  Click(dialog, 1000);
  EXPECT_EQ(DtmfStartOffset(), 5);  // ran from 0, then advanced
}

TEST(MainDialogHidden, AdpcmTestCountsAHundred) {
  FakePrompts prompts;
  MainDialog dialog(prompts);
  const auto before = app::AdpcmTestCounter();
  Click(dialog, 1005);
  EXPECT_EQ(app::AdpcmTestCounter() - before, 100u);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

struct CapturedDebug {
  std::vector<std::string> texts;
  static void Sink(void* self, const char* text) { static_cast<CapturedDebug*>(self)->texts.push_back(text); }
};

TEST(MainDialogTools, AuthTestSendsTheResponseOnEveryPress) {
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  Type(dialog, 1012, "");  // no pull: an invalid count is never looked at
  CapturedDebug captured;
  platform::SetDebugOutputSink(CapturedDebug::Sink, &captured);
  Click(dialog, 1002);
  Click(dialog, 1002);
  platform::SetDebugOutputSink(nullptr, nullptr);
  EXPECT_EQ(captured.texts, (std::vector<std::string>{AuthTestResponse(), "\n", AuthTestResponse(), "\n"}));
  EXPECT_TRUE(prompts.validations.empty());
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// Fails every write, as a full disk would.
class FullDisk : public AtomicOutputFile {
 protected:
  std::size_t WriteStream(std::FILE*, const std::uint8_t*, std::size_t) override {
    errno = ENOSPC;
    return 0;
  }
};

TEST(MainDialogTools, GenerateButtonPullsAndReportsFailures) {
  testing::TempDir dir;
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  Type(dialog, 1008, "7f,0x80;ff");
  Type(dialog, 1010, dir.File("gen.pcm"));
  Type(dialog, 1012, "3");
  Click(dialog, 1011);
  EXPECT_EQ(testing::ReadBytes(dir.File("gen.pcm")).size(), 9u);
  EXPECT_TRUE(prompts.messages.empty());

  Type(dialog, 1010, dir.File("no/such/folder.pcm"));
  Click(dialog, 1011);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"打开文件失败!"}));

  // An empty path or byte list: nothing, no message, the fields as typed.
  Type(dialog, 1010, "");
  Click(dialog, 1011);
  Type(dialog, 1010, dir.File("gen.pcm"));
  Type(dialog, 1008, "");
  Click(dialog, 1011);
  EXPECT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(testing::ReadBytes(dir.File("gen.pcm")).size(), 9u);
  EXPECT_EQ(FieldText(dialog, 1008), "");
}

TEST(MainDialogTools, GenerateReportsAFailedWrite) {
  testing::TempDir dir;
  testing::WriteBytes(dir.File("keep.pcm"), {1, 2});
  testing::FakePrompts prompts;
  FullDisk disk;
  app::MainDialog dialog(prompts, &disk);
  Type(dialog, 1008, "55");
  Type(dialog, 1010, dir.File("keep.pcm"));
  Click(dialog, 1011);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"写入文件失败!"}));
  EXPECT_EQ(testing::ReadBytes(dir.File("keep.pcm")), (std::vector<std::uint8_t>{1, 2}));
}

TEST(MainDialogTools, GenerateWithAnInvalidCountUsesTheLastValidOne) {
  testing::TempDir dir;
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  Type(dialog, 1008, "ab");
  Type(dialog, 1010, dir.File("g.pcm"));
  Type(dialog, 1012, "");
  Click(dialog, 1011);
  EXPECT_EQ(prompts.validations.size(), 1u);
  EXPECT_EQ(testing::ReadBytes(dir.File("g.pcm")), (std::vector<std::uint8_t>{0xAB, 0xAB}));
}

TEST(MainDialogTools, RemoveHumUsesTheLastPulledFileWithoutAPull) {
  testing::TempDir dir;
  setenv("QUORVANE_DRIVE_D", dir.path().c_str(), 1);
  testing::WriteBytes(dir.File("in.pcm"), std::vector<std::uint8_t>(330, 0xE0));
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  Type(dialog, 1006, dir.File("in.pcm"));
  Click(dialog, 1017);  // m_dtmfFile is still empty: nothing happens
  EXPECT_FALSE(std::filesystem::exists(dir.File("NoiseClear.pcm")));
  Type(dialog, 1012, "");
  Click(dialog, 1002);  // no pull either
  Click(dialog, 1017);
  EXPECT_FALSE(std::filesystem::exists(dir.File("NoiseClear.pcm")));
  EXPECT_TRUE(prompts.validations.empty());

  prompts.openAnswer = dir.File("in.pcm");
  Click(dialog, 1007);
  Click(dialog, 1017);
  EXPECT_EQ(testing::ReadBytes(dir.File("NoiseClear.pcm")), std::vector<std::uint8_t>(320, 0xFF));
  EXPECT_TRUE(prompts.messages.empty());
  unsetenv("QUORVANE_DRIVE_D");
}

TEST(MainDialogTools, RemoveHumReportsAFailedWriteOnly) {
  testing::TempDir dir;
  setenv("QUORVANE_DRIVE_D", dir.path().c_str(), 1);
  testing::WriteBytes(dir.File("in.pcm"), std::vector<std::uint8_t>(160, 0x10));
  testing::FakePrompts prompts;
  FullDisk disk;
  app::MainDialog dialog(prompts, &disk);
  dialog.m_dtmfFile = dir.File("missing.pcm");
  Click(dialog, 1017);  // silent
  EXPECT_TRUE(prompts.messages.empty());
  dialog.m_dtmfFile = dir.File("in.pcm");
  Click(dialog, 1017);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"写入文件失败!"}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("NoiseClear.pcm")));
  unsetenv("QUORVANE_DRIVE_D");
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

TEST(MainDialogTools, FullWidthCommasTypedInTheFormAreBytesNotSeparators) {
  testing::TempDir dir;
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  QString commas;
  for (int i = 0; i < 255; ++i) commas += QChar(0xFF0C);
  testing::Edit(dialog, 1008)->setText(commas);
  Type(dialog, 1010, dir.File("w.pcm"));
  Click(dialog, 1011);
  EXPECT_EQ(dialog.m_ulawData.size(), 765u);  // UTF-8 bytes
  EXPECT_EQ(testing::ReadBytes(dir.File("w.pcm")), (std::vector<std::uint8_t>{0x00, 0x00}));
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

TEST(MainDialogTools, DrvScriptButtonWritesTheLogAndTouchesNoField) {
  testing::TempDir dir;
  setenv("QUORVANE_DRIVE_D", dir.path().c_str(), 1);
  const std::string script = "10,20\r\nwait,7\r\n";
  testing::WriteBytes(dir.File("NET_7Q408.txt"), std::vector<std::uint8_t>(script.begin(), script.end()));
  testing::FakePrompts prompts;
  app::MainDialog dialog(prompts);
  Type(dialog, 1012, "");
  Type(dialog, 1001, "typed");
  CapturedDebug captured;
  platform::SetDebugOutputSink(CapturedDebug::Sink, &captured);
  Click(dialog, 1018);
  platform::SetDebugOutputSink(nullptr, nullptr);
  const auto log = testing::ReadBytes(dir.File("DrvInitLog.txt"));
  EXPECT_EQ(std::string(log.begin(), log.end()), "0x10,0x20\r\nwait: 7\r\n");
  EXPECT_EQ(captured.texts, (std::vector<std::string>{"0x10,0x20\r\n", "wait: 7\r\n"}));
  EXPECT_EQ(FieldText(dialog, 1001), "typed");
  EXPECT_TRUE(prompts.validations.empty());
  std::filesystem::remove(dir.File("NET_7Q408.txt"));
  Click(dialog, 1018);  // missing script: silent, empty log
  EXPECT_TRUE(testing::ReadBytes(dir.File("DrvInitLog.txt")).empty());
  EXPECT_TRUE(prompts.messages.empty());
  unsetenv("QUORVANE_DRIVE_D");
}

}  // namespace
}  // namespace quorvane
