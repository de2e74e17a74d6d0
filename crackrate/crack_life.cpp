// Crack life integration, exact and fast.
//
// The fast mode. Within a run of like cycles (adjacent segments of the same
// S and R, within one pass) whose overload branch stays the same, the
// growth per cycle f(a, N) changes slowly with a, so the recurrence
// a += f(a, N) is stepped h cycles at a time as the equation da/dN = f:
// Heun's step, a1 = a + h (f(a, N) + f(a + h f(a, N), N + h)) / 2, whose
// difference from the Euler step, h |f1 - f0| / 2, estimates the local
// error. A step is taken when that estimate is at most `tolerance` times
// its growth; the next step is the last times 0.9 sqrt(tolerance / ratio),
// between a quarter and four times it. Heun's error is of higher order
// than the estimate, so the life comes out far closer than the tolerance
// (tests and the benchmark measure it).
//   The steps are restarted at one cycle at every run boundary (except
// from pass to pass of a spectrum that is one run, one load throughout)
// and at every change of branch, and a trial step is refused, and halved,
// when its end lies in another branch, past Kc, beyond the final length
// (then shortened to the crossing's estimate) or at a rate that is no
// number. A step of one cycle is the recurrence itself. The first cycle of
// each run (the change from the previous run, an overload included) is
// taken as the exact mode takes it. In the recording branch every cycle
// re-records: after each step the state is the one its last cycle
// records, at the step's end less the rate there. In the branches without
// growth (no load, arrest: rate 0, state and crack unchanged, and neither
// depends on N) the rest of the run is the same cycle again, taken at once.
#include "crack_life.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

