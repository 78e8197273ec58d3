// The sender's bit edges as a straight line.
//
// The bit clock's edges wander by a quarter of a sample and more in noise,
// and each wander turns the phase a change of tone is expected to take.
// A sender's own edges do not wander: a digital sender keeps its bit
// length exactly, an analogue one keeps it off by a steady rate. So a
// straight line fitted by least squares through the clock's edges, where
// crossings of the soft bit have just told the clock where they lie,
// finds the sender's edges far more steadily than the clock itself.
// Recent edges weigh most. A line that stops fitting starts afresh; where
// a start edge shows that the sender moved its edges, the line moves with
// them and keeps its slope (FskEdgeLineShift).
#pragma once

namespace quorvane {

inline constexpr double kNominalBitLength = 8000.0 / 1200.0;  // samples per bit at 1200 bit/s
inline constexpr int kEdgeLineHolds = 16;                     // edges fitted before the line is trusted

struct FskEdgeLine {
  int fitted;          // edges fitted since it started (capped); 0: no line yet
  double edge;         // the line at the newest bit end, in running-sum time
  double bitLength;    // its slope: samples per bit
  double recent;       // fast average of the newest edges' distances from it
  // Exponentially weighted sums over the fitted edges of 1, x, x^2, y, x*y,
  // where x counts bits from the newest end (older edges negative) and y is
  // an edge's distance from the line.
  double s0, s1, s2, sy, sxy;
};

// A line with nothing fitted: the next informative edge starts it.
void FskEdgeLineRestart(FskEdgeLine& line);

// The clock ended a bit at `edge`; `informative` when a crossing has just
// placed the clock (only those edges are fitted). Returns where the line
// puts that edge: the line, or `edge` itself while there is no line.
double FskEdgeLineEnd(FskEdgeLine& line, double edge, bool informative);

// The sender moved its edges to `edge` but keeps its bit length: the line
// moves there with its slope, and the fit starts again from that edge.
void FskEdgeLineShift(FskEdgeLine& line, double edge);

// How far `edge` lies from the nearest edge of the line, in samples.
double FskEdgeLineDistance(const FskEdgeLine& line, double edge);

bool FskEdgeLineHolds(const FskEdgeLine& line);

}  // namespace quorvane
