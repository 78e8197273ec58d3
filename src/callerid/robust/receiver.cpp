#include "callerid/robust/receiver.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "callerid/robust/message_reread.h"

namespace quorvane {
namespace {

constexpr int kChunk = 256;             // samples per aligned processing step
constexpr int kStepCharacters = 16;     // room for the characters of one step (at most 10) or of the flush
constexpr int kBreakIdleBits = 20;      // more mark than this between characters ends a burst
constexpr int kFramingIdleBits = 8;     // a character after this much mark is plainly framed
// No message type carries less: a multiple data message holds at least one
// parameter's type and length. A shorter framing is chance, as in music.
constexpr int kShortestPayload = 2;
constexpr float kMinClarity = 0.55f;    // speech and noise give about 0.5; FSK near 0.8
constexpr std::uint8_t kSeizure = 0x55;
// The FSK part starts once the gate lets this many chunks in a row through
// (speech does so now and then for one or two), reading from this many
// chunks back, and stops once the gate has held shut for this many.
constexpr int kGateChunks = 3;
constexpr int kLookbackChunks = 8;
constexpr int kShutChunks = 10;

void Forget(RobustCallerIdHistory& h) {
  h.first = 0;
  h.count = 0;
  h.dropped = 0;
  MessageEndsReset(h.ends);
  h.framedStart = -1;
}

void ForgetAll(RobustCallerIdReceiver& r) {
  for (RobustCallerIdHistory& h : r.histories) Forget(h);
}

// Whether the character at `s` begins a message framed on its own: the
// first character, one after long mark, or one right after the seizure.
bool FramedStart(const RobustCallerIdHistory& h, int s) {
  return s == 0 || HistoryAt(h, s).idleBitsBefore >= kFramingIdleBits || HistoryAt(h, s - 1).value == kSeizure;
}

// The message type the character at `s` stood for, given `sum`, the sum
// of the characters from it to the checksum; false when it begins no
// message. Noise in the mark just before a message, taken for a start bit,
// frames its type one bit early (a bit late where mark follows it): the
// checksum tells which type was sent, and the type byte read must then be
// that type moved by one bit.
bool SentType(const RobustCallerIdHistory& h, int s, unsigned sum, std::uint8_t& type) {
  const std::uint8_t read = HistoryAt(h, s).value;
  if (IsCallerIdMessageType(read) && (sum & 0xFF) == 0) {
    type = read;
    return true;
  }
  if (!FramedStart(h, s)) return false;
  const auto sent = static_cast<std::uint8_t>(read - sum);
  const bool early = read == static_cast<std::uint8_t>(sent << 1);
  const bool late = read == static_cast<std::uint8_t>((sent >> 1) | 0x80);
  if (!IsCallerIdMessageType(sent) || !(early || late)) return false;
  type = sent;
  return true;
}

// The tone plan the history's characters [start, count) were sent in.
TonePlan PlanOf(const RobustCallerIdReceiver& r, const RobustCallerIdHistory& h, int start) {
  if (r.fsk.plan != TonePlan::Auto) return r.fsk.plan;
  std::complex<double> markTurn, spaceTurn;
  for (int i = start; i < h.count; ++i) {
    markTurn += HistoryAt(h, i).markTurn;
    spaceTurn += HistoryAt(h, i).spaceTurn;
  }
  return EstimateTonePlan(markTurn, spaceTurn);
}

// The mean squared peak of the history's characters [start, end).
double MeanAmplitudeSquared(const RobustCallerIdHistory& h, int start, int end) {
  double sum = 0.0;
  for (int i = start; i < end; ++i) sum += HistoryAt(h, i).amplitudeSquared;
  return end > start ? sum / (end - start) : 0.0;
}

// The message `bytes` (`n` of them), sent in `plan` at a squared peak of
// `amplitudeSquared` over [startSample, endSample], when it is well formed.
bool Describe(const std::uint8_t* bytes, int n, TonePlan plan, double amplitudeSquared, std::int64_t startSample,
              std::int64_t endSample, CallerIdMessageEvent& message) {
  if (!DecodeCallerIdMessage(bytes, static_cast<std::size_t>(n), message.info)) return false;
  message.start = startSample;
  message.end = endSample;
  message.plan = plan;
  message.levelDbm0 = PeakSquaredToDbm0(amplitudeSquared);
  return true;
}

// The message of the history's characters [start, count), its type byte
// taken as `type`, when it is one worth showing.
bool Accept(const RobustCallerIdReceiver& r, const RobustCallerIdHistory& h, int start, std::uint8_t type,
            CallerIdMessageEvent& message) {
  const int n = h.count - start;
  std::uint8_t bytes[kRobustHistory];
  float clarity = 0.0f;
  for (int i = 0; i < n; ++i) {
    const RobustFskCharacter& c = HistoryAt(h, start + i);
    // A sender ends every character with a mark; chance framings of music
    // that a checksum lets through mostly do not.
    if (!c.stopBitIsMark) return false;
    bytes[i] = c.value;
    clarity += c.clarity;
  }
  if (clarity < kMinClarity * static_cast<float>(n)) return false;
  bytes[0] = type;
  return Describe(bytes, n, PlanOf(r, h, start), MeanAmplitudeSquared(h, start, h.count),
                  HistoryAt(h, start).startSample, HistoryAt(h, h.count - 1).endSample, message);
}

// Shows an accepted message once.
void Show(RobustCallerIdReceiver& r, const CallerIdMessageEvent& message) {
  // A framed failure inside this message was only its own junk, or the
  // other decisions' broken copies of it.
  if (r.failedStart >= 0 && r.failedEnd >= message.start && r.failedStart <= message.end) {
    --r.rejected;
    r.failedStart = -1;
  }
  r.sink->Message(message);
  // The other decisions' copies of the message are not shown again.
  ForgetAll(r);
  r.rereadCount = 0;
}

// Index in the history of the character that starts at `from`, or -1.
int IndexOf(const RobustCallerIdHistory& h, std::int64_t from) {
  for (int i = 0; i < h.count; ++i) {
    if (HistoryAt(h, i).startSample == from) return i;
  }
  return -1;
}

float MeanClarity(const RobustCallerIdHistory& h, int start, int end) {
  float sum = 0.0f;
  for (int i = start; i < end; ++i) sum += HistoryAt(h, i).clarity;
  return end > start ? sum / static_cast<float>(end - start) : 0.0f;
}

void NoteGateVerdict(RobustCallerIdReceiver& r, std::int64_t chunk, bool through) {
  const auto at = static_cast<std::size_t>(chunk & (kGateVerdicts - 1));
  const std::uint64_t bit = std::uint64_t{1} << (at % 64);
  r.gateThrough[at / 64] = through ? r.gateThrough[at / 64] | bit : r.gateThrough[at / 64] & ~bit;
}

// A chunk not yet ended has no verdict (its bit still holds an older chunk's).
bool GateLetThrough(const RobustCallerIdReceiver& r, std::int64_t chunk) {
  const auto at = static_cast<std::size_t>(chunk & (kGateVerdicts - 1));
  return chunk >= 0 && chunk * kChunk < r.sample && ((r.gateThrough[at / 64] >> (at % 64)) & 1u) != 0;
}

// Whether the gate let through a chunk around the character starting at
// `from`: the bit decisions also run over speech just before and after a
// burst, and a start there opens no message worth reading again.
bool FskAround(const RobustCallerIdReceiver& r, std::int64_t from) {
  const std::int64_t chunk = from / kChunk;
  for (std::int64_t c = chunk - 1; c <= chunk + 2; ++c) {
    if (GateLetThrough(r, c)) return true;
  }
  return false;
}

// No message held since the first decision framed a character at `from`:
// the message it may open is read again from the samples
// (fsk_message_reread.h), if what followed sounded like FSK.
void Reread(RobustCallerIdReceiver& r, std::int64_t from) {
  constexpr int kFirstCharacters = 3;  // type, length and one more
  if (!FskAround(r, from)) return;
  const RobustCallerIdHistory& h = r.histories[0];
  const int start = IndexOf(h, from);
  if (start < 0 || h.count - start < kFirstCharacters || HistoryAt(h, start + 1).value == kSeizure) return;
  if (MeanClarity(h, start, start + kFirstCharacters) < kMinClarity) return;
  const TonePlan plan = PlanOf(r, h, start);
  FskRereadMessage read;
  const double bitSamples = RobustFskBitSamples(r.fsk);
  if (!RereadFskMessage(r.samples, plan, bitSamples, &HistoryAt(h, start), h.count - start, read)) return;
  int end = start;
  while (end < h.count && static_cast<double>(HistoryAt(h, end).startSample) < read.endEdge) ++end;
  if (MeanClarity(h, start, end) < kMinClarity) return;
  CallerIdMessageEvent message;
  if (!Describe(read.bytes, read.count, plan, MeanAmplitudeSquared(h, start, end), std::llround(read.startEdge),
                std::llround(read.endEdge), message)) {
    return;
  }
  Show(r, message);
}

void DropReread(RobustCallerIdReceiver& r, int index) {
  std::memmove(r.rereads + index, r.rereads + index + 1,
               sizeof r.rereads[0] * static_cast<std::size_t>(--r.rereadCount - index));
}

// Rereads the first `n` pending starts, oldest first, until one holds.
void RereadOldest(RobustCallerIdReceiver& r, int n) {
  for (int i = 0; i < n && r.rereadCount > 0; ++i) {
    const std::int64_t from = r.rereads[0].sample;
    DropReread(r, 0);
    Reread(r, from);
  }
}

void OnCharacter(RobustCallerIdReceiver& r, const RobustFskCharacter& c) {
  RobustCallerIdHistory& h = r.histories[c.decision];
  if (c.idleBitsBefore > kBreakIdleBits) {
    // The burst before this character has ended.
    if (c.decision == 0) RereadOldest(r, r.rereadCount);
    Forget(h);
  }
  if (h.count == kRobustHistory) {
    ++h.first;
    ++h.dropped;
    --h.count;
    h.framedStart = h.framedStart > 0 ? h.framedStart - 1 : -1;
  }
  if (h.first + h.count == 2 * kRobustHistory) {
    std::memmove(h.kept, h.kept + h.first, sizeof h.kept[0] * static_cast<std::size_t>(h.count));
    h.first = 0;
  }
  const int last = h.count;
  h.kept[h.first + h.count++] = c;
  if (h.framedStart < 0 && IsCallerIdMessageType(c.value) && FramedStart(h, last)) {
    h.framedStart = last;
  }
  // Any character after long mark but the channel seizure may open a
  // message: one whose start bit noise hid is framed at a later space, as
  // the type byte 0x80 with its run of seven spaces often is.
  if (c.decision == 0 && c.idleBitsBefore >= kFramingIdleBits && c.value != kSeizure) {
    // With idle bits between its characters a message offers many; the
    // one after the longest mark is the likeliest type character.
    int shortest = 0;
    for (int i = 1; i < r.rereadCount; ++i) {
      if (r.rereads[i].idleBits < r.rereads[shortest].idleBits) shortest = i;
    }
    if (r.rereadCount == kRereadCandidates && r.rereads[shortest].idleBits < c.idleBitsBefore) DropReread(r, shortest);
    if (r.rereadCount < kRereadCandidates) r.rereads[r.rereadCount++] = {c.startSample, c.idleBitsBefore};
  }

  // Every message whose length ends here is a candidate, newest first; the
  // checksum sums to zero over type, length, payload and itself.
  const std::int64_t number = h.dropped + last;
  for (std::int64_t length = MessageEndsAdd(h.ends, number, c.value); length >= 0;
       length = h.ends.older[MessageEndSlot(length)]) {
    const auto s = static_cast<int>(length - 1 - h.dropped);
    if (s < 0 || last - s > kRobustHistory - 2) break;
    std::uint8_t type = 0;
    if (!SentType(h, s, MessageEndsSum(h.ends, length - 1, number), type)) continue;
    CallerIdMessageEvent message;
    if (!Accept(r, h, s, type, message)) continue;
    Show(r, message);
    return;
  }
  // Failures are counted on the first decision's framing alone; the others
  // only ever add a copy that holds.
  if (c.decision == 0 && h.framedStart >= 0 && h.framedStart + 1 < h.count &&
      HistoryAt(h, h.framedStart + 1).value >= kShortestPayload &&
      h.framedStart + HistoryAt(h, h.framedStart + 1).value + 2 == last) {
    // Only what sounded like FSK counts as a message that failed.
    float clarity = 0.0f;
    for (int i = h.framedStart; i <= last; ++i) clarity += HistoryAt(h, i).clarity;
    if (clarity >= kMinClarity * static_cast<float>(last - h.framedStart + 1)) {
      ++r.rejected;
      r.failedStart = HistoryAt(h, h.framedStart).startSample;
      r.failedEnd = c.endSample;
    }
    h.framedStart = h.count;  // one framed message per burst
  }
}

// Rereads the pending starts once the first decision has framed nothing
// for longer than a break between characters. A start that the history or
// the kept samples no longer reach is let go: a burst that long is no
// message that failed but a stream of data.
void RereadWhenDue(RobustCallerIdReceiver& r) {
  if (r.rereadCount == 0) return;
  const RobustFskFramer& f = r.fsk.ends.framers[0];
  if (f.bitIndex == 0 && f.idleBits > kBreakIdleBits) {
    RereadOldest(r, r.rereadCount);
    return;
  }
  const RobustCallerIdHistory& h = r.histories[0];
  const int index = IndexOf(h, r.rereads[0].sample);
  if (index < 0 || (h.count == kRobustHistory && index < kStepCharacters) ||
      r.fskNext - r.rereads[0].sample > kSampleRingSize - 2 * kChunk) {
    DropReread(r, 0);
  }
}

// The FSK part reads the kept samples up to `end`, in steps that end on
// multiples of kChunk.
void ReadFsk(RobustCallerIdReceiver& r, std::int64_t end) {
  std::int16_t step[kChunk];
  RobustFskCharacter characters[kStepCharacters];
  while (r.fskNext < end) {
    const int n = static_cast<int>(std::min<std::int64_t>(kChunk - r.fskNext % kChunk, end - r.fskNext));
    for (int i = 0; i < n; ++i) step[i] = FskSampleRingAt(r.samples, r.fskNext + i);
    const int found = RobustFskDemodulate(r.fsk, step, n, characters, kStepCharacters);
    for (int i = 0; i < found; ++i) OnCharacter(r, characters[i]);
    RereadWhenDue(r);
    r.fskNext += n;
  }
}

void StartFsk(RobustCallerIdReceiver& r, std::int64_t from) {
  RobustFskInitAt(r.fsk, r.fsk.plan, from);
  ForgetAll(r);
  r.rereadCount = 0;
  r.failedStart = r.failedEnd = -1;
  r.fskNext = from;
  r.fskRunning = true;
  r.gateShut = 0;
}

// The input has ended or the gate held shut: the characters the decisions
// still hold back and a burst not yet read again are taken.
void StopFsk(RobustCallerIdReceiver& r) {
  RobustFskCharacter characters[kStepCharacters];
  const int found = RobustFskFlush(r.fsk, characters, kStepCharacters);
  for (int i = 0; i < found; ++i) OnCharacter(r, characters[i]);
  RereadOldest(r, r.rereadCount);
  r.fskRunning = false;
  r.fskAllowed = r.fskNext;
}

// A chunk (or the input's last part of one) has been kept: the gate's
// verdict starts, feeds or stops the FSK part.
void EndChunk(RobustCallerIdReceiver& r) {
  const bool through = FskGateEndChunk(r.gate);
  NoteGateVerdict(r, (r.sample - 1) / kChunk, through);
  r.gateRun = through ? r.gateRun + 1 : 0;
  if (!r.fskRunning) {
    if (r.gateRun < kGateChunks) return;
    const std::int64_t chunkEnd = (r.sample + kChunk - 1) / kChunk * kChunk;
    StartFsk(r, std::max(r.fskAllowed, chunkEnd - kLookbackChunks * kChunk));
  }
  ReadFsk(r, r.sample);
  r.gateShut = through ? 0 : r.gateShut + 1;
  if (r.gateShut >= kShutChunks) StopFsk(r);
}

}  // namespace

double PeakSquaredToDbm0(double peakSquared) {
  return 10.0 * std::log10(std::max(peakSquared, 1e-12) / (22700.0 * 22700.0));
}

void RobustCallerIdInit(RobustCallerIdReceiver& r, const RobustCallerIdConfig& config) {
  r.fsk.plan = config.plan;
  RobustCallerIdReset(r);
}

void RobustCallerIdReset(RobustCallerIdReceiver& r) {
  RobustFskInit(r.fsk, r.fsk.plan);
  AlertToneInit(r.alerts);
  DtmfSignalledInit(r.dtmf, {});
  ForgetAll(r);
  r.failedStart = r.failedEnd = -1;
  r.samples.next = 0;
  r.rereadCount = 0;
  r.sample = 0;
  FskGateInit(r.gate);
  std::fill(std::begin(r.gateThrough), std::end(r.gateThrough), 0);
  r.gateRun = r.gateShut = 0;
  r.fskRunning = false;
  r.fskNext = r.fskAllowed = 0;
  r.rejected = 0;
  r.sink = nullptr;
}

void RobustCallerIdProcess(RobustCallerIdReceiver& r, const std::int16_t* samples, std::size_t count,
                           CallerIdSink& sink) {
  r.sink = &sink;
  while (count > 0) {
    // Steps end on multiples of kChunk, so events come in the same order
    // however the caller cuts the signal.
    const auto room = static_cast<std::size_t>(kChunk - r.sample % kChunk);
    const int n = static_cast<int>(std::min(count, room));
    FskSampleRingPut(r.samples, samples, static_cast<std::size_t>(n));
    DtmfSignalledProcess(r.dtmf, samples, static_cast<std::size_t>(n), sink);
    // The gate's sums go along with the alert detector's loop: each waits
    // on its own recursion, and together they keep the processor busy.
    FskGateRun gate(r.gate);
    AlertTone alert;
    if (AlertToneProcess(r.alerts, samples, n, alert, [&gate](float x) { gate.Add(x); })) sink.Alert(alert);
    gate.End();
    samples += n;
    count -= static_cast<std::size_t>(n);
    r.sample += n;
    if (r.sample % kChunk == 0) EndChunk(r);
  }
  r.sink = nullptr;
}

void RobustCallerIdFinish(RobustCallerIdReceiver& r, CallerIdSink& sink) {
  r.sink = &sink;
  if (r.sample % kChunk != 0) EndChunk(r);
  if (r.fskRunning) StopFsk(r);
  DtmfSignalledFinish(r.dtmf, sink);
  r.sink = nullptr;
}

}  // namespace quorvane
