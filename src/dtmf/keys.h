// The DTMF keypad: its tone pairs and its keys, for the detectors, the
// synthesiser and the plots alike.
#pragma once

namespace quorvane {

extern const float DtmfRowFreqs[4];  // 697, 770, 852, 941 Hz
extern const float DtmfColFreqs[4];  // 1209, 1336, 1477, 1633 Hz
extern const char DtmfDigitMap[17];  // "123A456B789C*0#D", row * 4 + column

}  // namespace quorvane