namespace crackrate {

const char* const kLifeStopNames[kLifeStopCount] = {"final length", "fracture", "arrest",
                                                    "pass limit", "no rate"};

namespace {

// Step changes of the fast mode: safety factor and bounds.
constexpr double kStepSafety = 0.9;
constexpr double kStepShrinkLimit = 0.25;
constexpr double kStepGrowLimit = 4.0;

bool Finite(double x) { return std::isfinite(x); }

std::string Describe(const char* format, double value) {
  char text[160];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Describe(const char* format, size_t index, double value) {
  char text[160];
  std::snprintf(text, sizeof text, format, index, value);
  return text;
}

}  // namespace

std::string ReadSegments(const double* rows, size_t count, int width,
                         std::vector<LoadSegment>* out) {
  out->clear();
  out->reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const double* row = rows + i * static_cast<size_t>(width);
    double cycles = 1.0;
    if (width == 3) {
      cycles = row[2];
      if (!(cycles >= 0 && cycles < static_cast<double>(kCycleBound)) ||
          cycles != std::floor(cycles)) {
        return Describe("cycle count %zu is %g: it must be a whole number >= 0", i, cycles);
      }
    }
    out->push_back(LoadSegment{row[0], row[1], static_cast<int64_t>(cycles)});
  }
  return std::string();
}

std::string CheckLifeInput(const LifeInput& in) {
  if (in.segmentCount == 0) return "the spectrum has no segments";
  int64_t passCycles = 0;
  for (size_t i = 0; i < in.segmentCount; ++i) {
    const LoadSegment& s = in.segments[i];
    if (!Finite(s.S) || s.S < 0) {
      return Describe("stress range %zu is %g: it must be a finite number >= 0", i, s.S);
    }
    if (!Finite(s.R) || !(s.R < 1)) {
      return Describe("stress ratio %zu is %g: it must be a finite number below 1", i, s.R);
    }
    if (s.count < 0) {
      return Describe("cycle count %zu is %g: it must be >= 0", i, static_cast<double>(s.count));
    }
    if (s.count >= kCycleBound - passCycles) return "the spectrum pass has too many cycles";
    passCycles += s.count;
  }
  if (passCycles == 0) return "the spectrum pass has no cycles";
  if (!Finite(in.initial) || !(in.initial > 0)) {
    return Describe("the initial length is %g: it must be a finite number > 0", in.initial);
  }
  if (!Finite(in.final)) return Describe("the final length is %g: it must be finite", in.final);
  if (in.final < in.initial) return "the final length is below the initial length";
  if (in.passLimit < 1) return "the pass limit must be at least 1";
  if (in.start < 0) return "the start cycle must be >= 0";
  if (in.recordInterval < 0) return "the record interval must be >= 0";
  if (in.passLimit > (kCycleBound - in.start) / passCycles) {
    return "the pass limit times the cycles of a pass is too many cycles";
  }
  if (!(in.tolerance > 0 && in.tolerance <= 0.1)) {
    return Describe("the tolerance is %g: it must be > 0 and at most 0.1", in.tolerance);
  }
  if (in.tableSize == 0) {
    if (!Finite(in.Y) || !(in.Y > 0)) {
      return Describe("Y is %g: it must be a finite number > 0", in.Y);
    }
    return std::string();
  }
  if (in.tableSize < 2) return "the Y table needs at least two points";
  for (size_t i = 0; i < in.tableSize; ++i) {
    if (!Finite(in.tableA[i]))
      return Describe("Y table length %zu is %g: not finite", i, in.tableA[i]);
    if (!Finite(in.tableY[i]) || !(in.tableY[i] > 0)) {
      return Describe("Y table factor %zu is %g: it must be a finite number > 0", i, in.tableY[i]);
    }
    if (i > 0 && !(in.tableA[i] > in.tableA[i - 1])) {
      return Describe("Y table length %zu is %g: the lengths must increase", i, in.tableA[i]);
    }
  }
  if (in.initial < in.tableA[0] || in.final > in.tableA[in.tableSize - 1]) {
    return "the Y table does not cover the lengths from the initial to the final one";
  }
  return std::string();
}

double GeometryFactor(const LifeInput& in, double a) {
  if (in.tableSize == 0) return in.Y;
  const double* first = in.tableA;
  const double* last = in.tableA + in.tableSize;
  if (!(a > first[0])) return in.tableY[0];
  if (!(a < last[-1])) return in.tableY[in.tableSize - 1];
  // The interval [a_i, a_i+1] with a_i <= a < a_i+1.
  const size_t i = static_cast<size_t>(std::upper_bound(first, last, a) - first) - 1;
  const double a0 = in.tableA[i];
  const double Y0 = in.tableY[i];
  return Y0 + (a - a0) * (in.tableY[i + 1] - Y0) / (in.tableA[i + 1] - a0);
}

namespace {

// One life in progress.
class Life {
 public:
  Life(CrackrateModel& model, const LifeInput& in)
      : model_(model), in_(in), Kc_(model.Value(kKc)), a_(in.initial) {
    result_.history.push_back(LifePoint{in.start, a_});
  }

  LifeResult Run() {
    if (in_.mode == LifeMode::kFast) MergeRuns();
    for (int64_t pass = 0; pass < in_.passLimit; ++pass) {
      result_.passes = pass + 1;
      const double before = a_;
      if (!Pass()) return Finish();
      if (a_ == before) return Finish(LifeStop::kArrest);
    }
    return Finish(LifeStop::kPassLimit);
  }

 private:
  // A cycle's load at the current crack length.
  struct Load {
    double dK;
    double Kmax;
  };

  // A cycle's rate as Compute_Crackrate would give it, the state untouched.
  struct Probe {
    double rate;
    double Kmax;
    OverloadBranch branch;
  };

  int N(int64_t taken) const {
    const int64_t n = in_.start + taken;
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
  }

  Load LoadAt(double S, double R, double a) const {
    const double dK = S * GeometryFactor(in_, a) * std::sqrt(kPi * a);
    return Load{dK, dK / (1 - R)};
  }

  Probe ProbeAt(double S, double R, double a, int64_t taken) {
    ++result_.evaluations;
    const Load load = LoadAt(S, R, a);
    Probe p{0.0, load.Kmax, OverloadBranch::kRecord};
    p.rate = model_.PeekCrackrate(load.dK, a, N(taken), R, &p.branch);
    return p;
  }

