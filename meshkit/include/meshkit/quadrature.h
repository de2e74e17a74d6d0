// Integration rules of the element classes: for each class, the rules its
// extrapolation matrices are made for (points in the class's natural
// coordinates, in the order the matrices' columns expect, with their
// weights), and for the classes without extrapolation (pyramids, ECWedge15)
// rules of their own. A surface rule's points have z = 0, so each converts
// to the Coord2 the surface operations take.
//
//   const Meshkit::IntegrationRule* rule = Meshkit::FindIntegrationRule(Meshkit::kBrick20, 27);
//   for (int q = 0; q < rule->points; ++q) use(rule->positions[q], rule->weights[q]);
//
// The rules are constant data of the library; a class the library does not
// define (a caller's own) has none.
#pragma once

#include "api.h"
#include "records.h"

namespace Meshkit {

class ElemClass;
class SurfElemClass;

// One rule: `points` positions and weights. The weights sum to the natural
// domain's volume (area for a surface class), and the rule integrates every
// polynomial of total degree up to `degree` in the natural coordinates
// exactly (the product rules more: each coordinate to that degree).
struct IntegrationRule {
  int points;
  int degree;
  const Coord3* positions;
  const double* weights;
};

// The rules of one class in increasing point count, and the index of the
// one its Volume and IntegrateField use (geometry.h).
struct IntegrationRuleSet {
  int count;
  const IntegrationRule* rules;
  int own;
};

// The rules of the class of `element`: rule counts 5 for the tetrahedra
// (4, 5, 11, 15, 24 points), 3 for the pyramids (8, 27, 64: Gauss on the
// cube), 4 for ECWedge6 (6, 12, 28, 48), 1 for ECWedge15 (21), 3 for the
// bricks (8, 27, 64); 4 for the triangles (3, 4, 7, 13) and 2 for the
// quadrilaterals (4, 9). A class the library does not define: {0, nullptr, 0}.
MESHKIT_API IntegrationRuleSet IntegrationRules(const ElemClass& element);
MESHKIT_API IntegrationRuleSet IntegrationRules(const SurfElemClass& element);

// The rule of that class with `points` points, or nullptr when it has none.
MESHKIT_API const IntegrationRule* FindIntegrationRule(const ElemClass& element, int points);
MESHKIT_API const IntegrationRule* FindIntegrationRule(const SurfElemClass& element, int points);

}  // namespace Meshkit
