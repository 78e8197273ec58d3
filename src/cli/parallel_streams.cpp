#include "cli/parallel_streams.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <variant>

namespace quorvane::cli {
namespace {

// A lane's audio goes to its worker in batches of about this many samples,
// so the queue costs nothing beside the detection.
constexpr std::size_t kBatchSamples = 16384;
// Audio a lane has not yet sent holds back every report after it: once the
// reader has made this many calls since, it is sent as it is (a capture's
// quiet stream must not stall the others' output).
constexpr std::uint64_t kStaleCalls = 512;
// Batches queued or running per worker before the reader waits.
constexpr std::size_t kBatchesPerWorker = 4;
// A stream that ends with no more audio than this, none of it sent yet,
// is run in the reader's thread: handing it to a worker would cost more
// than its detection (a capture of many one-packet streams).
constexpr std::size_t kRunHereSamples = 2048;

enum class PieceKind : std::uint8_t { Ulaw, Linear, Event, End };

}  // namespace

struct ParallelStreams::Report {
  std::uint64_t call;
  std::variant<Json, StreamOutcome> what;
};

struct ParallelStreams::Piece {
  std::uint64_t call = 0;
  PieceKind kind = PieceKind::Linear;
  std::size_t count = 0;  // bytes (Ulaw) or samples (Linear)
  io::TelephoneEvent event;
  std::optional<io::RtpTotals> totals;
};

struct ParallelStreams::Batch {
  std::vector<Piece> pieces;
  std::vector<std::uint8_t> bytes;
  std::vector<std::int16_t> samples;

  bool Empty() const { return pieces.empty(); }
  std::size_t Size() const { return bytes.size() + samples.size(); }
};

// One stream: its real sink, run by one worker at a time, and what it
// reported that is not yet passed on. A lane is freed once its stream has
// ended and everything it reported has been passed on.
struct ParallelStreams::Lane final : StreamReporter {
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};

  // Worker side: the sink reports here while a batch runs.
  void Event(const Json& line) override { running.push_back({runningCall, line}); }
  void StreamDone(const StreamOutcome& outcome) override { running.push_back({runningCall, outcome}); }

  std::uint64_t id = 0;
  std::unique_ptr<io::StreamSink> sink;
  std::uint64_t runningCall = 0;
  std::vector<Report> running;

  Batch unsent;  // reader side

  // Shared, under the mutex; unsentFrom is written only by the reader.
  std::uint64_t unsentFrom = kNone;  // first call of `unsent`
  std::deque<Batch> queued;
  bool busy = false;
  std::uint64_t busyFrom = 0;  // first call of the batch a worker has
  bool ended = false;          // its End has run
  std::deque<Report> reports;
  std::uint64_t hold = kNone;  // its entry in `holds_`

  // No report of this lane can come from a call before this one (kNone:
  // it holds nothing back).
  std::uint64_t Oldest() const {
    if (busy) return busyFrom;
    if (!queued.empty()) return queued.front().pieces.front().call;
    return unsentFrom;
  }
};

class ParallelStreams::LaneSink final : public io::StreamSink {
 public:
  LaneSink(ParallelStreams& owner, Lane& lane) : owner_(owner), lane_(lane) {}
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    Piece piece;
    piece.kind = PieceKind::Ulaw;
    piece.count = count;
    owner_.Append(lane_, std::move(piece), bytes);
  }
  void Linear(const std::int16_t* samples, std::size_t count) override {
    Piece piece;
    piece.count = count;
    owner_.Append(lane_, std::move(piece), samples);
  }
  void Event(const io::TelephoneEvent& event) override {
    Piece piece;
    piece.kind = PieceKind::Event;
    piece.event = event;
    owner_.Append(lane_, std::move(piece), nullptr);
  }
  void End(const std::optional<io::RtpTotals>& rtp) override {
    Piece piece;
    piece.kind = PieceKind::End;
    piece.totals = rtp;
    owner_.Append(lane_, std::move(piece), nullptr);
  }

 private:
  ParallelStreams& owner_;
  Lane& lane_;
};

ParallelStreams::ParallelStreams(std::string file, const DetectionCommand& command, unsigned workers,
                                 StreamReporter& out)
    : file_(std::move(file)), command_(command), workers_(std::max(1u, workers)), out_(out) {}