  // One pass of the spectrum; false at a stop.
  bool Pass() {
    if (in_.mode == LifeMode::kExact) {
      for (size_t i = 0; i < in_.segmentCount; ++i) {
        const LoadSegment& s = in_.segments[i];
        for (int64_t c = 0; c < s.count; ++c) {
          if (!ExactCycle(s.S, s.R)) return false;
        }
      }
      return true;
    }
    // A spectrum of one run is one load throughout: its step goes on
    // from pass to pass.
    for (const LoadSegment& run : runs_) {
      if (!FastRun(run.S, run.R, run.count, runs_.size() == 1 && carried_)) return false;
    }
    return true;
  }

  // Steps 1 to 5 of a cycle; false at a stop.
  bool ExactCycle(double S, double R) {
    if (a_ >= in_.final) return Stop(LifeStop::kFinalLength);
    const Load load = LoadAt(S, R, a_);
    if (load.Kmax >= Kc_) return Stop(LifeStop::kFracture);
    ++result_.evaluations;
    const double rate = model_.Compute_Crackrate(load.dK, a_, N(taken_), R);
    if (!(rate >= 0) || std::isinf(rate)) return Stop(LifeStop::kNoRate);
    a_ += rate;
    Advance(1);
    return true;
  }

  void Advance(int64_t cycles) {
    taken_ += cycles;
    if (in_.recordInterval > 0 && taken_ % in_.recordInterval == 0) Record();
  }

  void Record() {
    const LifePoint point{in_.start + taken_, a_};
    const LifePoint& last = result_.history.back();
    if (last.cycles != point.cycles) result_.history.push_back(point);
  }

  bool Stop(LifeStop stop) {
    stop_ = stop;
    return false;
  }

  LifeResult Finish(LifeStop stop) {
    stop_ = stop;
    return Finish();
  }

  LifeResult Finish() {
    Record();
    result_.stop = stop_;
    result_.cycles = in_.start + taken_;
    result_.length = a_;
    return result_;
  }

  // Adjacent segments of the same S and R are one run of the fast mode.
  void MergeRuns() {
    for (size_t i = 0; i < in_.segmentCount; ++i) {
      const LoadSegment& s = in_.segments[i];
      if (s.count == 0) continue;
      if (!runs_.empty() && runs_.back().S == s.S && runs_.back().R == s.R) {
        runs_.back().count += s.count;
      } else {
        runs_.push_back(s);
      }
    }
  }

  // The cycles up to the next history point (a huge number without one).
  int64_t ToNextRecord() const {
    if (in_.recordInterval == 0) return kCycleBound;
    return in_.recordInterval - taken_ % in_.recordInterval;
  }

  // `count` like cycles in steps; false at a stop. `carried`: the run
  // before was this same load (the pass of a one-run spectrum begins
  // again) and ended in a step, whose size goes on.
  bool FastRun(double S, double R, int64_t count, bool carried) {
    carried_ = false;
    while (count > 0) {
      int64_t h = 1;
      if (carried) {
        carried = false;
        h = carriedStep_;
      } else {
        if (!ExactCycle(S, R)) return false;
        if (--count == 0) return true;
      }
      const Probe p = ProbeAt(S, R, a_, taken_);
      // The next cycle stops: the exact cycle meets it.
      if (p.Kmax >= Kc_ || !(p.rate >= 0) || std::isinf(p.rate)) continue;
      if (p.branch == OverloadBranch::kNoLoad || p.branch == OverloadBranch::kArrest) {
        // The same cycle again, count times: nothing changes but N.
        while (count > 0) {
          const int64_t step = std::min(count, ToNextRecord());
          count -= step;
          Advance(step);
        }
        return true;
      }
      if (p.branch != carriedBranch_) h = 1;
      const int64_t done = Integrate(S, R, count, p, &h);
      if (done == count && a_ < in_.final) {
        carried_ = true;
        carriedStep_ = h;
        carriedBranch_ = p.branch;
      }
      count -= done;
    }
    return true;
  }

