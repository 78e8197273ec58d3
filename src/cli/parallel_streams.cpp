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
// reported that is not yet passed on.
struct ParallelStreams::Lane final : StreamReporter {
  // Worker side: the sink reports here while a batch runs.
  void Event(const Json& line) override { running.push_back({runningCall, line}); }
  void StreamDone(const StreamOutcome& outcome) override { running.push_back({runningCall, outcome}); }

  std::unique_ptr<io::StreamSink> sink;
  std::uint64_t runningCall = 0;
  std::vector<Report> running;

  Batch unsent;  // reader side

  // Shared, under the mutex.
  std::deque<Batch> queued;
  bool busy = false;
  std::uint64_t busyFrom = 0;  // first call of the batch a worker has
  std::deque<Report> reports;

  // No report of this lane can come from a call before this one.
  std::uint64_t Oldest(std::uint64_t nextCall) const {
    if (busy) return busyFrom;
    if (!queued.empty()) return queued.front().pieces.front().call;
    if (!unsent.Empty()) return unsent.pieces.front().call;
    return nextCall;
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
  lane->sink = DetectionSinkFactory(file_, command_, *lane).OpenAtRate(stream, rate);
  auto proxy = std::make_unique<LaneSink>(*this, *lane);
  lanes_.push_back(std::move(lane));
  // From the second stream on, every stream is queued for the workers.
  if (lanes_.size() == 1) return proxy;
  while (threads_.size() < workers_ && threads_.size() < lanes_.size()) threads_.emplace_back([this] { Work(); });
  return proxy;
}

void ParallelStreams::Append(Lane& lane, Piece piece, const void* data) {
  piece.call = nextCall_++;
  // The input's only stream so far runs in the reader's thread, without copies.
  if (lanes_.size() == 1) {
    RunPiece(lane, piece, static_cast<const std::uint8_t*>(data), static_cast<const std::int16_t*>(data));
    Pass(lane.running);
    return;
  }
  Batch& batch = lane.unsent;
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
    Send(lane);
    Flush();
  }
}

void ParallelStreams::Send(Lane& lane) {
  std::unique_lock lock(mutex_);
  batchDone_.wait(lock, [&] { return inFlight_ < kBatchesPerWorker * workers_; });
  ++inFlight_;
  lane.queued.push_back(std::move(lane.unsent));
  lane.unsent = Batch{};
  if (!lane.busy && lane.queued.size() == 1) {
    ready_.push_back(&lane);
    workReady_.notify_one();
  }
}

void ParallelStreams::Flush() {
  for (const auto& lane : lanes_) {
    if (!lane->unsent.Empty() && nextCall_ - lane->unsent.pieces.front().call >= kStaleCalls) Send(*lane);
  }
  std::vector<Report> ready;
  {
    std::lock_guard lock(mutex_);
    std::uint64_t watermark = nextCall_;
    for (const auto& lane : lanes_) watermark = std::min(watermark, lane->Oldest(nextCall_));
    for (const auto& lane : lanes_) {
      auto& reports = lane->reports;
      const auto last = std::find_if(reports.begin(), reports.end(), [&](const Report& r) { return r.call >= watermark; });
      std::move(reports.begin(), last, std::back_inserter(ready));
      reports.erase(reports.begin(), last);
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
      break;
  }
}

void ParallelStreams::Finish() {
  for (const auto& lane : lanes_) {
    if (!lane->unsent.Empty()) Send(*lane);
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
    Lane& lane = *ready_.front();
    ready_.pop_front();
    Batch batch = std::move(lane.queued.front());
    lane.queued.pop_front();
    lane.busy = true;
    lane.busyFrom = batch.pieces.front().call;
    lock.unlock();

    std::size_t byte = 0, sample = 0;
    for (const Piece& piece : batch.pieces) {
      RunPiece(lane, piece, batch.bytes.data() + byte, batch.samples.data() + sample);
      if (piece.kind == PieceKind::Ulaw) byte += piece.count;
      if (piece.kind == PieceKind::Linear) sample += piece.count;
    }

    lock.lock();
    std::move(lane.running.begin(), lane.running.end(), std::back_inserter(lane.reports));
    lane.running.clear();
    lane.busy = false;
    --inFlight_;
    if (!lane.queued.empty()) ready_.push_back(&lane);
    batchDone_.notify_all();
  }
}

}  // namespace quorvane::cli
