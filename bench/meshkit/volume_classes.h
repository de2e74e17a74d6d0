// The eight volume classes as the element benchmarks see them: the
// operations as written in each ShapeFunctions and ShapeDerivatives body
// (binary additions, subtractions and multiplications; negations and stores
// not counted) and the integration-point counts they extrapolate from.
#pragma once

#include <vector>

#include <meshkit/meshkit.h>

namespace meshkit_bench {

struct VolumeClass {
  const char* name;
  const Meshkit::ElemClass* element;
  int shapeFlops;
  int derivativeFlops;
  std::vector<int> counts;  // accepted integration-point counts
};

inline const VolumeClass kVolumeClasses[] = {
    {"Tetrahedral4", &Meshkit::kTetrahedral4, 3, 0, {4, 5, 11, 15, 24}},
    {"Tetrahedral10", &Meshkit::kTetrahedral10, 27, 33, {4, 5, 11, 15, 24}},
    {"Pyramid5", &Meshkit::kPyramid5, 16, 22, {}},
    {"Pyramid13", &Meshkit::kPyramid13, 66, 152, {}},
    {"Wedge6", &Meshkit::kWedge6, 9, 3, {6, 12, 28, 48}},
    {"Wedge15", &Meshkit::kWedge15, 63, 118, {}},
    {"Brick8", &Meshkit::kBrick8, 19, 27, {8, 27, 64}},
    {"Brick20", &Meshkit::kBrick20, 104, 264, {8, 27, 64}},
};

}  // namespace meshkit_bench
