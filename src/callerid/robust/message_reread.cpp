#include "callerid/robust/message_reread.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "callerid/message.h"

namespace quorvane {
namespace {

using Complex = std::complex<double>;

constexpr int kCharacterBits = 10;     // start, eight data bits, stop
constexpr int kContextBits = 2;        // bits either side read with a character
constexpr double kShiftSpan = 1.5;     // samples a start edge may move
constexpr double kShiftStep = 0.125;
constexpr int kMaxIdleBits = 20;       // more mark between characters ends a burst
constexpr int kSpareCharacters = 2;    // a message may be this much longer than the first framing
constexpr int kStretchSamples = 192;   // a character, its context and the type character's shifts
// Where noise hid the type character's start bit, the first framing starts
// it at a later space: up to seven bits late for 0x80. Noise in the mark
// before it may frame it a bit early.
constexpr int kTypeLateBits = 7;
constexpr int kTypeEarlyBits = 1;
constexpr double kMinTypeFit = 0.4;    // of the samples' energy (see Fit) that a type character holds
constexpr int kMaxSegments = 2 * kContextBits + kCharacterBits + 4;
constexpr int kReadEdges = kCharacterBits + 2 * kContextBits + 1;  // bit edges of a character and its context

// The message types, lowest first.
const std::vector<std::uint8_t>& MessageTypes() {
  static const std::vector<std::uint8_t> types = [] {
    std::vector<std::uint8_t> out;
    for (int v = 0; v < 256; ++v) {
      if (IsCallerIdMessageType(static_cast<std::uint8_t>(v))) out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
  }();
  return types;
}

// One character's start edge and value as a reading holds them.
struct Held {
  double edge;
  std::uint8_t value;
  bool onSamples;   // its bits switch on whole samples
  bool stopIsMark;  // its stop bit read as mark
};

// Where bit k of a character starting at `edge` begins. A sender that
// makes its tones at 8000 samples/s switches them on its own samples, up
// to a third of a sample off a steady clock, which turns a change of tone
// by up to a quarter radian.
double BitEdge(double edge, int k, double bit, bool onSamples) {
  const double steady = edge + k * bit;
  return onSamples ? std::ceil(steady) : steady;
}

double BitEdge(const Held& h, int k, double bit) { return BitEdge(h.edge, k, bit, h.onSamples); }

int BitTone(std::uint8_t value, int bit) {  // 0 mark, 1 space; mark past the stop bit
  if (bit == 0) return 1;
  if (bit >= kCharacterBits - 1 || bit < 0) return 0;
  return (value >> (bit - 1)) & 1 ? 0 : 1;
}

// What a reading knows of the signal: its samples, both tones (radians per
// sample, mark first) and the bit length. References run from one origin
// for the whole message, so the correlations of different stretches share
// their phase.
struct Reading {
  const FskSampleRing& ring;
  double omega[2];
  std::int64_t origin;
  double bit;
};

// The samples around one character against both tones' references, as
// prefix sums: prefix[t][m] sums x(n) e^{-j w_t (n - origin)} for n before
// first + m.
struct Stretch {
  std::int64_t first;
  int length;
  Complex prefix[2][kStretchSamples + 1];
  double energy[kStretchSamples + 1];  // of the samples, likewise
};

void MakeStretch(Stretch& s, const Reading& r, double from, double to) {
  s.first = static_cast<std::int64_t>(std::floor(from)) - 1;
  s.length = std::min(kStretchSamples, static_cast<int>(std::ceil(to) - static_cast<double>(s.first)) + 1);
  s.energy[0] = 0.0;
  for (int m = 0; m < s.length; ++m) {
    const double x = FskSampleRingAt(r.ring, s.first + m);
    s.energy[m + 1] = s.energy[m] + x * x;
  }
  for (int t = 0; t < 2; ++t) {
    s.prefix[t][0] = 0.0;
    for (int m = 0; m < s.length; ++m) {
      const std::int64_t n = s.first + m;
      const double x = FskSampleRingAt(r.ring, n);
      s.prefix[t][m + 1] = s.prefix[t][m] + x * std::polar(1.0, -r.omega[t] * static_cast<double>(n - r.origin));
    }
  }
}

// The sum up to time `x` (sample n covers [n, n + 1)), within the stretch.
Complex UpTo(const Stretch& s, int tone, double x) {
  const double local = std::clamp(x - static_cast<double>(s.first), 0.0, static_cast<double>(s.length));
  const int whole = std::min(static_cast<int>(local), s.length - 1);
  const double fraction = local - whole;
  return s.prefix[tone][whole] + fraction * (s.prefix[tone][whole + 1] - s.prefix[tone][whole]);
}

Complex Correlation(const Stretch& s, int tone, double from, double to) {
  return UpTo(s, tone, to) - UpTo(s, tone, from);
}

// How much of the samples' energy over [from, to) a correlation `sum` with
// a unit signal holds: 1 for the signal alone, 1 / (1 + 1 / SNR) in noise.
double Fit(const Stretch& s, double sumNorm, double from, double to) {
  const auto at = [&](double x) {
    return std::clamp(static_cast<int>(std::lround(x - static_cast<double>(s.first))), 0, s.length);
  };
  const int a = at(from), b = at(to);
  const double energy = s.energy[b] - s.energy[a];
  return energy > 0.0 ? 2.0 * sumNorm / (static_cast<double>(b - a) * energy) : 0.0;
}

// A continuous-phase signal against the references, segment by segment:
// sum of e^{-j alpha} C, alpha turning by (w_before - w_after)(b - origin)
// at each change of tone at b.
struct Walk {
  Complex sum;
  double alpha;
  int tone;  // -1 before the first segment
};

// e^{j theta}; most walks have not turned yet, and cos 0 and sin 0 need no call.
Complex Turn(double theta) { return theta == 0.0 ? Complex(1.0, theta) : std::polar(1.0, theta); }

void Step(Walk& w, const Reading& r, const Stretch& s, double from, double to, int tone) {
  if (w.tone >= 0 && tone != w.tone) w.alpha += (r.omega[w.tone] - r.omega[tone]) * (from - static_cast<double>(r.origin));
  w.tone = tone;
  w.sum += Turn(-w.alpha) * Correlation(s, tone, from, to);
}

// Steps over [from, to) as `neighbour` sends it (mark outside its bits).
void StepNeighbour(Walk& w, const Reading& r, const Stretch& s, double from, double to, const Held& neighbour) {
  double t = from;
  for (int guard = 0; t < to && guard < kMaxSegments; ++guard) {
    int tone = 0;
    double end = to;
    if (t < BitEdge(neighbour, 0, r.bit)) {
      end = std::min(to, BitEdge(neighbour, 0, r.bit));
    } else {
      int k = 0;
      while (k < kCharacterBits && BitEdge(neighbour, k + 1, r.bit) <= t) ++k;
      if (k < kCharacterBits) {
        tone = BitTone(neighbour.value, k);
        end = std::min(to, BitEdge(neighbour, k + 1, r.bit));
      }
    }
    Step(w, r, s, t, end, tone);
    t = end;
  }
}

// Each tone's frequency error, from how its correlation turns from one bit
// to the next within runs of that tone.
void MeasureTones(Reading& r, const Held* held, int count) {
  Complex turn[2] = {};
  Stretch s;
  for (int i = 0; i < count; ++i) {
    MakeStretch(s, r, held[i].edge - 1.0, BitEdge(held[i], kCharacterBits, r.bit) + 1.0);
    Complex before;
    for (int k = 0; k < kCharacterBits; ++k) {
      const int tone = BitTone(held[i].value, k);
      const Complex c = Correlation(s, tone, BitEdge(held[i], k, r.bit), BitEdge(held[i], k + 1, r.bit));
      if (k > 0 && BitTone(held[i].value, k - 1) == tone) turn[tone] += c * std::conj(before);
      before = c;
    }
  }
  for (int t = 0; t < 2; ++t) {
    if (std::abs(turn[t]) > 0.0) r.omega[t] += std::arg(turn[t]) / r.bit;
  }
}

// The samples a reading of the character starting within `span` of
// `center` looks at.
void MakeCharacterStretch(Stretch& s, const Reading& r, double center, double span) {
  MakeStretch(s, r, center - span - kContextBits * r.bit - 1.0, center + span + (kCharacterBits + kContextBits) * r.bit + 1.0);
}

// Whether a shift on whole samples puts the edges of `here`, from the
// context before it to the context after it, where the last such shift
// put them (`previous`, which it then takes).
bool SameEdgesAsBefore(const Held& here, double bit, double (&previous)[kReadEdges],
                       bool& previousValid) {
  double edges[kReadEdges];
  for (int k = 0; k < kReadEdges; ++k) edges[k] = BitEdge(here, k - kContextBits, bit);
  const bool same = previousValid && std::equal(std::begin(edges), std::end(edges), std::begin(previous));
  std::copy(std::begin(edges), std::end(edges), std::begin(previous));
  previousValid = true;
  return same;
}

// At least the fit (see Fit) of the best reading of a type character with
// nothing held either side (ReadCharacter with `typesOnly`), over every
// start edge it tries: the walks add up correlations turned by unit
// phasors, so a walk is no longer than the sum of their sizes, whatever the
// stop bit, the bits after it and the turns. Speech and music open many
// starts that hold no type character; this costs a tenth of reading one.
double TypeFitBound(const Reading& r, double center, double span) {
  Stretch s;
  MakeCharacterStretch(s, r, center, span);
  const int shifts = static_cast<int>(2.0 * span / kShiftStep) + 1;
  double bound = 0.0;
  double previousEdges[kReadEdges] = {};  // the last shift on whole samples
  bool sameEdgesValid = false;
  for (int tried = 0; tried < 2 * shifts; ++tried) {
    const Held here{center - span + (tried % shifts) * kShiftStep, 0, tried >= shifts, true};
    // A shift on whole samples that lands on the edges of the one before
    // bounds the same.
    if (here.onSamples && SameEdgesAsBefore(here, r.bit, previousEdges, sameEdgesValid)) continue;
    // The sums up to each bit edge, each taken once though two bits share it.
    Complex upTo[2][kCharacterBits + kContextBits + 1];  // by tone and edge
    for (int k = 0; k <= kCharacterBits + kContextBits; ++k) {
      for (int t = 0; t < 2; ++t) upTo[t][k] = UpTo(s, t, BitEdge(here, k, r.bit));
    }
    const auto size = [](Complex from, Complex to) { return std::sqrt(std::norm(to - from)); };
    double sizes[2][kCharacterBits + kContextBits];  // by tone and bit
    for (int k = 0; k < kCharacterBits + kContextBits; ++k) {
      for (int t = 0; t < 2; ++t) sizes[t][k] = size(upTo[t][k], upTo[t][k + 1]);
    }
    double shared = size(UpTo(s, 0, BitEdge(here, -kContextBits, r.bit)), upTo[0][0]);  // the mark before
    for (int k = kCharacterBits - 1; k < kCharacterBits + kContextBits; ++k) shared += std::max(sizes[0][k], sizes[1][k]);
    double longest = 0.0;
    for (const std::uint8_t type : MessageTypes()) {
      double sum = shared;
      for (int k = 0; k < kCharacterBits - 1; ++k) sum += sizes[BitTone(type, k)][k];
      longest = std::max(longest, sum);
    }
    bound = std::max(bound, Fit(s, longest * longest, BitEdge(here, -kContextBits, r.bit),
                                BitEdge(here, kCharacterBits + kContextBits, r.bit)));
  }
  return bound;
}

// Reads the character starting within `span` of `center`: `before` is the
// character before it (none: mark), `after` the one after it (none: the two
// bits after the stop bit are whatever fits best). Only message types when
// `typesOnly`.
Held ReadCharacter(const Reading& r, double center, double span, bool typesOnly, const Held* before, const Held* after,
                   double* fit = nullptr) {
  Stretch s;
  MakeCharacterStretch(s, r, center, span);
  const int shifts = static_cast<int>(2.0 * span / kShiftStep) + 1;
  double bestScore = -1.0;
  Held best{center, 0, false, true};
  struct Through {
    Complex phase, sum;
    int tone;
  };
  Through walks[256];  // by value: the walk through its start and data bits
  double previousEdges[kReadEdges] = {};  // the last shift on whole samples
  bool sameEdgesValid = false;
  for (int tried = 0; tried < 2 * shifts; ++tried) {
    const bool onSamples = tried >= shifts;
    const double start = center - span + (tried % shifts) * kShiftStep;
    const Held here{start, 0, onSamples, true};
    // Without a character before it, a shift on whole samples reads only
    // its bit edges; one that lands on the same edges as the shift before
    // scores the same and cannot win.
    if (onSamples && !before && SameEdgesAsBefore(here, r.bit, previousEdges, sameEdgesValid)) continue;
    Walk lead{0.0, 0.0, -1};
    const double leadFrom = BitEdge(here, -kContextBits, r.bit);
    if (before) {
      StepNeighbour(lead, r, s, leadFrom, start, *before);
    } else {
      Step(lead, r, s, leadFrom, BitEdge(here, 0, r.bit), 0);
    }
    // What follows the stop bit, against the stop bit's phase, for a stop
    // bit of either tone: the neighbour as held, or each of the four pairs
    // of bits.
    Complex trail[2][4];
    int trails = 0;
    const double end = BitEdge(here, kCharacterBits, r.bit);
    const double trailTo = BitEdge(here, kCharacterBits + kContextBits, r.bit);
    Complex trailCorrelation[2][kContextBits];  // by tone and bit after the stop bit
    if (!after) {
      for (int t = 0; t < 2; ++t) {
        for (int k = 0; k < kContextBits; ++k) {
          trailCorrelation[t][k] =
              Correlation(s, t, BitEdge(here, kCharacterBits + k, r.bit), BitEdge(here, kCharacterBits + k + 1, r.bit));
        }
      }
    }
    for (int stop = 0; stop < 2; ++stop) {
      trails = 0;
      if (after) {
        Walk w{0.0, 0.0, stop};
        StepNeighbour(w, r, s, end, trailTo, *after);
        trail[stop][trails++] = w.sum;
      } else {
        // The two bits as Step would walk them, pair by pair, sharing the
        // correlations and turns that pairs have in common.
        static_assert(kContextBits == 2, "the trail walks two bits");
        const double edge[3] = {end, BitEdge(here, kCharacterBits + 1, r.bit), trailTo};
        for (int first = 0; first < 2; ++first) {
          const double alpha1 = first == stop ? 0.0 : (r.omega[stop] - r.omega[first]) * (edge[0] - static_cast<double>(r.origin));
          const Complex turn1 = Turn(-alpha1);
          const Complex step1 = turn1 * trailCorrelation[first][0];
          for (int second = 0; second < 2; ++second) {
            const Complex turn2 =
                second == first ? turn1
                                : Turn(-(alpha1 + (r.omega[first] - r.omega[second]) * (edge[1] - static_cast<double>(r.origin))));
            Complex sum = 0.0;
            sum += step1;
            sum += turn2 * trailCorrelation[second][1];
            trail[stop][first | second << 1] = sum;
          }
        }
        trails = 4;
      }
    }
    // Each bit's correlation with both tones, and the turn a change from
    // mark to space at its leading edge makes.
    Complex c[kCharacterBits][2];
    Complex toSpace[kCharacterBits];
    Complex upTo[2][kCharacterBits + 1];  // the sums up to each bit edge, taken once
    for (int k = 0; k <= kCharacterBits; ++k) {
      for (int t = 0; t < 2; ++t) upTo[t][k] = UpTo(s, t, BitEdge(here, k, r.bit));
    }
    for (int k = 0; k < kCharacterBits; ++k) {
      for (int t = 0; t < 2; ++t) c[k][t] = upTo[t][k + 1] - upTo[t][k];
      toSpace[k] = std::polar(1.0, -(r.omega[0] - r.omega[1]) * (BitEdge(here, k, r.bit) - static_cast<double>(r.origin)));
    }
    // The walk through the start and data bits for every value: values
    // that share their first bits share that part of the walk, so it is
    // grown one bit at a time (value bits least significant first), each
    // value's steps the same as when walked alone.
    int walked = 0;
    const Complex leadPhase = Turn(-lead.alpha);
    const auto stepBit = [&](const Through& from, Through& to, int k, int t) {
      to.phase = from.phase;
      if (from.tone >= 0 && t != from.tone) to.phase *= t == 1 ? toSpace[k] : std::conj(toSpace[k]);
      to.tone = t;
      to.sum = from.sum + to.phase * c[k][t];
    };
    constexpr int kStop = kCharacterBits - 1;
    Through afterStart;
    stepBit({leadPhase, lead.sum, lead.tone}, afterStart, 0, BitTone(0, 0));
    if (typesOnly) {
      for (const std::uint8_t type : MessageTypes()) {
        Through& w = walks[walked++];
        w = afterStart;
        for (int k = 1; k < kStop; ++k) stepBit(w, w, k, BitTone(type, k));
      }
    } else {
      // walks[p] after k data bits holds the values whose low k bits are p.
      walks[0] = afterStart;
      for (int k = 1, prefixes = 1; k < kStop; ++k, prefixes *= 2) {
        for (int p = prefixes - 1; p >= 0; --p) {
          stepBit(walks[p], walks[p + prefixes], k, 0);  // bit k - 1 set: mark
          stepBit(walks[p], walks[p], k, 1);
        }
      }
      walked = 256;
    }
    for (int i = 0; i < walked; ++i) {
      const auto value = static_cast<std::uint8_t>(typesOnly ? MessageTypes()[i] : i);
      const Through& w = walks[i];
      // A stop bit that reads as space marks no character: chance
      // framings of music mostly end that way.
      for (int stop = 0; stop < 2; ++stop) {
        const Complex stopPhase =
            stop == w.tone ? w.phase : w.phase * (stop == 1 ? toSpace[kStop] : std::conj(toSpace[kStop]));
        const Complex through = w.sum + stopPhase * c[kStop][stop];
        for (int j = 0; j < trails; ++j) {
          const double score = std::norm(through + stopPhase * trail[stop][j]);
          if (score > bestScore) {
            bestScore = score;
            best = {start, value, onSamples, stop == 0};
          }
        }
      }
    }
  }
  if (fit) {
    *fit = Fit(s, bestScore, BitEdge(best, -kContextBits, r.bit), BitEdge(best, kCharacterBits + kContextBits, r.bit));
  }
  return best;
}

// Whether bit `k` of the character held as `previous` (k past its stop
// bit, after idle mark) is the next character's start bit: the bits either
// side of it read best with it as space.
bool StartBitAt(const Reading& r, const Held& previous, int k) {
  Stretch s;
  MakeStretch(s, r, BitEdge(previous, k - kContextBits, r.bit) - 1.0, BitEdge(previous, k + kContextBits + 1, r.bit) + 1.0);
  double best[2] = {-1.0, -1.0};  // by the tone of bit k
  for (int pattern = 0; pattern < 8; ++pattern) {
    Walk w{0.0, 0.0, -1};
    for (int j = k - kContextBits; j <= k + kContextBits; ++j) {
      const int tone = j < k ? BitTone(previous.value, j) : (pattern >> (j - k)) & 1;
      Step(w, r, s, BitEdge(previous, j, r.bit), BitEdge(previous, j + 1, r.bit), tone);
    }
    best[pattern & 1] = std::max(best[pattern & 1], std::norm(w.sum));
  }
  return best[1] > best[0];
}

}  // namespace

bool RereadFskMessage(const FskSampleRing& ring, TonePlan plan, double bitSamples,
                      const RobustFskCharacter* firstRead, int firstCount, FskRereadMessage& out) {
  if (firstCount < 1) return false;
  firstCount = std::min(firstCount, kRereadCharacters);
  constexpr double kRadiansPerHz = 2.0 * std::numbers::pi / 8000.0;
  const double nominal[2] = {TonesOf(plan).mark * kRadiansPerHz, TonesOf(plan).space * kRadiansPerHz};
  Reading r{ring, {nominal[0], nominal[1]}, firstRead[0].startSample, bitSamples};
  Held held[kRereadCharacters];
  // The first framing's bits are mostly right even where its characters
  // are not: they measure the tones.
  for (int i = 0; i < firstCount; ++i) held[i] = {static_cast<double>(firstRead[i].startSample), firstRead[i].value, false, true};
  MeasureTones(r, held, firstCount);

  const double firstEdge = static_cast<double>(firstRead[0].startSample);
  const double typeCenter = firstEdge - (kTypeLateBits - kTypeEarlyBits) * bitSamples / 2.0;
  const double typeSpan = (kTypeLateBits + kTypeEarlyBits) * bitSamples / 2.0 + kShiftSpan;
  // The bound is summed in another order than the fit: a hair of room for rounding.
  if (TypeFitBound(r, typeCenter, typeSpan) < kMinTypeFit * (1.0 - 1e-9)) return false;
  double fit = 0.0;
  held[0] = ReadCharacter(r, typeCenter, typeSpan, true, nullptr, nullptr, &fit);
  // A type character sent in noise at 4 dB still fits at about 0.7.
  if (fit < kMinTypeFit) return false;
  int count = 2;  // until the length is read
  for (int i = 1; i < count; ++i) {
    int k = kCharacterBits;
    while (!StartBitAt(r, held[i - 1], k)) {
      if (++k > kCharacterBits + kMaxIdleBits) return false;
    }
    held[i] = ReadCharacter(r, BitEdge(held[i - 1], k, r.bit), kShiftSpan, false, &held[i - 1], nullptr);
    if (i == 1) {
      count = held[1].value + 3;
      if (count > firstCount + kSpareCharacters) return false;
    }
  }
  // Measured again on this framing, edges and all.
  r.omega[0] = nominal[0];
  r.omega[1] = nominal[1];
  MeasureTones(r, held, count);
  for (int i = 0; i < count; ++i) {
    held[i] = ReadCharacter(r, held[i].edge, kShiftSpan, i == 0, i > 0 ? &held[i - 1] : nullptr,
                            i + 1 < count ? &held[i + 1] : nullptr);
  }
  if (held[1].value + 3 != count) return false;
  for (int i = 0; i < count; ++i) {
    if (!held[i].stopIsMark) return false;
  }
  for (int i = 0; i < count; ++i) out.bytes[i] = held[i].value;
  out.count = count;
  out.startEdge = held[0].edge;
  out.endEdge = BitEdge(held[count - 1], kCharacterBits, r.bit);
  return true;
}

}  // namespace quorvane
