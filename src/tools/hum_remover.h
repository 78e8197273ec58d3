// Copies a mu-law recording, silencing every 20 ms frame whose samples are
// all quiet (magnitude below 512).
#pragma once

#include <string>

#include "codec/output_file.h"
#include "tools/tool_result.h"

namespace quorvane {

inline constexpr char kHumRemoverOutputName[] = "NoiseClear.pcm";

ToolResult RemoveHum(const std::string& inputPath, const std::string& outputPath, OutputFile& output);
ToolResult RemoveHum(const std::string& inputPath, const std::string& outputPath);

}  // namespace quorvane
