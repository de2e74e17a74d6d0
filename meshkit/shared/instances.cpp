// Definitions of the shared instances, in the order of the element class
// list: the eight volume classes, then the four surface classes.
// MESHKIT_CONSTINIT makes the compiler prove that each is constant-
// initialised: the constexpr constructors only set the table of operations,
// and the build fails should any of them ever need code at load.
#include <meshkit/instances.h>

namespace Meshkit {

MESHKIT_CONSTINIT const ECTetrahedral4 kTetrahedral4;
MESHKIT_CONSTINIT const ECTetrahedral10 kTetrahedral10;
MESHKIT_CONSTINIT const ECPyramid5 kPyramid5;
MESHKIT_CONSTINIT const ECPyramid13 kPyramid13;
MESHKIT_CONSTINIT const ECWedge6 kWedge6;
MESHKIT_CONSTINIT const ECWedge15 kWedge15;
MESHKIT_CONSTINIT const ECBrick8 kBrick8;
MESHKIT_CONSTINIT const ECBrick20 kBrick20;
MESHKIT_CONSTINIT const SECTriangle3 kTriangle3;
MESHKIT_CONSTINIT const SECTriangle6 kTriangle6;
MESHKIT_CONSTINIT const SECQuadrilateral4 kQuadrilateral4;
MESHKIT_CONSTINIT const SECQuadrilateral8 kQuadrilateral8;

template class List<double>;
template class List<Coord3>;
template class List<Tensor6>;
template class List<Tensor9>;

}  // namespace Meshkit
