// Integrates a field over a curved surface patch made of 8-node
// quadrilaterals: a quarter of a cylinder of radius 2 and height 3, first as
// one element, then as a 4-by-4 mesh. Prints the patch area and the integral
// of the height z over it, next to the values of the exact cylinder.
//
//   build/meshkit/surface_patch_example
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include <meshkit/meshkit.h>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadius = 2.0;
constexpr double kHeight = 3.0;
constexpr double kSweep = kPi / 2;

// Node coordinates (x, y, z per node) of the 8-node element covering angles
// [a0, a1] and heights [z0, z1] of the cylinder: each node is placed on the
// cylinder at its natural position, so the element is curved.
void CylinderElement(double a0, double a1, double z0, double z1, double* xyz) {
  const Meshkit::SurfElemClass& element = Meshkit::kQuadrilateral8;
  for (int k = 0; k < 8; ++k) {
    const Meshkit::Coord2 p = element.NodeCoordinates(k);
    const double angle = a0 + 0.5 * (p.r + 1.0) * (a1 - a0);
    const double z = z0 + 0.5 * (p.s + 1.0) * (z1 - z0);
    xyz[3 * k] = kRadius * std::cos(angle);
    xyz[3 * k + 1] = kRadius * std::sin(angle);
    xyz[3 * k + 2] = z;
  }
}

// Area and integral of z over the patch split into n-by-n elements.
void IntegratePatch(int n, double& area, double& integralOfZ) {
  const Meshkit::SurfElemClass& element = Meshkit::kQuadrilateral8;
  area = 0.0;
  integralOfZ = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double xyz[8 * 3];
      CylinderElement(kSweep * i / n, kSweep * (i + 1) / n, kHeight * j / n, kHeight * (j + 1) / n,
                      xyz);
      double one[8], height[8];
      for (int k = 0; k < 8; ++k) {
        one[k] = 1.0;
        height[k] = xyz[3 * k + 2];
      }
      area += element.IntegrateScalar(xyz, one);
      integralOfZ += element.IntegrateScalar(xyz, height);
    }
  }
}

}  // namespace

int main() {
  const double exactArea = kRadius * kSweep * kHeight;
  const double exactIntegral = kRadius * kSweep * kHeight * kHeight / 2;
  std::printf("quarter cylinder, radius %g, height %g\n", kRadius, kHeight);
  std::printf("%-10s %12s %12s\n", "elements", "area", "integral z");
  bool close = true;
  for (int n : {1, 4}) {
    double area = 0.0, integral = 0.0;
    IntegratePatch(n, area, integral);
    std::printf("%-10d %12.6f %12.6f\n", n * n, area, integral);
    close = close && std::fabs(area - exactArea) < 0.01 * exactArea &&
            std::fabs(integral - exactIntegral) < 0.01 * exactIntegral;
  }
  std::printf("%-10s %12.6f %12.6f\n", "exact", exactArea, exactIntegral);
  return close ? 0 : 1;
}
