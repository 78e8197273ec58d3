#include "app/main_dialog.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/app_icon.h"
#include "app/dialog_template.h"
#include "app/form_builder.h"
#include "app/user_prompts.h"
#include "app/waveform_viewer.h"
#include "auth/auth_test.h"
#include "runs/dtmf_run.h"
#include "runs/fsk_run.h"
#include "platform/drive_d.h"
#include "script/driver_script.h"
#include "tools/hum_remover.h"
#include "tools/pcm_generator.h"

namespace quorvane::app {
namespace {

const QString kOpenFilter = QStringLiteral("PCM Raw File (*.pcm);;(*.*) (*)");
const QString kSaveFilter = QStringLiteral("PCM Raw File (*.pcm)");
constexpr std::uint32_t kMaxRepeatCount = 99999;
constexpr int kRepeatCountEdit = 1012;

}  // namespace

std::uint64_t& AdpcmTestCounter() {
  static std::uint64_t counter = 0;
  return counter;
}

MainDialog::MainDialog(UserPrompts& prompts, OutputFile* output, QWidget* parent)
    : QDialog(parent), m_hIcon(AppIcon()), prompts_(prompts), output_(output ? *output : atomicOutput_) {
  // A fixed frame with a close box and no minimise or maximise box.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  controls_ = BuildForm(*this, kMainDialogSpec, m_hIcon);
  setWindowIcon(m_hIcon);
  WireCommands();
  UpdateData(false);
  Control(1000)->setFocus();
}

MainDialog::~MainDialog() = default;

QWidget* MainDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void MainDialog::WireCommands() {
  const std::pair<int, void (MainDialog::*)()> table[] = {
      {IDOK, &MainDialog::OnOK},
      {IDCANCEL, &MainDialog::OnCancel},
      {1000, &MainDialog::OnDtmfDetect},
      {1003, &MainDialog::OnDbTest},
      {1004, &MainDialog::OnButton4},
      {1005, &MainDialog::OnAdpcmTest},
      {1007, &MainDialog::OnBrowseDtmfFile},
      {1009, &MainDialog::OnBrowseSavePath},
      {1011, &MainDialog::GeneratePcmFile},
      {1013, &MainDialog::RunFskDetection},
      {1016, &MainDialog::OnBrowseFskFile},
      {1002, &MainDialog::RunAuthTest},
      {1017, &MainDialog::RemoveHum},
      {1018, &MainDialog::RunDriverScript},
  };
  for (const auto& [id, handler] : table) {
    connect(static_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
  }
}

// ---- pull and push ----

bool MainDialog::UpdateData(bool saveAndValidate) { return DoDataExchange(saveAndValidate); }

bool MainDialog::DoDataExchange(bool save) {
  ExchangeText(save, 1001, m_dtmfResult);
  ExchangeText(save, 1006, m_dtmfFile);
  ExchangeText(save, 1010, m_savePath);
  ExchangeText(save, 1008, m_ulawData);
  if (!ExchangeRepeatCount(save)) return false;  // the rest keep their values
  ExchangeText(save, 1015, m_fskFile);
  ExchangeText(save, 1014, m_fskResult);
  return true;
}

void MainDialog::ExchangeText(bool save, int id, std::string& member) {
  auto* edit = static_cast<QLineEdit*>(Control(id));
  if (save) member = edit->text().toStdString();
  else edit->setText(QString::fromStdString(member));
}

bool MainDialog::ExchangeRepeatCount(bool save) {
  auto* edit = static_cast<QLineEdit*>(Control(kRepeatCountEdit));
  if (!save) {
    edit->setText(QString::number(m_repeatCount));
    return true;
  }
  bool isNumber = false;
  const qulonglong value = edit->text().trimmed().toULongLong(&isNumber);
  if (!isNumber || value > kMaxRepeatCount) {
    // The member keeps its last valid value.
    prompts_.ShowValidationMessage(this, isNumber ? QStringLiteral("请输入一个介于 0 和 99999 之间的整数。")
                                                  : QStringLiteral("请输入一个无符号整数。"));
    edit->setFocus();
    edit->selectAll();
    return false;
  }
  m_repeatCount = static_cast<std::uint32_t>(value);
  return true;
}

// ---- window commands ----

void MainDialog::OnSysCommand(unsigned command, long /*param*/) {
  if ((command & 0xFFF0u) == kAboutCommand) prompts_.ShowAbout(this);
}

std::unique_ptr<QMenu> MainDialog::CreateSystemMenu() {
  auto menu = std::make_unique<QMenu>(this);
  const QString text = QString::fromUtf8(kAboutMenuText);
  if (!text.isEmpty()) {
    connect(menu->addAction(text), &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand, 0); });
  }
  return menu;
}

