// The library's own element classes by their exact type, with what the
// quadrature and geometry operations need to know of each: its node count
// (the geometry's local buffers hold the family's largest), the natural
// point the inverse mapping starts from (the natural domain's centroid), its
// nodes' natural positions, and its integration rules. A caller's own class, derived from a base,
// is not listed, and the operations refuse it. Internal to the library's sources.
#pragma once

#include <meshkit/quadrature.h>
#include <meshkit/surface/surface_records.h>

namespace Meshkit {

class ElemClass;
class SurfElemClass;

namespace catalogue {

// The largest node counts of the two families.
constexpr int kMaxVolumeNodes = 20;
constexpr int kMaxSurfaceNodes = 8;

struct VolumeEntry {
  int nodes;
  Coord3 start;
  const Coord3* naturalNodes;  // the class's node positions (pyramids' apex: face centre)
  const IntegrationRuleSet& rules;
};

struct SurfaceEntry {
  int nodes;
  Coord2 start;
  const Coord2* naturalNodes;
  const IntegrationRuleSet& rules;
};

// The entry of the element's class, or nullptr for a class not of the library.
const VolumeEntry* Find(const ElemClass& element);
const SurfaceEntry* Find(const SurfElemClass& element);

}  // namespace catalogue
}  // namespace Meshkit
