#include "dtmf/synth.h"

#include <cctype>
#include <cmath>

#include "base/failure.h"
#include "codec/signal_gen.h"
#include "codec/ulaw.h"
#include "dtmf/keys.h"

namespace quorvane {

int DtmfKeyIndex(char key) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  for (int i = 0; i < 16; ++i) {
    if (DtmfDigitMap[i] == upper) return i;
  }
  return -1;
}

bool SynthesizeDtmf(const DtmfSynthOptions& o, const std::string& path, std::string* error) {
  for (char key : o.digits) {
    if (DtmfKeyIndex(key) < 0) {
      return Fail(error, std::string("not a DTMF key: '") + key + "'");
    }
  }
  UlawFileWriter writer;
  if (!writer.Open(path, error)) return false;
  const double rowPeak = Dbm0ToPeak(o.levelDbm0);
  const double colPeak = Dbm0ToPeak(o.levelDbm0 + o.twistDb);
  const double noiseRms = o.snrDb ? std::sqrt((rowPeak * rowPeak + colPeak * colPeak) / 2.0) /
                                        std::pow(10.0, *o.snrDb / 20.0)
                                  : 0.0;
  GaussianNoise noise(o.seed);
  auto put = [&](double signal) { writer.Put(noiseRms > 0.0 ? signal + noiseRms * noise.Next() : signal); };
  auto silence = [&](std::int64_t n) {
    for (std::int64_t i = 0; i < n; ++i) put(0.0);
  };

  const double scale = 1.0 + o.freqOffsetPercent / 100.0;
  const std::int64_t toneSamples = MsToSamples(o.toneMs);
  silence(MsToSamples(o.leadMs));
  for (char key : o.digits) {
    ModulateDtmfKey(DtmfKeyIndex(key), rowPeak, colPeak, scale, toneSamples, put);
    silence(MsToSamples(o.gapMs));
  }
  return writer.Close(error);
}

}  // namespace quorvane
