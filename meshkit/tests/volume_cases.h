// The eight volume instances with what the tests know about each, so that
// every property is one table-driven test across all classes.
#pragma once

#include <random>
#include <string>

#include <meshkit/meshkit.h>
#include "volume/volume_tables.h"

namespace volume_test {

enum class Domain { kTetrahedron, kPyramidCube, kWedge01, kWedge11, kUnitCube, kCube };

struct Case {
  const char* name;
  const Meshkit::ElemClass* element;
  int nodes;
  int corners;
  const Meshkit::Coord3* nodeCoords;
  Domain domain;
};

inline const Case kCases[] = {
    {"ECTetrahedral4", &Meshkit::kTetrahedral4, 4, 4, Meshkit::tables::kTetrahedronNodes,
     Domain::kTetrahedron},
    {"ECTetrahedral10", &Meshkit::kTetrahedral10, 10, 4, Meshkit::tables::kTetrahedronNodes,
     Domain::kTetrahedron},
    {"ECPyramid5", &Meshkit::kPyramid5, 5, 5, Meshkit::tables::kPyramid5Nodes,
     Domain::kPyramidCube},
    {"ECPyramid13", &Meshkit::kPyramid13, 13, 5, Meshkit::tables::kPyramid13Nodes,
     Domain::kPyramidCube},
    {"ECWedge6", &Meshkit::kWedge6, 6, 6, Meshkit::tables::kWedge6Nodes, Domain::kWedge01},
    {"ECWedge15", &Meshkit::kWedge15, 15, 6, Meshkit::tables::kWedge15Nodes, Domain::kWedge11},
    {"ECBrick8", &Meshkit::kBrick8, 8, 8, Meshkit::tables::kBrick8Nodes, Domain::kUnitCube},
    {"ECBrick20", &Meshkit::kBrick20, 20, 8, Meshkit::tables::kBrick20Nodes, Domain::kCube},
};

inline std::string CaseName(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// A point of the class's natural domain, drawn uniformly from u in [0, 1)^3.
inline Meshkit::Coord3 DomainPoint(Domain d, double u, double v, double w) {
  switch (d) {
    case Domain::kTetrahedron: {
      // Fold the unit cube into the tetrahedron (keeps points inside).
      double x = u, y = v, z = w;
      if (x + y > 1) x = 1 - x, y = 1 - y;
      if (y + z > 1) {
        const double t = z;
        z = 1 - x - y, y = 1 - t;
      } else if (x + y + z > 1) {
        const double t = z;
        z = x + y + z - 1, x = 1 - y - t;
      }
      return {x, y, z};
    }
    case Domain::kWedge01:
    case Domain::kWedge11: {
      double x = u, y = v;
      if (x + y > 1) x = 1 - x, y = 1 - y;
      return {x, y, d == Domain::kWedge01 ? w : 2 * w - 1};
    }
    case Domain::kUnitCube:
      return {u, v, w};
    default:
      return {2 * u - 1, 2 * v - 1, 2 * w - 1};
  }
}

// Random points anywhere in [-3, 3]^3.
inline Meshkit::Coord3 AnyPoint(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(-3, 3);
  return {u(rng), u(rng), u(rng)};
}

}  // namespace volume_test