std::unique_ptr<QMenu> MainDialog::CreateContextMenu() {
  auto menu = CreateSystemMenu();
  connect(menu->addAction(QString::fromUtf8(kWaveformMenuText)), &QAction::triggered, this,
          [this] { OpenWaveformViewer(); });
  return menu;
}

void MainDialog::OpenWaveformViewer() {
  const auto* field = static_cast<QLineEdit*>(Control(1006));
  auto* viewer = new WaveformViewer(field->text().toStdString(), this);
  viewer->show();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  CreateContextMenu()->exec(event->globalPos());
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter on a visible button clicks it; anywhere else it is OK.
      auto* button = qobject_cast<QPushButton*>(focusWidget());
      if (button && button->isVisible()) button->click();
      else OnOK();
      return;
    }
    case Qt::Key_Escape:
      OnCancel();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void MainDialog::OnOK() {
  if (UpdateData(true)) accept();
}

void MainDialog::OnCancel() { QDialog::reject(); }

// The close box comes here too: cancel, without a pull.
void MainDialog::reject() { OnCancel(); }

// ---- the buttons ----

void MainDialog::OnDtmfDetect() {
  UpdateData(true);
  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(m_dtmfFile, DtmfStartOffset(), nullptr)) return;
  DtmfRunResult run;
  // A read that fails part way shows the digits found before it.
  RunDtmfDetection(file, &run, nullptr);
  m_dtmfResult = run.digits;
  UpdateData(false);
}

void MainDialog::RunFskDetection() {
  UpdateData(true);
  m_fskResult.clear();
  PcmRawFile file;
  if (!file.OpenAtRotatingOffset(m_fskFile, FskStartOffset(), nullptr)) return;
  FskRunResult run;
  quorvane::RunFskDetection(file, &run, nullptr);
  m_dtmfResult.clear();
  m_fskResult = run.number;
  UpdateData(false);
}

void MainDialog::OnDbTest() {}

void MainDialog::OnButton4() {
  char scratch[64];
  std::snprintf(scratch, sizeof scratch, "fdsfdfs%s", "");
}

void MainDialog::OnAdpcmTest() {
  for (int i = 0; i < 100; ++i) {
    AdpcmTestCounter() += 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void MainDialog::OnBrowseDtmfFile() {
  std::string path;
  if (!prompts_.ChooseOpenFile(this, kOpenFilter, path)) return;
  m_dtmfFile = path;
  UpdateData(false);
}

void MainDialog::OnBrowseSavePath() {
  std::string path;
  if (!prompts_.ChooseSaveFile(this, kSaveFilter, path)) return;
  UpdateData(true);
  m_savePath = path;
  UpdateData(false);
}

void MainDialog::OnBrowseFskFile() {
  std::string path;
  if (!prompts_.ChooseOpenFile(this, kOpenFilter, path)) return;
  m_fskFile = path;
  UpdateData(false);
}

void MainDialog::GeneratePcmFile() {
  UpdateData(true);
  if (m_savePath.empty() || m_ulawData.empty() || m_repeatCount > kMaxRepeatCount) return;
  if (!output_.Open(m_savePath, nullptr)) {
    prompts_.ShowMessage(this, QStringLiteral("打开文件失败!"));
    return;
  }
  if (!quorvane::GeneratePcmFile(m_ulawData, m_repeatCount, output_, nullptr)) {
    prompts_.ShowMessage(this, QStringLiteral("写入文件失败!"));
  }
}

void MainDialog::RunAuthTest() { quorvane::RunAuthTest(); }

void MainDialog::RemoveHum() {
  // No pull: the file last pulled or chosen. Only a failed write is shown.
  PcmRawFile input;
  if (!input.Open(m_dtmfFile, nullptr) || !output_.Open(platform::DriveDPath(kHumRemoverOutputName), nullptr)) return;
  if (!quorvane::RemoveHum(input, output_, nullptr) && input.ReadsSucceeded(nullptr)) {
    prompts_.ShowMessage(this, QStringLiteral("写入文件失败!"));
  }
}

void MainDialog::RunDriverScript() { quorvane::RunDriverScript(); }

}  // namespace quorvane::app
