// Crack life: the growth of one crack, cycle after cycle, from an initial
// to a final (critical) length under a load spectrum, through the model's
// Compute_Crackrate and its overload state, until one of the stops below.
//
// Geometry: the stress-intensity range of a cycle of stress range S at
// crack length a is dK = S * Y(a) * sqrt(pi * a), evaluated in exactly this
// order, (S * Y) * std::sqrt(kPi * a), as the Python expression
// `S * Y * math.sqrt(math.pi * a)` evaluates it; its peak is Kmax =
// dK / (1 - R). Y is a constant or a table of (a, Y) points, strictly
// increasing in a, interpolated linearly: Y = Y0 + (a - a0) * (Y1 - Y0) /
// (a1 - a0) between the points a0 <= a <= a1 that bracket a (the last
// interval at the table's end).
//
// Spectrum: constant-amplitude segments (S, R, count), taken in order and
// repeated as a whole (a pass) until a stop; a segment of one cycle is an
// overload. A per-cycle history is the same input with every count 1.
//
// Each cycle, in this order (the exact mode):
//   1. a >= final: stop, final length;
//   2. Kmax >= Kc: stop, fracture (before the cycle: from there on the rate
//      as written is infinite, then negative);
//   3. rate = Compute_Crackrate(dK, a, N, R) with N the cycle count
//      (start + cycles taken, held at INT_MAX beyond it, where the damping
//      of the effective ratio has long ended);
//   4. a rate that is not a finite number >= 0 (constants that make the
//      model's formulas NaN): stop, no rate, with a as it was;
//   5. a = a + rate.
// After every pass: a crack that the pass did not lengthen at all stops,
// arrest (the threshold or the overload holds it); after passLimit passes:
// stop, pass limit.
//
// The fast mode takes many cycles of a run of like cycles in one step; see
// crack_life.cpp for its error control. It leaves the overload state as
// the last cycle it took leaves it, that cycle's length estimated where it
// lies inside a step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crackrate_model.h"

namespace crackrate {

// The double nearest to pi, as Python's math.pi.
constexpr double kPi = 3.141592653589793;

constexpr int64_t kDefaultPassLimit = 1000000;
// Relative local error of the fast mode's steps (see crack_life.cpp).
constexpr double kDefaultLifeTolerance = 1e-3;

// One constant-amplitude segment: stress range, stress ratio, cycles.
struct LoadSegment {
  double S;
  double R;
  int64_t count;
};

enum class LifeMode { kExact, kFast };

enum class LifeStop { kFinalLength, kFracture, kArrest, kPassLimit, kNoRate };
constexpr int kLifeStopCount = 5;
// "final length", "fracture", "arrest", "pass limit", "no rate".
extern const char* const kLifeStopNames[kLifeStopCount];

struct LifeInput {
  const LoadSegment* segments = nullptr;
  size_t segmentCount = 0;
  double initial = 0.0;
  double final = 0.0;
  // The constant Y, used when the table is empty.
  double Y = 1.0;
  // The Y table: tableSize points (tableA[i], tableY[i]).
  const double* tableA = nullptr;
  const double* tableY = nullptr;
  size_t tableSize = 0;
  int64_t passLimit = kDefaultPassLimit;
  // N of the first cycle: the cycles the crack has seen before.
  int64_t start = 0;
  // A history point every recordInterval cycles (0: the ends only).
  int64_t recordInterval = 0;
  LifeMode mode = LifeMode::kExact;
  double tolerance = kDefaultLifeTolerance;
};

struct LifePoint {
  int64_t cycles;  // start + cycles taken
  double length;
};

struct LifeResult {
  LifeStop stop = LifeStop::kPassLimit;
  int64_t cycles = 0;  // start + cycles taken when it stopped
  double length = 0.0;
  int64_t passes = 0;  // passes begun
  // Rate evaluations of the model (one per cycle in the exact mode).
  int64_t evaluations = 0;
  // (start, initial), then every recordInterval cycles, then the stop.
  std::vector<LifePoint> history;
};

// Cycle counts stay below 2^53, where doubles (a float64 history) still
// hold every count exactly.
constexpr int64_t kCycleBound = int64_t{1} << 53;

// The segments of `rows` rows of `width` numbers each: (S, R, count) for
// width 3, or (S, R) for width 2 (a per-cycle history: count 1). Empty when
// they convert; otherwise why not (a count that is not a whole number from
// 0 to kCycleBound). The values themselves are checked by CheckLifeInput.
std::string ReadSegments(const double* rows, size_t count, int width,
                         std::vector<LoadSegment>* out);

// Empty when the input is valid; otherwise what is wrong with it, in a
// sentence. Checks every value, so that nothing is taken before a refusal.
std::string CheckLifeInput(const LifeInput& input);

// Y(a) of a valid input, the table's ends held outside its range.
double GeometryFactor(const LifeInput& input, double a);

// Grows the crack of a valid input (CheckLifeInput empty) through the
// model, whose overload state it reads first and leaves as the cycles
// taken leave it.
LifeResult GrowCrack(CrackrateModel& model, const LifeInput& input);

}  // namespace crackrate
