#include "dtmf/keys.h"

namespace quorvane {

const float DtmfRowFreqs[4] = {697.0f, 770.0f, 852.0f, 941.0f};
const float DtmfColFreqs[4] = {1209.0f, 1336.0f, 1477.0f, 1633.0f};
const char DtmfDigitMap[17] = "123A456B789C*0#D";

}  // namespace quorvane