ParallelStreams::~ParallelStreams() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workReady_.notify_all();
  threads_.clear();  // joins; the lanes outlive the workers
}

std::unique_ptr<io::StreamSink> ParallelStreams::Open(const io::StreamInfo& stream) { return OpenAtRate(stream, 8000); }

std::unique_ptr<io::StreamSink> ParallelStreams::OpenAtRate(const io::StreamInfo& stream, int rate) {
  auto lane = std::make_unique<Lane>();
  lane->id = nextLane_++;
  lane->sink = DetectionSinkFactory(file_, command_, *lane).OpenAtRate(stream, rate);
  auto proxy = std::make_unique<LaneSink>(*this, *lane);
  {
    std::lock_guard lock(mutex_);
    lanes_.emplace(lane->id, std::move(lane));
  }
  // From the second stream on, every stream is queued for the workers.
  if (nextLane_ == 1) return proxy;
  while (threads_.size() < workers_ && threads_.size() < nextLane_) threads_.emplace_back([this] { Work(); });
  return proxy;
}

void ParallelStreams::Rehold(Lane& lane) {
  const std::uint64_t hold = lane.Oldest();
  if (hold == lane.hold) return;
  if (lane.hold != Lane::kNone) holds_.erase(holds_.find(lane.hold));
  if (hold != Lane::kNone) holds_.insert(hold);
  lane.hold = hold;
}

void ParallelStreams::Append(Lane& lane, Piece piece, const void* data) {
  piece.call = nextCall_++;
  // The input's only stream so far runs in the reader's thread, without copies.
  if (nextLane_ == 1) {
    RunPiece(lane, piece, static_cast<const std::uint8_t*>(data), static_cast<const std::int16_t*>(data));
    Pass(lane.running);
    return;
  }
  Batch& batch = lane.unsent;
  if (batch.Empty()) {
    {
      std::lock_guard lock(mutex_);
      lane.unsentFrom = piece.call;
      Rehold(lane);
    }
    unsentOrder_.push_back({lane.id, piece.call});
  }
  if (piece.kind == PieceKind::Ulaw) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    batch.bytes.insert(batch.bytes.end(), bytes, bytes + piece.count);
  } else if (piece.kind == PieceKind::Linear) {
    const auto* samples = static_cast<const std::int16_t*>(data);
    batch.samples.insert(batch.samples.end(), samples, samples + piece.count);
  }
  const bool end = piece.kind == PieceKind::End;
  batch.pieces.push_back(std::move(piece));
  if (end || batch.Size() >= kBatchSamples) {
    if (!end || batch.Size() > kRunHereSamples || !RunHere(lane)) Send(lane);
    Flush();
  }
}

bool ParallelStreams::RunHere(Lane& lane) {
  std::unique_lock lock(mutex_);
  if (lane.busy || !lane.queued.empty()) return false;  // its earlier batches go first
  const Batch batch = std::move(lane.unsent);
  lane.unsent = Batch{};
  lane.unsentFrom = Lane::kNone;
  RunBatch(lane, batch, lock);
  return true;
}

void ParallelStreams::Send(Lane& lane) {
  std::unique_lock lock(mutex_);
  // With the queue full the reader runs a queued batch itself rather than
  // wait to be woken: a capture of many short streams would otherwise pass
  // the processor back and forth for each of them.
  while (inFlight_ >= kBatchesPerWorker * workers_) {
    if (ready_.empty()) {
      batchDone_.wait(lock);
    } else {
      RunReady(lock);
    }
  }
  ++inFlight_;
  lane.queued.push_back(std::move(lane.unsent));
  lane.unsent = Batch{};
  lane.unsentFrom = Lane::kNone;
  Rehold(lane);
  if (!lane.busy && lane.queued.size() == 1) {
    ready_.push_back(&lane);
    workReady_.notify_one();
  }
}

