#include "callerid/exact/exact_callerid.h"

#include <algorithm>

namespace quorvane {
namespace {

struct Delivery {
  CallerIdSink* sink;
  std::int64_t frameStart;
  TonePlan plan;
};

void Deliver(void* context, const FskReceiver& receiver) {
  const auto* d = static_cast<const Delivery*>(context);
  d->sink->Message({d->frameStart, d->frameStart, d->plan, std::nullopt, ExactCallerIdInfo(receiver)});
}

void ProcessFrame(ExactCallerId& r, const std::int16_t* frame, CallerIdSink& sink) {
  Delivery delivery{&sink, r.frames * kUlawFrameBytes, r.config.plan == TonePlan::V23 ? TonePlan::V23 : TonePlan::Bell202};
  r.receiver.acceptHook = Deliver;
  r.receiver.acceptContext = &delivery;
  r.receiver.ProcessSamples(frame, kUlawFrameBytes);
  r.receiver.acceptHook = nullptr;
  r.receiver.acceptContext = nullptr;
  ++r.frames;
}

}  // namespace

CallerIdInfo ExactCallerIdInfo(const FskReceiver& receiver) {
  CallerIdInfo info;
  info.type = receiver.messageType == kMultipleDataMessage ? CallerIdType::Mdmf : CallerIdType::Sdmf;
  info.number = receiver.number;
  info.name = receiver.name;
  info.numberWithheld = (receiver.statusFlags & NumberWithheld) != 0;
  info.numberUnavailable = (receiver.statusFlags & NumberUnavailable) != 0;
  info.nameWithheld = (receiver.statusFlags & NameWithheld) != 0;
  info.nameUnavailable = (receiver.statusFlags & NameUnavailable) != 0;
  return info;
}

void ExactCallerIdInit(ExactCallerId& r, const ExactCallerIdConfig& config) {
  r.config = config;
  r.receiver.Init(ExactReceiverMode(config.plan));
  r.receiver.boundary = config.boundary;
  r.receiver.acceptHook = nullptr;
  r.receiver.acceptContext = nullptr;
  std::fill(std::begin(r.frame), std::end(r.frame), std::int16_t{0});
  r.frameFill = 0;
  r.frames = 0;
}

void ExactCallerIdReset(ExactCallerId& r) {
  ExactCallerIdInit(r, r.config);
}

void ExactCallerIdProcess(ExactCallerId& r, const std::int16_t* samples, std::size_t count, CallerIdSink& sink) {
  while (count > 0) {
    if (r.frameFill == 0 && count >= kUlawFrameBytes) {
      ProcessFrame(r, samples, sink);
      samples += kUlawFrameBytes;
      count -= kUlawFrameBytes;
      continue;
    }
    const std::size_t take = std::min<std::size_t>(count, static_cast<std::size_t>(kUlawFrameBytes - r.frameFill));
    std::copy(samples, samples + take, r.frame + r.frameFill);
    r.frameFill += static_cast<std::int32_t>(take);
    samples += take;
    count -= take;
    if (r.frameFill == kUlawFrameBytes) {
      ProcessFrame(r, r.frame, sink);
      r.frameFill = 0;
    }
  }
}

void ExactCallerIdFinish(ExactCallerId& r, CallerIdSink& sink) {
  (void)r;
  (void)sink;
}

}  // namespace quorvane
