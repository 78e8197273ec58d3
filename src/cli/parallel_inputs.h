// Inputs run side by side: each input's report is recorded while it runs
// and printed once every input before it is printed, so the output is byte
// for byte what one input after another gives.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "report/report_writer.h"

namespace quorvane::cli {

// Runs `detect` over `inputs` on `jobs` threads and replays the reports
// into `writer` in input order. At most `jobs` inputs are started and not
// yet printed, so memory grows with `jobs`, not with the number of inputs.
// With `showProgress`, a progress line on stderr once the work has taken
// more than a second.
void DetectInParallel(const std::vector<std::string>& inputs, unsigned jobs, bool showProgress,
                      const std::function<void(const std::string&, InputReporter&)>& detect, InputReporter& writer);

}  // namespace quorvane::cli
