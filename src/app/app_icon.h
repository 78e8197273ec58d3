// Icon 128: our own small drawing of a waveform over a keypad.
#pragma once

#include <QIcon>

namespace quorvane::app {

QIcon AppIcon();  // 32x32 and 16x16 images

}  // namespace quorvane::app
