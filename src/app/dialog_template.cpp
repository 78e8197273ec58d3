#include "app/dialog_template.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>

#include "version_info.h"

namespace quorvane::app {
namespace {

using K = ControlKind;

const ControlSpec kMainControls[] = {
    {IDOK, K::DefaultButton, "确定", 291, 140, 50, 14, false},
    {IDCANCEL, K::Button, "取消", 295, 106, 50, 14, false},
    {1000, K::Button, "检测", 247, 47, 50, 14, true},
    {1001, K::Edit, "", 79, 47, 163, 14, true},
    {1002, K::Button, "AuthTest", 199, 116, 50, 14, true},
    {1003, K::Button, "DB TEST", 279, 122, 50, 14, false},
    {1004, K::Button, "Button4", 290, 125, 50, 14, false},
    {1005, K::Button, "Adpcm test", 278, 126, 50, 14, false},
    {1006, K::Edit, "", 79, 23, 176, 14, true},
    {1007, K::Button, "....", 261, 23, 21, 14, true},
    {kNoId, K::Label, "DTMF文件(U律)", 14, 26, 58, 8, true},
    {kNoId, K::Label, "检测结果", 27, 49, 33, 8, true},
    {1008, K::Edit, "", 77, 155, 208, 14, true},
    {kNoId, K::Label, "保存路径", 29, 180, 42, 8, true},
    {1009, K::Button, "....", 261, 177, 21, 14, true},
    {1010, K::Edit, "", 77, 177, 175, 14, true},
    {kNoId, K::GroupBox, "U律数据生成PCM文件", 22, 138, 277, 82, true},
    {kNoId, K::Label, "U律数据", 29, 157, 45, 8, true},
    {1011, K::Button, "生成PCM(U律)文件", 181, 196, 80, 14, true},
    {kNoId, K::Label, "循环个数", 32, 202, 33, 8, true},
    {1012, K::DigitsEdit, "", 77, 198, 57, 14, true},
    {1013, K::Button, "检测", 247, 99, 50, 14, true},
    {1014, K::Edit, "", 79, 99, 163, 14, true},
    {1015, K::Edit, "", 79, 75, 176, 14, true},
    {1016, K::Button, "....", 261, 75, 21, 14, true},
    {kNoId, K::Label, "FSK文件路径", 23, 78, 45, 8, true},
    {kNoId, K::Label, "检测结果", 27, 101, 33, 8, true},
    {1017, K::Button, "去电流声", 287, 23, 50, 14, true},
    {1018, K::Button, "Drv Script", 303, 199, 50, 14, true},
};

const ControlSpec kAboutControls[] = {
    {kNoId, K::Icon, "", 11, 17, 20, 20, true},
    {kNoId, K::Label, "quorvane 1.0 版", 40, 10, 119, 8, true},
    // The first line stays as it always was; the second tells the exact build.
    {kNoId, K::Label, "版本 " QUORVANE_VERSION, 40, 25, 119, 8, true},
    {IDOK, K::DefaultButton, "确定", 178, 7, 50, 14, true},
};

int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>((product + denominator / 2) / denominator);
}

}  // namespace

const DialogSpec kMainDialogSpec{"quorvane", 354, 227, kMainControls};
const DialogSpec kAboutDialogSpec{"关于 quorvane", 235, 55, kAboutControls};

QFont DialogFont() {
  QFont font(QStringLiteral("WenQuanYi Zen Hei"));
  font.setPointSize(9);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int width, int height) {
  return QRect(MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(width, base.x, 4),
               MulDiv(height, base.y, 8));
}

}  // namespace quorvane::app
