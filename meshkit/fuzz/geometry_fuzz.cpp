// Decodes the bytes into element geometry calls of both families: node
// coordinates on a coarse grid around the natural positions (so that
// degenerate, folded and coincident nodes are common), special values
// (NaN, infinities, huge numbers) mixed in, targets anywhere, tolerances and
// iteration limits of any sign. Checks that nothing writes beyond the node
// count's gradients, that no call hangs (the iteration limit holds), and
// that every converged inverse mapping reports a finite point and distance
// and a step count within the limit.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include <meshkit/meshkit.h>

#include "byte_reader.h"

namespace {

const Meshkit::ElemClass* const kVolume[8] = {
    &Meshkit::kTetrahedral4, &Meshkit::kTetrahedral10, &Meshkit::kPyramid5, &Meshkit::kPyramid13,
    &Meshkit::kWedge6,       &Meshkit::kWedge15,       &Meshkit::kBrick8,   &Meshkit::kBrick20};
const Meshkit::SurfElemClass* const kSurface[4] = {&Meshkit::kTriangle3, &Meshkit::kTriangle6,
                                                   &Meshkit::kQuadrilateral4,
                                                   &Meshkit::kQuadrilateral8};

// Guard entries past the largest node count's gradients.
constexpr int kGuard = 4;
constexpr double kGuardValue = 12345.0;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Mostly grid values in [-2, 2]; now and then a special one.
double Value(ByteReader& in) {
  const int kind = in.Below(32);
  if (kind == 0) return std::numeric_limits<double>::quiet_NaN();
  if (kind == 1) return std::numeric_limits<double>::infinity();
  if (kind == 2) return -1e300;
  if (kind == 3) return 1e-300;
  return in.Grid(-2, 0.25, 17);
}

void CheckHit(const Meshkit::NaturalPoint& hit, int limit) {
  Check(hit.iterations >= 0 && hit.iterations <= (limit < 0 ? 0 : limit));
  if (hit.converged) {
    Check(std::isfinite(hit.point.x) && std::isfinite(hit.point.y) && std::isfinite(hit.point.z));
    Check(!std::isnan(hit.distance));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  while (!in.Done()) {
    double xyz[3 * 20];
    for (double& v : xyz) v = Value(in);
    const Meshkit::Coord3 p = {Value(in), Value(in), Value(in)};
    const double tolerance = in.Below(4) == 0 ? Value(in) : 1e-12;
    const int limit = in.Below(40) - 5;
    double g[3 * 20 + kGuard];
    for (double& v : g) v = kGuardValue;
    if (in.Below(3) != 0) {
      const Meshkit::ElemClass& e = *kVolume[in.Below(8)];
      double n[20];
      const int nodes = e.ShapeFunctions(p, n);
      Meshkit::GlobalDerivatives(e, xyz, p, g);
      for (int k = 3 * nodes; k < 3 * 20 + kGuard; ++k) Check(g[k] == kGuardValue);
      Meshkit::Matrix3 j;
      Meshkit::Jacobian(e, xyz, p, j);
      Meshkit::MapToGlobal(e, xyz, p);
      Meshkit::Volume(e, xyz);
      Meshkit::IntegrateField(e, xyz, xyz + 1);
      CheckHit(Meshkit::MapToNatural(e, xyz, p, tolerance, limit), limit);
      const Meshkit::IntegrationRule* rule = Meshkit::FindIntegrationRule(e, in.Below(70));
      if (rule) Check(rule->points > 0 && rule->positions && rule->weights);
    } else {
      const Meshkit::SurfElemClass& e = *kSurface[in.Below(4)];
      double n[8];
      const int nodes = e.ShapeFunctions(p, n);
      Meshkit::GlobalDerivatives(e, xyz, p, g);
      for (int k = 3 * nodes; k < 3 * 20 + kGuard; ++k) Check(g[k] == kGuardValue);
      Meshkit::SurfaceFrame frame;
      Meshkit::Jacobian(e, xyz, p, frame);
      CheckHit(Meshkit::MapToNatural(e, xyz, p, tolerance, limit), limit);
      Meshkit::FindIntegrationRule(e, in.Below(20));
    }
  }
  return 0;
}
