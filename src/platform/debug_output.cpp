#include "platform/debug_output.h"

#include <cstdio>

namespace quorvane::platform {
namespace {

DebugOutputSink g_sink = nullptr;
void* g_context = nullptr;

}  // namespace

void OutputDebugText(const char* text) {
  if (g_sink) {
    g_sink(g_context, text);
    return;
  }
  std::fputs(text, stderr);
  std::fflush(stderr);
}

void SetDebugOutputSink(DebugOutputSink sink, void* context) {
  g_sink = sink;
  g_context = context;
}

}  // namespace quorvane::platform