  // Up to `count` cycles in Heun steps from the probe p0 at the current
  // length, the first step *h cycles at most, while the branch stays p0's;
  // returns the cycles taken (fewer where a branch change, Kc, the final
  // length or a rate that is no number is one cycle ahead, for the exact
  // cycle to meet) and leaves in *h the size of the next step. In the
  // recording branch, where every cycle re-records, the state after a step
  // is the one its last cycle records, at the step's end less the rate
  // there.
  int64_t Integrate(double S, double R, int64_t count, Probe p0, int64_t* hNext) {
    const double tol = in_.tolerance;
    const OverloadBranch branch = p0.branch;
    int64_t done = 0;
    int64_t h = *hNext;
    while (done < count) {
      const int64_t hh = std::min({h, count - done, ToNextRecord()});
      double next;
      double ratio = 0.0;
      double lastRate = p0.rate;
      if (hh == 1) {
        // One cycle: the recurrence itself, the rate p0's.
        next = a_ + p0.rate;
      } else {
        const double step = static_cast<double>(hh);
        const Probe p1 = ProbeAt(S, R, a_ + step * p0.rate, taken_ + hh);
        const bool same = p1.branch == branch && p1.Kmax < Kc_ && p1.rate >= 0 &&
                          !std::isinf(p1.rate) &&
                          (branch != OverloadBranch::kRecord || p1.Kmax >= p0.Kmax);
        if (!same) {
          h = hh / 2;
          continue;
        }
        next = a_ + step * (0.5 * (p0.rate + p1.rate));
        const double growth = next - a_;
        const double error = step * 0.5 * std::fabs(p1.rate - p0.rate);
        ratio = growth > 0 ? error / (tol * growth) : 0.0;
        if (ratio > 1) {
          const double shrink = std::max(kStepShrinkLimit, kStepSafety / std::sqrt(ratio));
          h = std::max<int64_t>(1, static_cast<int64_t>(step * shrink));
          continue;
        }
        if (next >= in_.final) {
          // The cycle of the crossing, estimated at the step's mean rate:
          // the step ends there or, if it ends short, the next one crosses.
          const double crossing = std::ceil((in_.final - a_) / (growth / step));
          if (crossing < step) {
            h = std::max<int64_t>(1, static_cast<int64_t>(crossing));
            continue;
          }
        }
        lastRate = p1.rate;
      }
      a_ = next;
      done += hh;
      if (branch == OverloadBranch::kRecord) {
        const double last = a_ - lastRate;
        model_.RestoreOverload(model_.RecordedAt(LoadAt(S, R, last).Kmax, last));
      }
      Advance(hh);
      const double grow =
          ratio > 0 ? std::min(kStepGrowLimit, kStepSafety / std::sqrt(ratio)) : kStepGrowLimit;
      h = std::max<int64_t>(hh, static_cast<int64_t>(static_cast<double>(hh) * grow));
      if (a_ >= in_.final || done == count) break;
      p0 = ProbeAt(S, R, a_, taken_);
      if (p0.branch != branch) break;
      if (p0.Kmax >= Kc_ || !(p0.rate >= 0) || std::isinf(p0.rate)) break;
    }
    *hNext = h;
    return done;
  }

  CrackrateModel& model_;
  const LifeInput& in_;
  const double Kc_;
  double a_;
  int64_t taken_ = 0;
  LifeStop stop_ = LifeStop::kPassLimit;
  std::vector<LoadSegment> runs_;
  // The step that goes on into a run of the same load.
  bool carried_ = false;
  int64_t carriedStep_ = 1;
  OverloadBranch carriedBranch_ = OverloadBranch::kNoLoad;
  LifeResult result_;
};

}  // namespace

LifeResult GrowCrack(CrackrateModel& model, const LifeInput& input) {
  return Life(model, input).Run();
}

}  // namespace crackrate
