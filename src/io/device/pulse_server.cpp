#include "io/device/pulse_server.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include "base/failure.h"

namespace quorvane::io {
namespace {

PulseSource FromInfo(const pa_source_info& info) {
  PulseSource source;
  source.name = info.name != nullptr ? info.name : "";
  source.description = info.description != nullptr ? info.description : "";
  source.format = info.sample_spec;
  source.map = info.channel_map;
  return source;
}

// What a source-info callback collects; `eol` below zero is a failure.
struct SourceReplies {
  std::vector<PulseSource> sources;
};

void OnSourceInfo(pa_context* /*context*/, const pa_source_info* info, int eol, void* userdata) {
  if (eol == 0 && info != nullptr) static_cast<SourceReplies*>(userdata)->sources.push_back(FromInfo(*info));
}

void OnServerInfo(pa_context* /*context*/, const pa_server_info* info, void* userdata) {
  if (info != nullptr && info->default_source_name != nullptr) {
    *static_cast<std::string*>(userdata) = info->default_source_name;
  }
}

}  // namespace

PulseServer::~PulseServer() {
  if (context_ != nullptr) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  if (loop_ != nullptr) pa_mainloop_free(loop_);
}

bool PulseServer::Connect(std::string* error) {
  loop_ = pa_mainloop_new();
  if (loop_ == nullptr) return Fail(error, "cannot start a PulseAudio mainloop");
  context_ = pa_context_new(pa_mainloop_get_api(loop_), "quorvane");
  if (context_ == nullptr) return Fail(error, "cannot create a PulseAudio context");
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    return Fail(error, pa_strerror(pa_context_errno(context_)));
  }
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) return Fail(error, pa_strerror(pa_context_errno(context_)));
    if (pa_mainloop_iterate(loop_, 1, nullptr) < 0) return Fail(error, "the PulseAudio mainloop stopped");
  }
}

bool PulseServer::Finish(pa_operation* operation, std::string* error) {
  if (operation == nullptr) return Fail(error, pa_strerror(pa_context_errno(context_)));
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    if (pa_mainloop_iterate(loop_, 1, nullptr) < 0) {
      pa_operation_unref(operation);
      return Fail(error, "the PulseAudio mainloop stopped");
    }
  }
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done || Fail(error, pa_strerror(pa_context_errno(context_)));
}

bool PulseServer::DefaultSourceName(std::string* name, std::string* error) {
  name->clear();
  if (!Finish(pa_context_get_server_info(context_, OnServerInfo, name), error)) return false;
  return !name->empty() || Fail(error, "the server has no default source");
}

bool PulseServer::Source(const std::string& name, PulseSource* source, std::string* error) {
  SourceReplies replies;
  if (!Finish(pa_context_get_source_info_by_name(context_, name.c_str(), OnSourceInfo, &replies), error)) {
    return false;
  }
  // A name the server does not know ends the operation with no reply.
  if (replies.sources.empty()) return Fail(error, pa_strerror(pa_context_errno(context_)));
  *source = replies.sources.front();
  return true;
}

bool PulseServer::Sources(std::vector<PulseSource>* sources, std::string* error) {
  SourceReplies replies;
  if (!Finish(pa_context_get_source_info_list(context_, OnSourceInfo, &replies), error)) return false;
  *sources = std::move(replies.sources);
  return true;
}

}  // namespace quorvane::io
