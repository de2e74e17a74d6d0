// The one instance of each element class, constant data of the library:
// nothing runs to build them, and callers name the instance they need.
#pragma once

#include "volume_elements.h"

namespace Meshkit {

MESHKIT_API extern const ECTetrahedral4 kTetrahedral4;
MESHKIT_API extern const ECTetrahedral10 kTetrahedral10;
MESHKIT_API extern const ECPyramid5 kPyramid5;
MESHKIT_API extern const ECPyramid13 kPyramid13;
MESHKIT_API extern const ECWedge6 kWedge6;
MESHKIT_API extern const ECWedge15 kWedge15;
MESHKIT_API extern const ECBrick8 kBrick8;
MESHKIT_API extern const ECBrick20 kBrick20;

// The value lists the extrapolations carry, instantiated once in the library.
extern template class List<double>;
extern template class List<Coord3>;
extern template class List<Tensor6>;
extern template class List<Tensor9>;

}  // namespace Meshkit
