// Locating points in a small mesh of 8-node bricks, as a caller does after
// a box search: the candidate elements are those whose bounding boxes hold
// the point; in each candidate the inverse mapping finds the point's natural
// coordinates, and IsInside tells whether the point lies in that element.
// There the example interpolates a nodal temperature field and its global
// gradient. The mesh is 2 x 2 x 2 bricks on a wavy 3 x 3 x 3 grid of nodes,
// so no element is a parallelepiped.
//
// Built with `#include <meshkit/meshkit.h>` against Meshkit::meshkit (or the
// pkg-config flags); prints what it found and exits with 1 should any
// result be off.
#include <cmath>
#include <cstdio>
#include <vector>

#include <meshkit/meshkit.h>

namespace {

constexpr int kCells = 2;          // bricks per direction
constexpr int kGrid = kCells + 1;  // nodes per direction
constexpr double kInsideTolerance = 1e-9;

struct Box {
  Meshkit::Coord3 lo, hi;
  bool Holds(const Meshkit::Coord3& p) const {
    return p.x >= lo.x && p.x <= hi.x && p.y >= lo.y && p.y <= hi.y && p.z >= lo.z && p.z <= hi.z;
  }
};

// Grid node (i, j, k), moved off the regular grid by a smooth wave.
Meshkit::Coord3 GridNode(int i, int j, int k) {
  const double x = i, y = j, z = k;
  return {x + 0.1 * std::sin(1.3 * y + 0.7 * z), y + 0.1 * std::sin(0.9 * z + 1.1 * x),
          z + 0.1 * std::sin(1.7 * x + 0.5 * y)};
}

// A linear temperature, known at the nodes: every element reproduces it
// exactly, whatever its shape, so the example can check what it finds.
double Temperature(const Meshkit::Coord3& p) { return 20 + 3 * p.x - 2 * p.y + p.z; }

}  // namespace

int main() {
  const Meshkit::ElemClass& brick = Meshkit::kBrick8;
  // Per element: x, y, z of its 8 nodes in ECBrick8's numbering (corner c
  // has x from bit 2 of c, y from bit 1, z from bit 0), its temperatures and
  // its bounding box.
  std::vector<std::vector<double>> coordinates, temperatures;
  std::vector<Box> boxes;
  for (int ei = 0; ei < kCells; ++ei) {
    for (int ej = 0; ej < kCells; ++ej) {
      for (int ek = 0; ek < kCells; ++ek) {
        std::vector<double> xyz, t;
        Box box = {{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}};
        for (int c = 0; c < 8; ++c) {
          const Meshkit::Coord3 p = GridNode(ei + (c >> 2 & 1), ej + (c >> 1 & 1), ek + (c & 1));
          xyz.insert(xyz.end(), {p.x, p.y, p.z});
          t.push_back(Temperature(p));
          box.lo = {std::fmin(box.lo.x, p.x), std::fmin(box.lo.y, p.y), std::fmin(box.lo.z, p.z)};
          box.hi = {std::fmax(box.hi.x, p.x), std::fmax(box.hi.y, p.y), std::fmax(box.hi.z, p.z)};
        }
        coordinates.push_back(xyz);
        temperatures.push_back(t);
        boxes.push_back(box);
      }
    }
  }

  // The mesh's volume, element by element by each one's own rule.
  double volume = 0;
  for (const std::vector<double>& xyz : coordinates) volume += Meshkit::Volume(brick, xyz.data());
  std::printf("mesh of %zu bricks, volume %.6f\n", coordinates.size(), volume);

  const Meshkit::Coord3 targets[] = {
      {0.5, 0.5, 0.5}, {1.2, 0.3, 1.7}, {1.95, 1.9, 0.1}, {1.0, 1.0, 1.0}, {5.0, 5.0, 5.0}};
  int failures = 0;
  for (const Meshkit::Coord3& p : targets) {
    int found = -1;
    Meshkit::NaturalPoint hit{};
    for (std::size_t e = 0; e < boxes.size() && found < 0; ++e) {
      if (!boxes[e].Holds(p)) continue;  // not a candidate
      hit = Meshkit::MapToNatural(brick, coordinates[e].data(), p);
      if (hit.converged && brick.IsInside(hit.point, kInsideTolerance)) found = static_cast<int>(e);
    }
    if (found < 0) {
      std::printf("(%g, %g, %g): outside the mesh\n", p.x, p.y, p.z);
      const bool expectedOutside = p.x > 2.5;
      failures += expectedOutside ? 0 : 1;
      continue;
    }
    // Temperature and its gradient at the point, from the element's nodes.
    double n[8], g[24];
    brick.ShapeFunctions(hit.point, n);
    Meshkit::GlobalDerivatives(brick, coordinates[found].data(), hit.point, g);
    double t = 0;
    Meshkit::Coord3 grad = {0, 0, 0};
    for (int i = 0; i < 8; ++i) {
      const double ti = temperatures[found][i];
      t += n[i] * ti;
      grad.x += g[3 * i] * ti, grad.y += g[3 * i + 1] * ti, grad.z += g[3 * i + 2] * ti;
    }
    std::printf(
        "(%g, %g, %g): element %d at natural (%.6f, %.6f, %.6f) after %d iterations, "
        "T = %.9f, grad T = (%.9f, %.9f, %.9f)\n",
        p.x, p.y, p.z, found, hit.point.x, hit.point.y, hit.point.z, hit.iterations, t, grad.x,
        grad.y, grad.z);
    if (std::fabs(t - Temperature(p)) > 1e-9 || std::fabs(grad.x - 3) > 1e-9 ||
        std::fabs(grad.y + 2) > 1e-9 || std::fabs(grad.z - 1) > 1e-9) {
      ++failures;
    }
  }
  // The wave moves the nodes by at most 0.1: the mesh's volume stays near
  // that of the cube [0, 2]^3.
  if (std::fabs(volume - 8) > 0.2) ++failures;
  std::printf("%s\n", failures ? "FAILED" : "all points located");
  return failures ? 1 : 0;
}
