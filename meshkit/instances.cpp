// Definitions of the shared instances, in the order of the element class
// list. MESHKIT_CONSTINIT makes the compiler prove that each is constant-
// initialised: the constexpr constructors only set the table of operations.
#include "instances.h"

#include "constant_init.h"

namespace Meshkit {

// Volume family instances come first.

MESHKIT_CONSTINIT const SECTriangle3 kTriangle3{};
MESHKIT_CONSTINIT const SECTriangle6 kTriangle6{};
MESHKIT_CONSTINIT const SECQuadrilateral4 kQuadrilateral4{};
MESHKIT_CONSTINIT const SECQuadrilateral8 kQuadrilateral8{};

}  // namespace Meshkit
