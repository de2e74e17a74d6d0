// The one shared instance of each element class, constant data of the
// library: each is only its table of operations, so nothing runs to build
// them and they are usable from the moment the library is loaded (static
// initialisers of other files included). Callers name the instance of the
// class they need.
#pragma once

#include "surface/surface_classes.h"
#include "volume/volume_classes.h"

namespace Meshkit {

MESHKIT_API extern const ECTetrahedral4 kTetrahedral4;
MESHKIT_API extern const ECTetrahedral10 kTetrahedral10;
MESHKIT_API extern const ECPyramid5 kPyramid5;
MESHKIT_API extern const ECPyramid13 kPyramid13;
MESHKIT_API extern const ECWedge6 kWedge6;
MESHKIT_API extern const ECWedge15 kWedge15;
MESHKIT_API extern const ECBrick8 kBrick8;
MESHKIT_API extern const ECBrick20 kBrick20;
MESHKIT_API extern const SECTriangle3 kTriangle3;
MESHKIT_API extern const SECTriangle6 kTriangle6;
MESHKIT_API extern const SECQuadrilateral4 kQuadrilateral4;
MESHKIT_API extern const SECQuadrilateral8 kQuadrilateral8;

// The value lists the extrapolations carry, instantiated once in the library.
extern template class List<double>;
extern template class List<Coord3>;
extern template class List<Tensor6>;
extern template class List<Tensor9>;

}  // namespace Meshkit
