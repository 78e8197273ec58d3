// The main window: the form of template 102, the members the commands see,
// pull and push between them, and the command table.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <QDialog>
#include <QIcon>

#include "codec/output_file.h"

class QMenu;

namespace quorvane::app {

class UserPrompts;

// Text of string 101, the About item.
inline constexpr char kAboutMenuText[] = "关于 quorvane(&A)...";
inline constexpr unsigned kAboutCommand = 0x0010;
// The context-menu item that opens the waveform viewer.
inline constexpr char kWaveformMenuText[] = "显示波形...";

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // The file tools write through `output` when given (tests inject
  // failures there), else through an all-or-nothing file of our own.
  explicit MainDialog(UserPrompts& prompts, OutputFile* output = nullptr, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Pull (true): every control into its member, validating the repeat
  // count; false when a validation failed (the exchange stopped there).
  // Push (false): every member into its control.
  bool UpdateData(bool saveAndValidate = true);

  // The control with a dialog ID, or null.
  QWidget* Control(int id) const;

  // Any command whose value with the low four bits cleared is 16 opens the
  // About box.
  void OnSysCommand(unsigned command, long param);
  // The menu that carries the About item (the window manager gives us no
  // system menu to extend, so it is the form's context menu).
  std::unique_ptr<QMenu> CreateSystemMenu();
  // The form's right-click menu: the About item and the waveform viewer.
  std::unique_ptr<QMenu> CreateContextMenu();
  // Opens a viewer, not modal, of the file named in the DTMF file field as
  // it reads now (the members are left alone).
  void OpenWaveformViewer();

  // The command table.
  void OnDtmfDetect();
  void OnDbTest();
  void OnButton4();
  void OnAdpcmTest();
  void OnBrowseDtmfFile();
  void OnBrowseSavePath();
  void GeneratePcmFile();
  void RunFskDetection();
  void OnBrowseFskFile();
  void RunAuthTest();
  void RemoveHum();
  void RunDriverScript();
  void OnOK();
  void OnCancel();

  // The members: UTF-8 text and the repeat count.
  std::string m_dtmfResult;
  std::string m_dtmfFile;
  std::string m_savePath;
  std::string m_ulawData;
  std::uint32_t m_repeatCount = 2;
  std::string m_fskFile;
  std::string m_fskResult;
  QIcon m_hIcon;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void reject() override;

 private:
  bool DoDataExchange(bool save);
  void ExchangeText(bool save, int id, std::string& member);
  bool ExchangeRepeatCount(bool save);
  void WireCommands();

  UserPrompts& prompts_;
  AtomicOutputFile atomicOutput_;
  OutputFile& output_;
  std::map<int, QWidget*> controls_;
};

// The process-wide counter of the hidden "Adpcm test" button.
std::uint64_t& AdpcmTestCounter();

}  // namespace quorvane::app
