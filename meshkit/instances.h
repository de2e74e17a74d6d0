// The one shared instance of each element class. The instances are
// constant-initialised (each is only its table of operations), so they are
// usable from the moment the library is loaded, static initialisers of other
// files included; callers name the instance of the class they need.
#pragma once

#include "surface_elements.h"

namespace Meshkit {

// Volume family instances come first.

extern const SECTriangle3 kTriangle3;
extern const SECTriangle6 kTriangle6;
extern const SECQuadrilateral4 kQuadrilateral4;
extern const SECQuadrilateral8 kQuadrilateral8;

}  // namespace Meshkit
