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

void ProcessFrame(ExactCallerId& r, const std::int16_t* frame, std::int64_t start, CallerIdSink& sink) {
  Delivery delivery{&sink, start, r.config.plan == TonePlan::V23 ? TonePlan::V23 : TonePlan::Bell202};
  r.receiver.acceptHook = Deliver;
  r.receiver.acceptContext = &delivery;
  r.receiver.ProcessSamples(frame, kUlawFrameBytes);
  r.receiver.acceptHook = nullptr;
  r.receiver.acceptContext = nullptr;
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
  FrameCutterReset(r.cutter);
}

void ExactCallerIdReset(ExactCallerId& r) {
  ExactCallerIdInit(r, r.config);
}

void ExactCallerIdProcess(ExactCallerId& r, const std::int16_t* samples, std::size_t count, CallerIdSink& sink) {
  CutFrames(r.cutter, samples, count, [&](const std::int16_t* frames, std::int64_t n, std::int64_t start) {
    for (std::int64_t i = 0; i < n; ++i) ProcessFrame(r, frames + i * kUlawFrameBytes, start + i * kUlawFrameBytes, sink);
  });
}

void ExactCallerIdFinish(ExactCallerId& r, CallerIdSink& sink) {
  (void)r;
  (void)sink;
}

}  // namespace quorvane
