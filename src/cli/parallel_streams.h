// The streams of one input run side by side: each stream's detector works
// on a thread of a small pool, fed copies of its audio in order, while the
// reader goes on to the next block. What the detectors report is put back
// in exactly the order that running them in the reader's thread gives:
// every call the reader makes is numbered, whatever a detector reports is
// tagged with the number of the call it came from, and a report is passed
// on once no stream can still report anything from an earlier call. An
// input's only stream runs in the reader's thread until a second appears.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "report/detection_sink.h"

namespace quorvane::cli {

class ParallelStreams final : public io::StreamSinkFactory {
 public:
  // Reports go to `out`, always from the reader's thread (the one that
  // calls the sinks and Finish).
  ParallelStreams(std::string file, const DetectionCommand& command, unsigned workers, StreamReporter& out);
  ~ParallelStreams() override;
  ParallelStreams(const ParallelStreams&) = delete;
  ParallelStreams& operator=(const ParallelStreams&) = delete;

  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo& stream) override;
  // Resamples on the stream's worker, not in the reader's thread.
  std::unique_ptr<io::StreamSink> OpenAtRate(const io::StreamInfo& stream, int rate) override;

  // The reader is done: runs what is still queued and passes on every report.
  void Finish();

 private:
  struct Piece;
  struct Batch;
  struct Report;
  struct Lane;
  class LaneSink;

  // One call of the reader's into `lane`'s sink; `data` holds `piece.count`
  // bytes or samples.
  void Append(Lane& lane, Piece piece, const void* data);
  void Send(Lane& lane);
  // Runs the lane's unsent audio in the reader's thread, unless a batch of
  // it is still queued or running.
  bool RunHere(Lane& lane);
  // Puts the lane's oldest call that can still report into holds_ (under the mutex).
  void Rehold(Lane& lane);
  void Flush();
  void RunPiece(Lane& lane, const Piece& piece, const std::uint8_t* bytes, const std::int16_t* samples);
  void Pass(std::vector<Report>& reports);
  void Work();
  // Runs the first ready lane's next batch (the mutex held on entry and on
  // return, not while it runs).
  void RunReady(std::unique_lock<std::mutex>& lock);
  // Runs `batch` of `lane` with the mutex unlocked (held on entry and on return).
  void RunBatch(Lane& lane, const Batch& batch, std::unique_lock<std::mutex>& lock);

  std::string file_;
  const DetectionCommand& command_;
  unsigned workers_;
  StreamReporter& out_;
  std::uint64_t nextCall_ = 0;  // the reader's calls, numbered; reader thread only
  std::uint64_t nextLane_ = 0;  // streams opened; reader thread only
  // Lanes with audio not yet sent, by the call that began it: reader thread only.
  struct Unsent {
    std::uint64_t lane;
    std::uint64_t call;
  };
  std::deque<Unsent> unsentOrder_;

  std::mutex mutex_;
  std::unordered_map<std::uint64_t, std::unique_ptr<Lane>> lanes_;  // the lanes not yet freed, by id
  std::multiset<std::uint64_t> holds_;  // each lane's oldest call that can still report
  std::vector<Lane*> reporting_;        // lanes with reports not yet passed on
  std::condition_variable workReady_;   // a lane has a batch and no worker
  std::condition_variable batchDone_;   // a worker finished a batch
  std::deque<Lane*> ready_;
  std::size_t inFlight_ = 0;            // batches queued or running: memory stays bounded
  bool stopping_ = false;
  std::vector<std::jthread> threads_;
};

}  // namespace quorvane::cli
