// libFuzzer target of the crack growth model: the bytes give the 21
// constants, the flag and a series of calls with their arguments, every
// double taken raw from the input (NaNs, infinities, zeros and negative
// scales included). What must hold: every call returns (no hang), nothing
// reads or writes out of bounds, and the tangent bisection agrees with the
// bisection as first written wherever that one ends.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crackrate_model.h"
#include "tests/written_tangent.h"

namespace {

// Reads the input front to back; past its end every value is 0.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return size_ == 0; }
  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  double Double() {
    unsigned char raw[sizeof(double)] = {};
    for (unsigned char& b : raw) b = Byte();
    double value;
    std::memcpy(&value, raw, sizeof value);
    return value;
  }
  int Int() {
    uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw = (raw << 8) | Byte();
    int32_t value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  double constants[crackrate::kFullConstants];
  const int count = (in.Byte() & 1) ? crackrate::kFullConstants : crackrate::kShortConstants;
  for (int i = 0; i < count; ++i) constants[i] = in.Double();
  crackrate::CrackrateModel model(constants, count, (in.Byte() & 1) != 0);
  volatile double sink = 0;
  for (int call = 0; call < 64 && !in.Empty(); ++call) {
    switch (in.Byte() % 12) {
      case 0:
        sink = model.Setf(in.Double());
        break;
      case 1:
        sink = model.Calc_DKth(in.Double(), in.Double());
        break;
      case 2:
        sink = model.dDKthbydReff(in.Double(), in.Double());
        break;
      case 3:
        sink = model.CalcReff(in.Int(), in.Double());
        break;
      case 4:
        sink = model.CalcKeff(in.Double(), in.Int(), in.Double());
        break;
      case 5:
        sink = model.Paris(in.Double());
        break;
      case 6: {
        const double dK = in.Double(), a = in.Double();
        const int N = in.Int();
        const double R = in.Double(), DKth = in.Double();
        sink = model.Calc_Crackrate(dK, a, N, R, DKth);
        break;
      }
      case 7: {
        const double dK = in.Double(), a = in.Double();
        const int N = in.Int();
        sink = model.Compute_Crackrate(dK, a, N, in.Double());
        break;
      }
      case 8:
        model.SetKol();
        break;
      case 9: {
        const double a = in.Double(), B = in.Double(), dK = in.Double();
        const double Kmax = in.Double(), Kmin = in.Double();
        const crackrate::RetardedRatio r = model.SolveRetardedR(a, B, dK, Kmax, Kmin);
        if (r.steps < 0 || r.steps > crackrate::kSolverSteps) std::abort();
        sink = r.r;
        break;
      }
      default: {
        const double lo = in.Double(), hi = in.Double(), R = in.Double();
        const double DKth = in.Double(), Kmax = in.Double();
        const double ours = model.FindTangentDK(lo, hi, R, DKth, Kmax);
        double written;
        if (crackrate_testing::WrittenFindTangentDK(model, lo, hi, R, DKth, Kmax, &written, 4000) &&
            !(std::isnan(ours) && std::isnan(written)) &&
            std::memcmp(&ours, &written, sizeof ours) != 0 && ours != written) {
          std::abort();
        }
        sink = ours;
        break;
      }
    }
  }
  (void)sink;
  return 0;
}
