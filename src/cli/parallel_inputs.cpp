#include "cli/parallel_inputs.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>

namespace quorvane::cli {
namespace {

// Everything one input reported, in the order it was reported.
class RecordedReport final : public InputReporter {
 public:
  void Event(const Json& line) override { entries_.emplace_back(line); }
  void StreamDone(const StreamOutcome& outcome) override { entries_.emplace_back(outcome); }
  void InputFailed(const std::string& file, const std::string& reason) override {
    entries_.emplace_back(Failure{file, reason});
  }
  void InputDone() override { entries_.emplace_back(Done{}); }

  void ReplayInto(InputReporter& out) const {
    for (const Entry& entry : entries_) {
      if (const auto* line = std::get_if<Json>(&entry)) out.Event(*line);
      else if (const auto* outcome = std::get_if<StreamOutcome>(&entry)) out.StreamDone(*outcome);
      else if (const auto* failure = std::get_if<Failure>(&entry)) out.InputFailed(failure->file, failure->reason);
      else out.InputDone();
    }
  }

 private:
  struct Failure {
    std::string file;
    std::string reason;
  };
  struct Done {};
  using Entry = std::variant<Json, StreamOutcome, Failure, Done>;
  std::vector<Entry> entries_;
};

class ProgressLine {
 public:
  ProgressLine(bool enabled, std::size_t total) : enabled_(enabled), total_(total) {}
  ~ProgressLine() {
    if (shown_) std::fputs("\r\033[K", stderr);
  }
  void Update(std::size_t done) {
    if (!enabled_ || std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    std::fprintf(stderr, "\rquorvane: %zu of %zu inputs done", done, total_);
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  bool enabled_;
  std::size_t total_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

void DetectInParallel(const std::vector<std::string>& inputs, unsigned jobs, bool showProgress,
                      const std::function<void(const std::string&, InputReporter&)>& detect, InputReporter& writer) {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t nextToStart = 0;
  std::size_t printed = 0;
  std::vector<std::unique_ptr<RecordedReport>> finished(inputs.size());

  auto work = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return nextToStart >= inputs.size() || nextToStart < printed + jobs; });
      if (nextToStart >= inputs.size()) return;
      const std::size_t index = nextToStart++;
      lock.unlock();
      auto report = std::make_unique<RecordedReport>();
      detect(inputs[index], *report);
      lock.lock();
      finished[index] = std::move(report);
      changed.notify_all();
    }
  };
  std::vector<std::jthread> workers;
  for (unsigned i = 0; i < jobs; ++i) workers.emplace_back(work);

  ProgressLine progress(showProgress, inputs.size());
  for (std::size_t index = 0; index < inputs.size(); ++index) {
    std::unique_ptr<RecordedReport> report;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return finished[index] != nullptr; });
      report = std::move(finished[index]);
    }
    report->ReplayInto(writer);
    progress.Update(index + 1);
    std::lock_guard lock(mutex);
    ++printed;
    changed.notify_all();
  }
}

}  // namespace quorvane::cli
