// The four surface instances with what the tests know about each, written
// out here from the node numbering rather than read from the library's
// tables, so that table-driven tests compare the library with an independent
// statement of it.
#pragma once

#include <random>
#include <string>
#include <vector>

#include <meshkit/meshkit.h>

namespace surface_testing {

using Meshkit::Coord2;
using Meshkit::SurfElemClass;

struct ElementCase {
  const char* name;
  const SurfElemClass* element;
  int nodes;
  int corners;
  bool triangle;
  // Node k's position, where its shape function is 1.
  std::vector<Coord2> positions;
};

inline const std::vector<ElementCase>& AllElements() {
  static const std::vector<ElementCase> cases = {
      {"Triangle3", &Meshkit::kTriangle3, 3, 3, true, {{1, 0}, {0, 1}, {0, 0}}},
      {"Triangle6",
       &Meshkit::kTriangle6,
       6,
       3,
       true,
       {{1, 0}, {0, 1}, {0, 0}, {0.5, 0.5}, {0, 0.5}, {0.5, 0}}},
      {"Quadrilateral4",
       &Meshkit::kQuadrilateral4,
       4,
       4,
       false,
       {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}},
      {"Quadrilateral8",
       &Meshkit::kQuadrilateral8,
       8,
       4,
       false,
       {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, -1}, {1, 0}, {0, 1}, {-1, 0}}},
  };
  return cases;
}

// Random natural points inside the element's domain (triangles by folding
// the unit square), reproducible from the seed.
inline std::vector<Coord2> RandomPoints(const ElementCase& c, int count, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<Coord2> points;
  if (c.triangle) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < count; ++i) {
      double r = u(gen), s = u(gen);
      if (r + s > 1.0) r = 1.0 - r, s = 1.0 - s;
      points.push_back({r, s});
    }
  } else {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int i = 0; i < count; ++i) points.push_back({u(gen), u(gen)});
  }
  return points;
}

// Node coordinates of the flat element whose nodes sit at their natural
// positions: (r, s, 0) per node.
inline std::vector<double> FlatNodes(const ElementCase& c) {
  std::vector<double> xyz;
  for (const Coord2& p : c.positions) xyz.insert(xyz.end(), {p.r, p.s, 0.0});
  return xyz;
}

}  // namespace surface_testing
