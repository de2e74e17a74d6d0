// libFuzzer target of the crack life: the bytes give a material, a short
// spectrum (a few segments of at most a few hundred cycles, with NaNs,
// infinities, negative and zero values among the choices), the lengths, the
// geometry (a constant or a table, ordered or not), the pass limit and the
// record interval. What must hold: refused input is refused before the
// model is touched; a valid life, exact or fast, ends (no hang), stays in
// bounds, records a history whose cycles rise and whose lengths never
// fall, and stops within its cycles, at the final length where it says so.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "byte_reader.h"
#include "crack_life.h"

namespace {

const double kOdd[] = {std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(),
                       -1.0,
                       0.0,
                       1e-300,
                       1e300};

// A value on a grid from lo, or now and then one of the odd values.
double Value(ByteReader& in, double lo, double step) {
  if (in.Below(16) == 0) return kOdd[in.Below(6)];
  return in.Grid(lo, step, 40);
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteReader in(data, size);
  std::vector<double> constants = {0,   50,  60,  40, 1,   1,   1e-10,  3, 0.5,   1, 5,
                                   0.1, 0.1, 0.7, 2,  0.3, 0.1, 0.0381, 3, 10000, 3};
  constants[crackrate::kKie] = Value(in, 10, 5);
  constants[crackrate::kRso] = Value(in, 1, 0.25);
  constants[crackrate::kDamp] = Value(in, 0, 500);
  crackrate::CrackrateModel model(constants.data(), crackrate::kFullConstants, true);
  std::vector<crackrate::LoadSegment> segments(static_cast<size_t>(in.Below(5)));
  for (crackrate::LoadSegment& s : segments) {
    s.S = Value(in, 0, 2);
    s.R = Value(in, -0.5, 0.05);
    s.count = in.Below(8) == 0 ? -1 : in.Below(200);
  }
  std::vector<double> tableA;
  std::vector<double> tableY;
  crackrate::LifeInput life;
  life.segments = segments.data();
  life.segmentCount = segments.size();
  life.initial = Value(in, 0, 0.02);
  life.final = Value(in, 0, 0.05);
  life.Y = Value(in, 0, 0.1);
  if (in.Below(3) == 0) {
    const int points = in.Below(5);
    for (int i = 0; i < points; ++i) {
      tableA.push_back(Value(in, 0, 0.2));
      tableY.push_back(Value(in, 0, 0.1));
    }
    life.tableA = tableA.data();
    life.tableY = tableY.data();
    life.tableSize = tableA.size();
  }
  life.passLimit = in.Below(20);
  life.start = in.Below(4) == 0 ? 3000000000LL : in.Below(100);
  life.recordInterval = in.Below(50);
  life.mode = in.Below(2) == 0 ? crackrate::LifeMode::kExact : crackrate::LifeMode::kFast;
  const crackrate::OverloadState before = model.Overload();
  if (!crackrate::CheckLifeInput(life).empty()) {
    Check(model.Overload().Kol == before.Kol);
    return 0;
  }
  int64_t passCycles = 0;
  for (const crackrate::LoadSegment& s : segments) passCycles += s.count;
  const crackrate::LifeResult result = crackrate::GrowCrack(model, life);
  Check(result.cycles >= life.start);
  Check(result.cycles - life.start <= life.passLimit * passCycles);
  Check(result.passes >= 1 && result.passes <= life.passLimit);
  Check(!result.history.empty());
  for (size_t i = 1; i < result.history.size(); ++i) {
    Check(result.history[i].cycles > result.history[i - 1].cycles);
    Check(!(result.history[i].length < result.history[i - 1].length));
  }
  Check(result.history.back().cycles == result.cycles);
  if (result.stop == crackrate::LifeStop::kFinalLength) Check(result.length >= life.final);
  return 0;
}
