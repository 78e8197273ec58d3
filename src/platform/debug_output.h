// Stand-in for the debugger output stream: each text goes out unchanged,
// with nothing added, to stderr, unless a sink has been set (tests capture
// the texts; the command line sends them to stdout).
#pragma once

namespace quorvane::platform {

using DebugOutputSink = void (*)(void* context, const char* text);

void OutputDebugText(const char* text);

// A null sink restores stderr.
void SetDebugOutputSink(DebugOutputSink sink, void* context);

}  // namespace quorvane::platform
