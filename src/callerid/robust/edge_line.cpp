#include "callerid/robust/edge_line.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

constexpr double kMemory = 1.0 - 1.0 / 128.0;  // weight an edge keeps per edge fitted after it
constexpr double kRecentGain = 1.0 / 8.0;      // share of a new distance in the fast average
constexpr double kRecentLimit = 0.5;           // samples: a fast average beyond this is a line that no longer fits
constexpr double kLongestSlope = 0.2;          // samples per bit either side of nominal (3 %, as the clock follows)

void StartAt(FskEdgeLine& line, double edge, bool informative, double bitLength = kNominalBitLength) {
  line = FskEdgeLine{};
  line.edge = edge;
  line.bitLength = bitLength;
  if (informative) {
    line.fitted = 1;
    line.s0 = 1.0;
  }
}

// The line's edge nearest `edge`, and how many bits on from its newest
// end that lies.
double NearestEdge(const FskEdgeLine& line, double edge, double& bits) {
  bits = std::round((edge - line.edge) / line.bitLength);
  return line.edge + bits * line.bitLength;
}

}  // namespace

void FskEdgeLineRestart(FskEdgeLine& line) { line.fitted = 0; }

void FskEdgeLineShift(FskEdgeLine& line, double edge) { StartAt(line, edge, true, line.bitLength); }

bool FskEdgeLineHolds(const FskEdgeLine& line) { return line.fitted >= kEdgeLineHolds; }

double FskEdgeLineDistance(const FskEdgeLine& line, double edge) {
  double bits = 0.0;
  return edge - NearestEdge(line, edge, bits);
}

double FskEdgeLineEnd(FskEdgeLine& line, double edge, bool informative) {
  if (line.fitted == 0) {
    StartAt(line, edge, informative);
    return edge;
  }
  double bits = 0.0;
  const double predicted = NearestEdge(line, edge, bits);
  const double y = edge - predicted;
  // x counts bits from the newest end, older ones negative: move it on.
  line.s2 += bits * (bits * line.s0 - 2.0 * line.s1);
  line.s1 -= bits * line.s0;
  line.sxy -= bits * line.sy;
  line.edge = predicted;
  if (!informative) return predicted;

  line.recent += (y - line.recent) * kRecentGain;
  if (std::fabs(line.recent) > kRecentLimit) {
    StartAt(line, edge, true);
    return edge;
  }
  line.s0 = line.s0 * kMemory + 1.0;
  line.s1 *= kMemory;
  line.s2 *= kMemory;
  line.sy = line.sy * kMemory + y;
  line.sxy *= kMemory;
  line.fitted = std::min(line.fitted + 1, kEdgeLineHolds);
  // The offset alone until enough edges tell the slope too.
  double slope = 0.0, offset = line.sy / line.s0;
  const double det = line.s0 * line.s2 - line.s1 * line.s1;
  if (FskEdgeLineHolds(line) && det > 1e-9) {
    slope = (line.s0 * line.sxy - line.s1 * line.sy) / det;
    offset = (line.sy - slope * line.s1) / line.s0;
  }
  // Measure the distances from the fitted line from now on.
  line.sy -= offset * line.s0 + slope * line.s1;
  line.sxy -= offset * line.s1 + slope * line.s2;
  line.edge = predicted + offset;
  line.bitLength = std::clamp(line.bitLength + slope, kNominalBitLength - kLongestSlope, kNominalBitLength + kLongestSlope);
  return line.edge;
}

}  // namespace quorvane
