// The instances are constant-initialised: each is only its pointer to the
// table of operations, set by a constexpr constructor. MESHKIT_CONSTINIT makes
// the compiler refuse the build should any of them ever need code at load.
#include "instances.h"

#if defined(__clang__)
#define MESHKIT_CONSTINIT [[clang::require_constant_initialization]]
#else
#define MESHKIT_CONSTINIT __constinit
#endif

namespace Meshkit {

MESHKIT_CONSTINIT const ECTetrahedral4 kTetrahedral4;
MESHKIT_CONSTINIT const ECTetrahedral10 kTetrahedral10;
MESHKIT_CONSTINIT const ECPyramid5 kPyramid5;
MESHKIT_CONSTINIT const ECPyramid13 kPyramid13;
MESHKIT_CONSTINIT const ECWedge6 kWedge6;
MESHKIT_CONSTINIT const ECWedge15 kWedge15;
MESHKIT_CONSTINIT const ECBrick8 kBrick8;
MESHKIT_CONSTINIT const ECBrick20 kBrick20;

template class List<double>;
template class List<Coord3>;
template class List<Tensor6>;
template class List<Tensor9>;

}  // namespace Meshkit