void ParallelStreams::Flush() {
  // Lanes entered unsentOrder_ in call order, so the stale ones are at its
  // front; an entry whose batch has been sent since is only dropped.
  while (!unsentOrder_.empty() && nextCall_ - unsentOrder_.front().call >= kStaleCalls) {
    const auto [id, call] = unsentOrder_.front();
    unsentOrder_.pop_front();
    const auto it = lanes_.find(id);
    if (it != lanes_.end() && it->second->unsentFrom == call) Send(*it->second);
  }
  std::vector<Report> ready;
  {
    std::lock_guard lock(mutex_);
    const std::uint64_t watermark = holds_.empty() ? nextCall_ : std::min(nextCall_, *holds_.begin());
    for (std::size_t i = 0; i < reporting_.size();) {
      Lane& lane = *reporting_[i];
      auto& reports = lane.reports;
      const auto last = std::find_if(reports.begin(), reports.end(), [&](const Report& r) { return r.call >= watermark; });
      std::move(reports.begin(), last, std::back_inserter(ready));
      reports.erase(reports.begin(), last);
      if (!reports.empty()) {
        ++i;
        continue;
      }
      reporting_[i] = reporting_.back();
      reporting_.pop_back();
      // Nothing more can come from an ended lane: free it.
      if (lane.ended && !lane.busy && lane.queued.empty()) lanes_.erase(lane.id);
    }
  }
  // Each call went to one lane, and a lane's reports are in order.
  std::stable_sort(ready.begin(), ready.end(), [](const Report& a, const Report& b) { return a.call < b.call; });
  Pass(ready);
}

void ParallelStreams::Pass(std::vector<Report>& reports) {
  for (const Report& report : reports) {
    if (const auto* line = std::get_if<Json>(&report.what)) out_.Event(*line);
    else out_.StreamDone(std::get<StreamOutcome>(report.what));
  }
  reports.clear();
}

void ParallelStreams::RunPiece(Lane& lane, const Piece& piece, const std::uint8_t* bytes,
                               const std::int16_t* samples) {
  lane.runningCall = piece.call;
  switch (piece.kind) {
    case PieceKind::Ulaw: lane.sink->Ulaw(bytes, piece.count); break;
    case PieceKind::Linear: lane.sink->Linear(samples, piece.count); break;
    case PieceKind::Event: lane.sink->Event(piece.event); break;
    case PieceKind::End:
      lane.sink->End(piece.totals);
      lane.sink.reset();  // a capture may hold many streams: free each detector at its end
      lane.ended = true;
      break;
  }
}

void ParallelStreams::Finish() {
  while (!unsentOrder_.empty()) {
    const auto [id, call] = unsentOrder_.front();
    unsentOrder_.pop_front();
    const auto it = lanes_.find(id);
    if (it != lanes_.end() && it->second->unsentFrom == call) Send(*it->second);
  }
  {
    std::unique_lock lock(mutex_);
    batchDone_.wait(lock, [&] { return inFlight_ == 0; });
  }
  Flush();
}

void ParallelStreams::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    workReady_.wait(lock, [&] { return stopping_ || !ready_.empty(); });
    if (ready_.empty()) return;
    RunReady(lock);
  }
}

void ParallelStreams::RunReady(std::unique_lock<std::mutex>& lock) {
  Lane& lane = *ready_.front();
  ready_.pop_front();
  const Batch batch = std::move(lane.queued.front());
  lane.queued.pop_front();
  RunBatch(lane, batch, lock);
  --inFlight_;
  if (!lane.queued.empty()) ready_.push_back(&lane);
  batchDone_.notify_all();
}

void ParallelStreams::RunBatch(Lane& lane, const Batch& batch, std::unique_lock<std::mutex>& lock) {
  lane.busy = true;
  lane.busyFrom = batch.pieces.front().call;
  Rehold(lane);
  lock.unlock();

  std::size_t byte = 0, sample = 0;
  for (const Piece& piece : batch.pieces) {
    RunPiece(lane, piece, batch.bytes.data() + byte, batch.samples.data() + sample);
    if (piece.kind == PieceKind::Ulaw) byte += piece.count;
    if (piece.kind == PieceKind::Linear) sample += piece.count;
  }

  lock.lock();
  if (lane.reports.empty() && !lane.running.empty()) reporting_.push_back(&lane);
  std::move(lane.running.begin(), lane.running.end(), std::back_inserter(lane.reports));
  lane.running.clear();
  lane.busy = false;
  Rehold(lane);
}

}  // namespace quorvane::cli
